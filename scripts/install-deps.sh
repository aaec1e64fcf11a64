#!/usr/bin/env bash
# Installs everything the build, the tests, the tools and the benchmarks use,
# from Debian's packages. Safe to run again.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
apt-get update -qq
apt-get install -y -qq --no-install-recommends \
  ca-certificates cmake ninja-build g++ gcc make pkg-config \
  libgtest-dev libgmock-dev libbenchmark-dev \
  libboost-math-dev libboost-random-dev libcli11-dev nlohmann-json3-dev \
  python3 python3-numpy python3-scipy python3-pytest \
  g++-mingw-w64-i686 wine wine32 \
  clang libclang-rt-14-dev librsvg2-bin >/dev/null
