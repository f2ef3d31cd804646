#!/bin/bash
# Installs what building and testing need, and only what is missing, from
# Debian's packages. Safe to run again.
set -euo pipefail

packages=(cmake ninja-build g++ python3 googletest libgtest-dev clang-format clang-tidy shellcheck g++-mingw-w64-i686
          wine wine32:i386 xvfb xdotool x11-utils imagemagick curl
          # The simulator's file digests; the https test's certificate.
          libglib2.0-dev openssl
          # The Linux client, and the session its end-to-end tests run in.
          pkg-config libglib2.0-dev-bin libgtk-3-dev libwebkit2gtk-4.1-dev libayatana-appindicator3-dev libcurl4-openssl-dev libegl-dev
          libxtst-dev zlib1g-dev xcompmgr dbus
          # The demo content: the launcher movie's compiler, and the frame art's PNG codec.
          haxe python3-pil)
# The compositor session of the end-to-end tests: GNOME Shell, headless, with
# the X server it starts for X11 clients. Its recommends (a whole desktop)
# are not needed there.
lean=(gnome-shell xwayland)
# The Flash Player emulator comes from npm, with the Node.js of the machine
# or of Debian.
command -v npm >/dev/null 2>&1 || packages+=(nodejs npm)

SUDO=
if [[ $(id -u) -ne 0 ]]; then SUDO=sudo; fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
lean_missing=()
for p in "${lean[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || lean_missing+=("$p")
done
install_ruffle() {
  local dir
  dir=$(dirname "$0")/../third_party/ruffle
  if [[ ! -f $dir/node_modules/@ruffle-rs/ruffle/ruffle.js ]]; then
    echo "setup: installing the Flash Player emulator (npm ci, versions from the lock file)"
    (cd "$dir" && npm ci --no-audit --no-fund --loglevel=error)
  fi
}

if [[ ${#missing[@]} -eq 0 && ${#lean_missing[@]} -eq 0 ]]; then
  install_ruffle
  exit 0
fi

echo "setup: installing ${missing[*]} ${lean_missing[*]}"
# wine32 is an i386 package.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
# A mirror caught mid-sync can serve an index that does not match its signed
# release file. apt then drops that index (once bookworm-security's i386 list)
# and the two architectures' candidates part, while wine32's i386 libraries
# must be the very versions of their amd64 twins. The point release holds
# both architectures at one version, so the candidates come from it then.
target=()
if ! $SUDO apt-get update -q; then
  . /etc/os-release
  echo "setup: an index failed to download; installing from $VERSION_CODENAME itself" >&2
  target=(-t "$VERSION_CODENAME")
fi
if [[ ${#missing[@]} -gt 0 ]]; then
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q "${target[@]}" "${missing[@]}"
fi
if [[ ${#lean_missing[@]} -gt 0 ]]; then
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "${target[@]}" "${lean_missing[@]}"
fi
install_ruffle
