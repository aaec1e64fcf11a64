#!/usr/bin/env bash
# Builds the benchmarks (-O2 release, KVZ_BUILD_BENCH=ON), runs them all in one
# run and writes bench/RESULTS.md: each figure as a ratio to its peer beside
# its target. BUILD_DIR, MIN_TIME and REPETITIONS may be set from outside.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(dirname "$here")"
build="${BUILD_DIR:-$root/build/bench}"
min_time="${MIN_TIME:-0.1}"
repetitions="${REPETITIONS:-3}"

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DCMAKE_C_FLAGS_RELEASE="-O2 -DNDEBUG" \
  -DKVZ_BUILD_BENCH=ON -DKVZ_BUILD_TESTS=OFF -DKVZ_BUILD_TOOLS=OFF -DKVZ_HOST_TESTS=OFF >/dev/null
cmake --build "$build" --target kvz_bench -j2

json="$build/bench_results.json"
load="$(cut -d' ' -f1-3 /proc/loadavg)"
"$build/bench/kvz_bench" --benchmark_min_time="$min_time" \
  --benchmark_repetitions="$repetitions" --benchmark_out="$json" --benchmark_out_format=json \
  ${BENCH_FILTER:+--benchmark_filter="$BENCH_FILTER"} >/dev/null
python3 "$here/report.py" "$json" --load "$load" > "$here/RESULTS.md"
echo "wrote $here/RESULTS.md"
