#!/usr/bin/env bash
# Installs every Debian package that the build, the tests, the benchmarks and the
# headless screenshots need. Quick when everything is already there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config ccache
  qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev qt6-charts-dev libgl-dev
  libjpeg-dev
  libgtest-dev libgmock-dev googletest
  libbenchmark-dev
  xvfb xauth x11-apps imagemagick
  fonts-dejavu-core fonts-liberation
  clang-format
  clang libclang-rt-dev
  python3 python3-numpy python3-scikit-rf python3-intelhex
  lintian desktop-file-utils appstream
  g++-mingw-w64-x86-64-posix wine wine64
  python3-pyvisa python3-pyvisa-py
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
