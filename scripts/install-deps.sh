#!/usr/bin/env bash
# Installs every Debian package that building, testing and running Kavrel needs.
# Idempotent and quiet: apt-get runs only when a package is missing.
set -euo pipefail

packages=(
  # build
  cmake ninja-build g++ clang ccache pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  # UI toolkit
  qt6-base-dev qt6-svg-dev libqt6svg6 qt6-qpa-plugins libgl-dev
  # X11 input, pointer and window services
  libx11-dev libxi-dev libxtst-dev libxfixes-dev
  # tests and screenshots: a real X server and tools to look at it
  xvfb xauth x11-utils xdotool imagemagick
  # desktop integration checks
  desktop-file-utils appstream
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "install-deps: installing ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
