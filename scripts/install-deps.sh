#!/usr/bin/env bash
# Installs the Debian 12 packages the project needs, only those missing.
set -euo pipefail

packages=(
  cmake g++ make ccache pkg-config
  qt6-base-dev libgl-dev libx11-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-dev
  xvfb xauth imagemagick poppler-utils xdotool xclip
  fonts-dejavu-core adwaita-icon-theme locales-all
  at-spi2-core dbus-x11 python3-pyatspi
  dpkg-dev fakeroot desktop-file-utils appstream lintian file
  rapidjson-dev zlib1g-dev ncdu gdu tmux
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
