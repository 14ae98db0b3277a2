#!/usr/bin/env bash
# Installs what is missing, builds the game and starts it from data/.
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

# A machine without any sound device still plays, silently.
if [ -z "${SDL_AUDIODRIVER:-}" ]; then
  runtime=${XDG_RUNTIME_DIR:-/run/user/$(id -u)}
  if ! ls /dev/snd/pcm* >/dev/null 2>&1 && [ ! -S "$runtime/pulse/native" ] && [ ! -S "$runtime/pipewire-0" ]; then
    echo "run.sh: no sound device found; the game starts without sound (SDL dummy audio driver)." >&2
    export SDL_AUDIODRIVER=dummy
  fi
fi

cd data
exec ../build/tarvik3d "$@"
