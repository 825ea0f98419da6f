#!/usr/bin/env bash
# Builds Mirvane and runs it in this terminal.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh run
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DMIRVANE_BUILD_TESTS=OFF >/dev/null
cmake --build build/release --target mirvane >/dev/null
exec build/release/app/mirvane "$@"
