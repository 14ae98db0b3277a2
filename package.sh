#!/usr/bin/env bash
# Makes the Debian package of the game, tarvik3d_<version>_amd64.deb, in this
# folder: the game built in BUILD, installed under /usr by CPack, stripped,
# its library dependencies taken from the executable by dpkg-shlibdeps.
#   ./package.sh [BUILD]     (default: build-package, a build of the game alone)
# Install it with `sudo apt install ./tarvik3d_*.deb`.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/setup.sh
build=${1:-build-package}

if [ ! -f "$build/CMakeCache.txt" ]; then
  # Debian's own build flags (hardening) for a build of the game alone.
  CFLAGS="$(dpkg-buildflags --get CFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
  CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
  LDFLAGS="$(dpkg-buildflags --get LDFLAGS)" \
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARVIK_TESTS=OFF >/dev/null
fi
cmake --build "$build" -j "$(nproc)" --target tarvik3d tarvik3d_dist

rm -rf "$build/package"
cpack --config "$build/CPackConfig.cmake" -B "$build/package" >"$build/package.log" 2>&1 ||
  { cat "$build/package.log" >&2; exit 1; }
rm -f tarvik3d_*_amd64.deb
mv "$build"/package/tarvik3d_*_amd64.deb .
ls -l tarvik3d_*_amd64.deb
