#!/bin/sh
# Compiles the consumer with the flags the installed kvz_comp.pc gives, links
# it against the installed shared library and runs it.
#   pkg_config_build.sh <pkg-config> <C compiler> <install prefix> <consumer.c> <work dir>
set -eu
pkg_config=$1
cc=$2
prefix=$3
source=$4
work=$5
libdir=$(find "$prefix" -name kvz_comp.pc -path '*/pkgconfig/*' -exec dirname {} \; | head -n 1)
test -n "$libdir" || { echo "no kvz_comp.pc under $prefix" >&2; exit 1; }
export PKG_CONFIG_PATH="$libdir"
flags=$("$pkg_config" --cflags --libs kvz_comp)
echo "pkg-config: $flags"
mkdir -p "$work"
# shellcheck disable=SC2086 # the flags are a list of words
"$cc" -std=c11 -Wall -Wextra -Werror -o "$work/consumer_pkg_config" "$source" $flags -lm
LD_LIBRARY_PATH="$(dirname "$libdir")${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}" "$work/consumer_pkg_config"
