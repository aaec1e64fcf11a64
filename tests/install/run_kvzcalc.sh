#!/bin/sh
# Runs the installed kvzcalc with no library path set, in place and after the
# whole installed tree has been copied elsewhere: its run path is relative.
#   run_kvzcalc.sh <install prefix> <work dir>
set -eu
prefix=$1
work=$2
unset LD_LIBRARY_PATH
check() {
  tool=$1
  "$tool" --version
  out=$("$tool" describe gamma --scale 2 --shape-a 3)
  echo "$out"
  echo "$out" | grep -Eq '^mean +6$' || { echo "no mean 6 from $tool" >&2; exit 1; }
}
tool=$(find "$prefix" -name kvzcalc -type f | head -n 1)
test -n "$tool" || { echo "no kvzcalc under $prefix" >&2; exit 1; }
check "$tool"
rm -rf "$work"
mkdir -p "$work"
cp -a "$prefix" "$work/moved"
moved="$work/moved/${tool#"$prefix"/}"
check "$moved"
# The copy loads the library beside it, not the one it was installed with.
ldd "$moved" | grep -F "$work/moved/" | grep -q kvz_comp || { ldd "$moved" >&2; exit 1; }
