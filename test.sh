#!/usr/bin/env bash
# Installs what is missing, builds the game twice (plain and with Address- and
# UndefinedBehaviorSanitizer) and runs every test of both builds, the tests
# that need a display under a virtual X server with the software renderer;
# between them it makes the Debian package, checks it with lintian and plays
# the game installed from it.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/setup.sh

jobs=$(nproc)
export SDL_AUDIODRIVER=dummy
export LIBGL_ALWAYS_SOFTWARE=1

run_tests() {  # build folder
  xvfb-run -a -s "-screen 0 1280x1024x24" ctest --test-dir "$1" --output-on-failure -j "$jobs" --timeout 600
}

echo "== build"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARVIK_WERROR=ON >/dev/null
cmake --build build -j "$jobs"
echo "== layout"
scripts/check_layout.sh build/tarvik3d
echo "== tests"
run_tests build
echo "== the metainfo's screenshots against what the screenshot tests drew"
scripts/check_screenshots.sh build
echo "== package"
./package.sh build
lintian --fail-on error,warning --display-info tarvik3d_*_amd64.deb
tests/e2e/install.sh --deb tarvik3d_*_amd64.deb build/e2e-package-artifacts

echo "== sanitizer build"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARVIK_SANITIZE=ON -DTARVIK_WERROR=ON >/dev/null
cmake --build build-asan -j "$jobs"
echo "== sanitizer tests"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1 \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp:print_suppressions=0 \
  run_tests build-asan

if [ -x fuzz/run.sh ]; then
  echo "== fuzz targets over their corpora"
  fuzz/run.sh --smoke
fi
