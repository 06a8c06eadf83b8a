#!/usr/bin/env bash
# Installs every Debian package Kestrane needs to build, test and play.
# Does nothing when everything is already there; needs root or sudo otherwise.
set -euo pipefail

packages=(
  # build
  cmake ninja-build g++ pkg-config
  # tests and fuzzing (iproute2: network namespaces for the LAN broadcast test)
  libgtest-dev libgmock-dev clang libclang-rt-14-dev iproute2
  # window, text, sound, dialogs
  libsdl2-dev libsdl2-ttf-dev libsdl2-mixer-dev libimgui-dev libstb-dev fonts-unifont
  # headless display for visual checks and end-to-end runs
  xvfb xauth
  # the Debian package (dependencies computed from the programs) and the checks of what is installed
  dpkg-dev file lintian desktop-file-utils appstream man-db groff-base
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "install-deps: installing ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
  run_as_root=()
elif command -v sudo >/dev/null 2>&1; then
  run_as_root=(sudo)
else
  echo "install-deps: need root or sudo to install: ${missing[*]}" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
"${run_as_root[@]}" apt-get update -q
"${run_as_root[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
