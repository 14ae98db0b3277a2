#!/usr/bin/env bash
# Builds and runs every benchmark; each prints one line per figure:
# its name, value and unit (and, where it has one, its ratio to a floor).
set -euo pipefail
cd "$(dirname "$0")"
./scripts/setup.sh
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARVIK_WERROR=ON >/dev/null
cmake --build build-bench -j "$(nproc)"
export SDL_AUDIODRIVER=dummy
for b in build-bench/bench_*; do
  [ -x "$b" ] || continue
  xvfb-run -a -s "-screen 0 1280x1024x24" "$b"
done
# The scenes again at 1920 x 1080, the size of a full-screen game on a common monitor.
echo "== bench_scene_frame --size 1920x1080"
xvfb-run -a -s "-screen 0 2048x1280x24" build-bench/bench_scene_frame --size 1920x1080
# The frames between ticks at 1920 x 1080 too.
echo "== bench_frame_pacing --size 1920x1080"
xvfb-run -a -s "-screen 0 2048x1280x24" build-bench/bench_frame_pacing --size 1920x1080
