#!/usr/bin/env bash
# Builds the data tools and runs them: writes the course and its picture, the
# meshes, textures and sounds, and the window icon (with its sizes for the
# desktop's icon theme) into the source tree.
#
#   tools/make_data.sh [build folder]     (default: build-data next to this tree)
#
# The tools are deterministic, so running this again on an unchanged tree
# changes nothing; `git status` afterwards shows what a tool change altered.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build-data}"
tools=(make_course make_meshes make_textures make_sounds make_icon)

if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja
fi
cmake --build "$build" --target "${tools[@]}" -j2

"$build/make_course" "$root/data" "$root/docs"
"$build/make_meshes" "$root/data/media"
"$build/make_textures" "$root/data/media"
"$build/make_sounds" "$root/data/media"
"$build/make_icon" "$root/resources"
echo "make_data: data/, docs/course.png, resources/icon107* and resources/hicolor/ are up to date"
