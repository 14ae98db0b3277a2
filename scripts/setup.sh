#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing the game need.
# Idempotent: asks apt only for what is missing, and refreshes the package lists
# only when it has something to install.
set -euo pipefail

packages=(
  # build
  cmake ninja-build g++ clang pkg-config libclang-rt-14-dev libgtest-dev
  # libraries
  libsdl2-dev libepoxy-dev libimgui-dev libfreetype-dev libfontconfig-dev
  libglu1-mesa-dev libpng-dev libjpeg-dev zlib1g-dev libx11-dev
  fonts-liberation2
  # software rendering and the end-to-end tests
  libgl1-mesa-dri libegl-mesa0 mesa-utils xvfb xauth xdotool imagemagick x11-utils
  # the Debian package and the checks of what is installed
  dpkg-dev file lintian desktop-file-utils appstream man-db
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "setup: installing ${missing[*]}" >&2
if [ "$(id -u)" -eq 0 ]; then
  sudo=()
elif command -v sudo >/dev/null 2>&1; then
  sudo=(sudo)
else
  echo "setup: need root or sudo to install: ${missing[*]}" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -q
"${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
