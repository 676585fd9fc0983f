#!/usr/bin/env bash
# Installs what building, running and testing Dorvane needs on a Debian machine.
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config git
  libgtest-dev libgmock-dev libbenchmark-dev
  clang clang-format libclang-rt-14-dev
  g++-mingw-w64-i686 g++-mingw-w64-x86-64
  libsdl2-dev libglib2.0-dev libx11-dev xvfb xdotool x11-apps wine wine64 feh nsxiv hyperfine
  imagemagick python3-pil python3-numpy libjpeg-turbo-progs netpbm libtiff-tools
  libstb-dev libspng-dev libpng-dev zlib1g-dev libjpeg-dev libtiff-dev
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
