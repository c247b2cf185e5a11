#!/usr/bin/env bash
# Builds Quendrix and runs it with the built-in simulated drive on COM1.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" >/dev/null
if [ -x build/app/quendrix ]; then
  exec build/app/quendrix --demo "$@"
fi
exec build/cli/quendrix-cli --port sim identify "$@"
