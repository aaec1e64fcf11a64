#!/bin/sh
# Creates the Wine prefix named by WINEPREFIX, if it is not there yet, and
# waits until Wine has written it out. Where this Wine loader cannot start
# (a 32-bit one on a kernel without 32-bit support) there is nothing to
# prepare: the comparison then skips itself.
#   wine_prefix.sh <wine loader> <wineserver>
set -eu
wine=$1
wineserver=$2
if ! "$wine" --version >/dev/null 2>&1; then
  echo "$wine cannot start here (no 32-bit support in this kernel?): no prefix made"
  exit 0
fi
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  "$wine" wineboot -i
fi
"$wineserver" -w
test -f "$WINEPREFIX/system.reg"
