#!/bin/sh
# Creates the Wine prefix named by WINEPREFIX, if it is not there yet, and
# waits until Wine has written it out.
#   wine_prefix.sh <wineboot> <wineserver>
set -eu
wineboot=$1
wineserver=$2
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  "$wineboot" -i
fi
"$wineserver" -w
test -f "$WINEPREFIX/system.reg"
