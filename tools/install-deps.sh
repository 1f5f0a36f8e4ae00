#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need, only those missing.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  clang libclang-rt-14-dev llvm
  libgtest-dev libgmock-dev
  nlohmann-json3-dev libtinyxml-dev libssl-dev
  libcairo2-dev libpango1.0-dev librsvg2-bin
  libsdl2-dev libx11-dev xvfb xdotool
  fonts-lato fonts-noto-core fonts-wqy-microhei fonts-dejavu-core
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi
echo "installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
