#!/usr/bin/env bash
# Cross-builds the Windows program with MinGW-w64 and runs its whole dialogue under Wine.
set -euo pipefail
cd "$(dirname "$0")/../.."

# The cross compiler, Wine, a virtual display for the error box and the tools that drive it.
packages=(cmake ninja-build g++-mingw-w64-x86-64-posix wine64 xvfb xdotool tmux)
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
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMIRVANE_BUILD_TESTS=OFF >/dev/null
cmake --build build/windows --target mirvane -j "$(nproc)"

timeout 540 tests/windows/wine_dialogue.sh build/windows/app/mirvane.exe
