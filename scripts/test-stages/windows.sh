#!/usr/bin/env bash
# Cross-builds the Windows program with MinGW-w64 and runs its whole dialogue under Wine.
set -euo pipefail
cd "$(dirname "$0")/../.."

# The cross compiler, Wine, Xvfb and xdotool come from scripts/deps.sh test.
cmake -S . -B build/windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DMIRVANE_BUILD_TESTS=OFF -DMIRVANE_BUILD_WINDOWS_TESTS=ON >/dev/null
cmake --build build/windows --target mirvane windows_host_test -j "$(nproc)"

timeout 540 tests/windows/under_wine.sh build/windows/app/mirvane.exe \
  build/windows/tests/windows/windows_host_test.exe
