#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Tarnwick need, when missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ make pkg-config
  qt6-base-dev libgl-dev libzip-dev zlib1g-dev libsqlite3-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  zip unzip python3
  xvfb xauth imagemagick adwaita-icon-theme fonts-dejavu-core
  desktop-file-utils appstream lintian dpkg-dev file librsvg2-bin
  clang-format
)

# `setup.sh fuzz` also brings clang and its fuzzing runtime for `make fuzz`.
if [ "${1:-}" = fuzz ]; then
  packages+=(clang libclang-rt-14-dev)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
