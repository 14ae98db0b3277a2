#!/usr/bin/env bash
# Checks that the screenshots the metainfo names (docs/screenshots/NAME.png,
# published below the home page) are still what the screenshot tests draw
# (BUILD/scene_NAME.png, written by tests/scene/screenshot_test.cpp): the size
# the metainfo gives, and the same picture but for a few pixels (the running
# time of the read-outs, rounding of the software renderer).
#   check_screenshots.sh BUILD
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:?usage: check_screenshots.sh BUILD}
metainfo=$(ls "$build"/dist/*.metainfo.xml)
status=0
complain() { echo "screenshots: $*" >&2; status=1; }

names=$(sed -n 's|.*<image[^>]*>.*/screenshots/\([a-z_]*\)\.png</image>.*|\1|p' "$metainfo")
[ -n "$names" ] || complain "$metainfo names no screenshots"
for name in $names; do
  copy=docs/screenshots/$name.png drawn=$build/scene_$name.png
  size=$(sed -n "s|.*<image[^>]*width=\"\([0-9]*\)\" height=\"\([0-9]*\)\"[^>]*>.*/$name\.png</image>.*|\1x\2|p" "$metainfo")
  [ -f "$copy" ] || { complain "$copy is missing"; continue; }
  [ -f "$drawn" ] || { complain "$drawn is missing: run the screenshot tests (they need a display) first"; continue; }
  [ "$(identify -format '%wx%h' "$copy")" = "$size" ] || complain "$copy is not $size, the size the metainfo gives"
  [ "$(identify -format '%wx%h' "$drawn")" = "$size" ] || { complain "$drawn is not $size"; continue; }
  pixels=$(compare -metric AE -fuzz 10% "$copy" "$drawn" null: 2>&1 || true)
  limit=$(( ${size%x*} * ${size#*x} / 100 ))
  if ! [[ $pixels =~ ^[0-9]+$ ]] || [ "$pixels" -gt "$limit" ]; then
    complain "$copy is not what the screenshot test draws now ($pixels pixels differ, at most $limit): cp $drawn $copy"
  else
    echo "screenshots: $copy is current ($pixels pixels differ, at most $limit)"
  fi
done
exit $status
