#!/usr/bin/env bash
# Installs, with apt-get, the Debian packages a task needs and the machine lacks.
# Usage: scripts/deps.sh run|test
set -euo pipefail

packages=(cmake ninja-build g++)
if [[ "${1:-run}" == test ]]; then
  packages+=(clang libclang-rt-14-dev libgtest-dev libgmock-dev libbenchmark-dev tmux
             g++-mingw-w64-x86-64-posix wine64 xvfb xdotool valgrind)
fi

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'ok installed' || missing+=("$package")
done
((${#missing[@]} == 0)) && exit 0

echo "Installing: ${missing[*]}"
sudo=()
((EUID == 0)) || sudo=(sudo)
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq "${missing[@]}"
