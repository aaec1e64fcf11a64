#!/usr/bin/env bash
# Builds the export fuzzer with clang (libFuzzer, address and undefined-behaviour
# sanitizers) straight from the library sources, then runs it for a bounded time.
# Fails on any finding: libFuzzer exits non-zero on a crash, a sanitizer report,
# a broken invariant (the harness aborts) or an input that hangs.
#
#   run_fuzz.sh SOURCE_DIR WORK_DIR SECONDS [more libFuzzer options]
#
# The seed corpus (SOURCE_DIR/tests/fuzz/corpus) is read only; new inputs go to
# WORK_DIR/corpus and reproducers to WORK_DIR/artifacts.
set -euo pipefail

src=$(cd "$1" && pwd)
work=$2
seconds=$3
shift 3
mkdir -p "$work/obj" "$work/corpus" "$work/artifacts"

cxx=${KVZ_FUZZ_CXX:-$(command -v clang++-14 || command -v clang++)}
flags=(-std=c++20 -O2 -g -fno-omit-frame-pointer -ffp-contract=off -fno-fast-math
       -fsanitize=address,undefined -fno-sanitize-recover=all -I"$src"
       -isystem "${KVZ_EIGEN_INCLUDE_DIR:-/usr/include/eigen3}"
       -DEIGEN_MPL2_ONLY -DEIGEN_DONT_VECTORIZE -DEIGEN_MAX_ALIGN_BYTES=0 -DEIGEN_DONT_PARALLELIZE)
binary="$work/fuzz_exports"

sources=()
for dir in interface special init eval sampling corr fit; do
  for f in "$src/$dir"/*.cpp; do [ -e "$f" ] && sources+=("$f"); done
done

# Rebuild when any library source, header or the harness is newer than the binary.
stale=1
if [ -x "$binary" ]; then
  newer=$(find "$src/include" "$src/interface" "$src/special" "$src/init" "$src/eval" \
               "$src/sampling" "$src/corr" "$src/fit" "$src/tests/fuzz/fuzz_exports.cpp" -newer "$binary" -type f | head -n 1)
  [ -z "$newer" ] && stale=0
fi
if [ "$stale" = 1 ]; then
  rm -f "$work"/obj/*.o
  # Two compilers at a time (the machine has two cores).
  running=0
  for f in "${sources[@]}"; do
    obj="$work/obj/$(basename "$(dirname "$f")")_$(basename "$f" .cpp).o"
    "$cxx" "${flags[@]}" -fsanitize=fuzzer-no-link -c "$f" -o "$obj" &
    running=$((running + 1))
    if [ "$running" -ge 2 ]; then wait -n; running=$((running - 1)); fi
  done
  wait
  "$cxx" "${flags[@]}" -fsanitize=fuzzer "$src/tests/fuzz/fuzz_exports.cpp" "$work"/obj/*.o -o "$binary"
fi

export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
exec "$binary" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 \
  -artifact_prefix="$work/artifacts/" -print_final_stats=1 "$@" \
  "$work/corpus" "$src/tests/fuzz/corpus"
