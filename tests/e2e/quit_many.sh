#!/usr/bin/env bash
# Starts and quits the real game many times on a virtual X server, the two
# ways a player quits: Esc, and Spiel > Beenden, each time followed by OK on
# the highscore list. Every run must end with exit code 0 and leave high.dat.
# A teardown that touches something already gone shows here as an abort or,
# in the sanitizer build, as a report.
#   quit_many.sh GAME_BINARY SOURCE_DIR RUNS
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/window.sh"

game=$(realpath "$1") source=$(realpath "$2") runs=${3:-50}
if [ -z "${E2E_INNER:-}" ]; then
  export E2E_INNER=1
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi

work=$(mktemp -d)
export XDG_CONFIG_HOME="$work/config"  # never the settings of whoever runs the tests
pid=
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT
fail() { echo "quit: FAILED: $*" >&2; exit 1; }
# Where a game that is still running stands, for the failure's message.
stuck() {
  kill -0 "$pid" 2>/dev/null || { echo " (the game has ended)"; return; }
  echo " (the game still runs)"
  command -v gdb >/dev/null && gdb -batch -p "$pid" -ex "thread apply all bt" 2>/dev/null | grep '^#' | head -60
}

for run in $(seq "$runs"); do
  rm -rf "$work/data"
  cp -r "$source/data" "$work/data"
  rm -f "$work/data/high.dat"
  (cd "$work/data" && exec env SDL_AUDIODRIVER=dummy "$game" --data "$work/data" >"$work/game.log" 2>&1) &
  pid=$!
  find_window 'Tarvik 3D' >/dev/null || fail "run $run: no game window: $(cat "$work/game.log")$(stuck)"
  sleep 0.8
  if [ $((run % 2)) = 1 ]; then
    xdotool key Escape
  else
    xdotool mousemove 20 9 click 1
    sleep 0.5
    xdotool mousemove 32 72 click 1  # Spiel > Beenden
  fi
  # The list stays open until OK; Return may need a moment to reach it.
  for _ in $(seq 40); do
    sleep 0.25
    kill -0 "$pid" 2>/dev/null || break
    xdotool key Return
  done
  for _ in $(seq 40); do kill -0 "$pid" 2>/dev/null || break; sleep 0.25; done
  kill -0 "$pid" 2>/dev/null && fail "run $run: the game did not end"
  code=0
  wait "$pid" || code=$?
  pid=
  [ "$code" = 0 ] || fail "run $run: exit code $code: $(tail -40 "$work/game.log")"
  [ -f "$work/data/high.dat" ] || fail "run $run: no high.dat written"
done
echo "quit: $runs starts and quits, every exit code 0"
