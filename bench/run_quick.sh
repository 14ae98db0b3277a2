#!/usr/bin/env bash
# Runs every benchmark of a build once and quickly (--quick): each must end
# well and print its figures. The tests run it, so that a benchmark that can
# no longer run fails them, not only ./bench.sh. Needs a display, as the
# benchmarks do.
#   run_quick.sh BUILD_DIR
set -euo pipefail
build=${1:?usage: run_quick.sh BUILD_DIR}
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
status=0 count=0
for b in "$build"/bench_*; do
  [ -x "$b" ] || continue
  count=$((count + 1))
  name=$(basename "$b")
  if ! out=$("$b" --quick 2>&1); then
    printf 'bench quick: %s failed:\n%s\n' "$name" "$out" >&2
    status=1
    continue
  fi
  figures=$(printf '%s\n' "$out" | grep -cE '^[A-Za-z0-9_.]+ [0-9-]' || true)
  if [ "$figures" -eq 0 ]; then
    printf 'bench quick: %s printed no figure:\n%s\n' "$name" "$out" >&2
    status=1
    continue
  fi
  echo "bench quick: $name: $figures figures"
done
[ "$count" -gt 0 ] || { echo "bench quick: no benchmarks in $build" >&2; exit 1; }
exit $status
