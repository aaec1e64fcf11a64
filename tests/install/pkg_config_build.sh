#!/bin/sh
# Compiles the consumer with the flags the installed kvz_comp.pc gives, links
# it and runs it: against the shared library, or with "static" against the
# static one, wholly statically, so that the libraries it needs must come from
# the file's Libs.private.
#   pkg_config_build.sh <pkg-config> <C compiler> <install prefix> <consumer.c> <work dir> [shared|static]
# CONSUMER_WARNINGS, when set, replaces the warning flags (-Wall -Wextra).
set -eu
pkg_config=$1
cc=$2
prefix=$3
source=$4
work=$5
mode=${6:-shared}
warnings=${CONSUMER_WARNINGS:--Wall -Wextra}
libdir=$(find "$prefix" -name kvz_comp.pc -path '*/pkgconfig/*' -exec dirname {} \; | head -n 1)
test -n "$libdir" || { echo "no kvz_comp.pc under $prefix" >&2; exit 1; }
export PKG_CONFIG_PATH="$libdir"
mkdir -p "$work"
if [ "$mode" = static ]; then
    flags=$("$pkg_config" --static --cflags --libs kvz_comp)
    echo "pkg-config --static: $flags"
    # shellcheck disable=SC2086 # the flags are lists of words
    "$cc" -std=c11 $warnings -static -o "$work/consumer_pkg_config_static" "$source" $flags
    "$work/consumer_pkg_config_static"
else
    flags=$("$pkg_config" --cflags --libs kvz_comp)
    echo "pkg-config: $flags"
    # shellcheck disable=SC2086 # the flags are lists of words
    "$cc" -std=c11 $warnings -o "$work/consumer_pkg_config" "$source" $flags -lm
    LD_LIBRARY_PATH="$(dirname "$libdir")${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}" "$work/consumer_pkg_config"
fi
