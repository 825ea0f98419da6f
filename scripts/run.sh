#!/usr/bin/env bash
# Builds Mirvane and runs it in this terminal.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh run
log=build/run-build.log
mkdir -p build
if ! { cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DMIRVANE_BUILD_TESTS=OFF &&
       cmake --build build/release --target mirvane; } >"$log" 2>&1; then
  cat "$log" >&2
  exit 1
fi
exec build/release/app/mirvane "$@"
