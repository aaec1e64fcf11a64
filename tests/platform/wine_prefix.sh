#!/bin/sh
# Creates the Wine prefix named by WINEPREFIX, if it is not there yet, and
# waits until Wine has written it out. On a kernel that cannot run 32-bit
# programs there is nothing to prepare (the comparison then skips itself).
#   wine_prefix.sh <wineboot> <wineserver> <wine>
set -eu
wineboot=$1
wineserver=$2
wine=$3
if ! "$wine" --version >/dev/null 2>&1; then
  echo "wine cannot start here (no 32-bit support in this kernel?): no prefix made"
  exit 0
fi
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  "$wineboot" -i
fi
"$wineserver" -w
test -f "$WINEPREFIX/system.reg"
