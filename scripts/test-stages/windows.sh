#!/usr/bin/env bash
# Cross-builds the Windows program with MinGW-w64 and runs its whole dialogue under Wine.
set -euo pipefail
cd "$(dirname "$0")/../.."

# The cross compiler, GoogleTest's sources, Wine, a virtual display for the console window and the
# error box, and the tools that drive them.
packages=(cmake ninja-build g++-mingw-w64-x86-64-posix libgtest-dev wine64 xvfb xdotool tmux)
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'ok installed' || missing+=("$package")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo=()
  ((EUID == 0)) || sudo=(sudo)
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

cmake -S . -B build/windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DMIRVANE_BUILD_TESTS=OFF -DMIRVANE_BUILD_WINDOWS_TESTS=ON >/dev/null
cmake --build build/windows --target mirvane windows_host_test -j "$(nproc)"

timeout 540 tests/windows/under_wine.sh build/windows/app/mirvane.exe \
  build/windows/tests/windows/windows_host_test.exe
