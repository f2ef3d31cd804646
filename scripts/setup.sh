#!/bin/bash
# Installs what building and testing need, and only what is missing, from
# Debian's packages. Safe to run again.
set -euo pipefail

packages=(cmake ninja-build g++ python3 googletest libgtest-dev clang-format clang-tidy g++-mingw-w64-i686
          wine wine32:i386 xvfb xdotool x11-utils imagemagick)

SUDO=
if [[ $(id -u) -ne 0 ]]; then SUDO=sudo; fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "setup: installing ${missing[*]}"
# wine32 is an i386 package.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
$SUDO apt-get update -q
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q "${missing[@]}"
