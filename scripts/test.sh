#!/usr/bin/env bash
# Builds the library and runs the whole test suite: the release build, then
# the same tests under AddressSanitizer and UndefinedBehaviorSanitizer, then
# the tests that run threads under ThreadSanitizer (the tsan preset builds
# and runs only those); last the unit tests of the 32-bit Linux build under
# qemu-i386-static, against a GoogleTest built for i386 from Debian's sources.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S /usr/src/googletest -B build/i386-gtest -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/i386-linux.cmake" \
  -DCMAKE_INSTALL_PREFIX="$PWD/build/i386-gtest/install" >/dev/null
cmake --build build/i386-gtest --target install >/dev/null
for preset in release asan tsan i386; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset" -j2
done
