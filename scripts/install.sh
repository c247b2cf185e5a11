#!/usr/bin/env bash
# Builds the Debian package of Quendrix (the four programs, without tests or
# benchmarks, in build-package) and installs it with apt.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
# The optimisation of the tested build (scripts/test.sh), whose programs are packaged in CI.
cmake -S . -B build-package -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE=-O2 \
  -DBUILD_TESTING=OFF -DQX_BUILD_BENCH=OFF >/dev/null
cmake --build build-package -j"$(nproc)" >/dev/null
rm -f build-package/quendrix_*.deb
(cd build-package && cpack -G DEB >/dev/null)
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y "$PWD"/build-package/quendrix_*_amd64.deb
