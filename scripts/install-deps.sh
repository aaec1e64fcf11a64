#!/usr/bin/env bash
# Installs everything the build, the tests, the tools and the benchmarks use,
# from Debian's packages. Safe to run again.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive

packages=(
  ca-certificates cmake ninja-build g++ gcc make pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libeigen3-dev libboost-math-dev libboost-random-dev libcli11-dev nlohmann-json3-dev
  python3 python3-numpy python3-scipy python3-pytest python3-mpmath python3-venv python3-setuptools python3-wheel
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine32 wine64 g++-multilib qemu-user-static
  clang libclang-rt-14-dev librsvg2-bin
)

# A registry that answers slowly once is asked again.
retry() {
  for attempt in 1 2 3; do
    "$@" && return 0
    echo "install-deps: '$*' failed (attempt $attempt), retrying" >&2
    sleep 10
  done
  return 1
}

# wine32 is an i386 package.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
retry apt-get update -qq
retry apt-get install -y -qq --no-install-recommends "${packages[@]}" >/dev/null
