#!/usr/bin/env bash
# Builds the library and runs the whole test suite: the release build, then
# the same tests under AddressSanitizer and UndefinedBehaviorSanitizer, then
# the tests that run threads under ThreadSanitizer (the tsan preset builds
# and runs only those).
set -euo pipefail
cd "$(dirname "$0")/.."
for preset in release asan tsan; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset" -j2
done
