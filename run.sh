#!/usr/bin/env bash
# Installs what is missing, builds the game and starts it with the data of
# this source tree.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target tarvik3d

if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "run.sh: no display found; start it from a desktop, or under a virtual one:" >&2
  echo "        xvfb-run -a -s '-screen 0 1280x1024x24' ./run.sh" >&2
  exit 1
fi

# The game finds data/ beside its build folder itself, and plays silently on
# a machine without a sound device.
exec build/tarvik3d "$@"
