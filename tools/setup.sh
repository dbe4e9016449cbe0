#!/usr/bin/env bash
# Installs every Debian package that the build, the tests and the game need.
# Quick when all are there; runs as root (or through sudo) with no questions.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config ccache
  libsdl2-dev libx11-dev libpng-dev zlib1g-dev libfreetype-dev fonts-ipafont-gothic libmpg123-dev libmp3lame-dev
  libgtest-dev libgmock-dev libbenchmark-dev liblua5.4-dev
  xvfb xauth openbox
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
