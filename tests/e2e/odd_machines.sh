#!/usr/bin/env bash
# Starts the real game on machines that differ from the usual, under a virtual
# X server with an 800 x 600 screen:
# - the screen is smaller than the window: the window opens fitted to it,
#   tells the window manager its smallest size (640 x 480 below the menu
#   bar), and the read-outs are on screen while driving;
# - ALSA without a sound card (where there is none): the game's one line,
#   and none of the ALSA library's own;
# - an OpenGL driver that fails as the context is made (Mesa's zink without
#   Vulkan, which ends in an X error): the game's own failed start, exit
#   code 0 and high.dat written, not Xlib's "X Error of failed request".
# Screenshots go to the artifacts folder.
#   odd_machines.sh GAME_BINARY SOURCE_DIR ARTIFACT_DIR
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/window.sh"

game=$(realpath "$1") source=$(realpath "$2") artifacts=$(realpath -m "$3")
if [ -z "${E2E_INNER:-}" ]; then
  export E2E_INNER=1
  exec xvfb-run -a -s "-screen 0 800x600x24" "$0" "$@"
fi

mkdir -p "$artifacts"
rm -f "$artifacts"/*.png
work=$(mktemp -d)
pid=
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT
cp -r "$source/data/." "$work/"
export XDG_CONFIG_HOME="$work/config"

fail() { echo "odd: FAILED: $*" >&2; exit 1; }
say() { echo "odd: $*"; }
shot() { import -window root "$artifacts/$1.png"; echo "$artifacts/$1.png"; }
share() {  # image region colour fuzz
  convert "$1" -crop "$2" +repage -alpha off -fuzz "$4" -fill '#ff00fe' -opaque "$3" \
    -fill black +opaque '#ff00fe' -fill white -opaque '#ff00fe' -format '%[fx:mean]' info:
}
hold() { xdotool keydown "$1"; sleep "$2"; xdotool keyup "$1"; }
# Waits for the game to end, answering any message box (a small window of
# the game's title) with Enter; gives up after `seconds`.
await_end() {  # seconds
  for _ in $(seq "$(( $1 * 2 ))"); do
    kill -0 "$pid" 2>/dev/null || break
    for box in $(xdotool search --onlyvisible --name '^Tarvik 3D$' 2>/dev/null); do
      width=$(xdotool getwindowgeometry --shell "$box" | sed -n 's/^WIDTH=//p')
      if [ "${width:-1024}" -lt 700 ]; then
        xdotool mousemove --window "$box" 5 5 key Return
        answered=$((answered + 1))
      fi
    done
    sleep 0.5
  done
  if kill -0 "$pid" 2>/dev/null; then return 1; fi
  code=0
  wait "$pid" || code=$?
  pid=
  return 0
}

answered=0
no_card=0
if ! ls /dev/snd/pcm* >/dev/null 2>&1; then no_card=1; fi
driver=dummy
[ "$no_card" = 1 ] && driver=alsa

# A screen smaller than the window, with ALSA as the sound driver where there is no card.
rm -f "$work/high.dat"
(cd "$work" && exec env SDL_AUDIODRIVER="$driver" "$game" --data "$work" >"$work/game.log" 2>&1) &
pid=$!
id=$(find_window 'Tarvik 3D') ||
  fail "no game window: $(cat "$work/game.log")"
sleep 2
eval "$(xdotool getwindowgeometry --shell "$id")"
[ "$WIDTH" = 800 ] && [ "$HEIGHT" = 600 ] || fail "the window is ${WIDTH}x${HEIGHT} on an 800x600 screen"
say "the 1024x768 window opened at ${WIDTH}x${HEIGHT} on an 800x600 screen"
hints=$(xprop -id "$id" WM_NORMAL_HINTS)
minimum=$(sed -n 's/.*program specified minimum size: \([0-9]*\) by \([0-9]*\).*/\1 \2/p' <<<"$hints")
read -r min_width min_height <<<"$minimum"
[ "${min_width:-0}" = 640 ] && [ "${min_height:-0}" -ge 495 ] && [ "${min_height:-0}" -le 510 ] ||
  fail "the window's smallest size is not 640 x 480 below the menu bar: $hints"
say "the window manager is told its smallest size: $min_width x $min_height"
hold space 0.15
sleep 1
hold Up 1.5
img=$(shot 01-small-screen-driving)
s=$(share "$img" 200x60+600+25 '#ffff00' 20%)
awk -v s="$s" 'BEGIN { exit !(s >= 0.02) }' || fail "no yellow read-outs in the top right corner: share $s ($img)"
say "the read-outs are on the screen: share $s of yellow in the top right corner"
# Esc, then OK on the highscore list until the game has closed.
xdotool key Escape
sleep 2
for _ in $(seq 20); do kill -0 "$pid" 2>/dev/null || break; xdotool key Return; sleep 0.5; done
await_end 10 || fail "the game did not end after Esc and the list"
[ "$code" = 0 ] || fail "the game ended with exit code $code: $(tail -20 "$work/game.log")"
[ -f "$work/high.dat" ] || fail "no high.dat written"
if [ "$no_card" = 1 ]; then
  grep -qF 'Tarvik 3D: Kein Soundgerät gefunden; das Spiel läuft ohne Ton.' "$work/game.log" ||
    fail "ALSA without a card, but the game did not say it plays silently: $(cat "$work/game.log")"
  ! grep -q '^ALSA lib' "$work/game.log" || fail "the ALSA library's own lines reached the terminal: $(cat "$work/game.log")"
  say "ALSA without a sound card: the game's one line and no line of the library"
else
  say "a sound card is here: the ALSA case is left out"
fi

# An OpenGL driver that fails as the context is made. Where zink does work
# (a Vulkan device is there), the case cannot be made here.
if MESA_LOADER_DRIVER_OVERRIDE=zink glxinfo -B >/dev/null 2>&1; then
  say "zink makes contexts here: the failing driver is left out"
else
  rm -f "$work/high.dat"
  (cd "$work" && exec env SDL_AUDIODRIVER=dummy MESA_LOADER_DRIVER_OVERRIDE=zink "$game" --data "$work" \
     >"$work/zink.log" 2>&1) &
  pid=$!
  await_end 60 || fail "the game with a failing driver did not end: $(cat "$work/zink.log")"
  ! grep -q 'X Error of failed request' "$work/zink.log" || fail "Xlib ended the game: $(cat "$work/zink.log")"
  [ "$code" = 0 ] || fail "exit code $code with a failing driver: $(cat "$work/zink.log")"
  grep -q '^Tarvik 3D: OpenGL lässt sich nicht einrichten (X-Fehler: ' "$work/zink.log" ||
    fail "no word of the X error: $(cat "$work/zink.log")"
  # The message box, or its text on the terminal where no box can be shown.
  grep -qF 'Direct3d konnte nicht initialisiert werden' "$work/zink.log" || [ "$answered" -gt 0 ] ||
    fail "no \"Direct3d konnte nicht initialisiert werden\": $(cat "$work/zink.log")"
  [ -f "$work/high.dat" ] || fail "no high.dat written after the failed start"
  say "a driver failing at the context: the game's own failed start, exit code 0, high.dat written"
  sed 's/^/odd:   /' "$work/zink.log"
fi
say "passed"
