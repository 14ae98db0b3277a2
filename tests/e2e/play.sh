#!/usr/bin/env bash
# Plays the real game end to end on a virtual X server with the software
# renderer and no sound device, driven by xdotool: the title, Space, driving,
# the debug read-out, the help dialog, Esc with the highscore
# list, and high.dat written; then, in a second game standing at the start, the
# lighting dialog with the headlight's thumb dragged; in a third, the pause
# (F4) holding a moving car and full screen (F11). Every step's screenshot is
# checked for what must be on it and kept in the artifacts folder.
# While driving, the screen must show at least MIN_PICTURES (41 unless
# told) distinct pictures in a second: smooth frames between the game's 25
# steps a second.
#   play.sh GAME_BINARY SOURCE_DIR ARTIFACT_DIR COUNT_FRAMES_BINARY [MIN_PICTURES]
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/window.sh"

game=$(realpath "$1") source=$(realpath "$2") artifacts=$(realpath -m "$3") counter=$(realpath "$4") least=${5:-41}
if [ -z "${E2E_INNER:-}" ]; then
  export E2E_INNER=1
  # The screen is also kept in a file, for counting the pictures shown.
  E2E_SCREEN_DIR=$(mktemp -d)
  export E2E_SCREEN_DIR
  # A screen of today's most common size, for the full screen at the end.
  code=0
  xvfb-run -a -s "-screen 0 1920x1080x24 -fbdir $E2E_SCREEN_DIR" "$0" "$@" || code=$?
  rm -rf "$E2E_SCREEN_DIR"
  exit "$code"
fi

mkdir -p "$artifacts"
rm -f "$artifacts"/*.png
work=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$work"' EXIT
cp -r "$source/data/." "$work/"
rm -f "$work/high.dat"
cd "$work"

fail() { echo "e2e: FAILED: $*" >&2; exit 1; }
shot() { import -window root "$artifacts/$1.png"; echo "$artifacts/$1.png"; }
# Share of the pixels of a region (WxH+X+Y) within a colour distance of COLOUR.
share() {  # image region colour fuzz
  convert "$1" -crop "$2" +repage -alpha off -fuzz "$4" -fill '#ff00fe' -opaque "$3" \
    -fill black +opaque '#ff00fe' -fill white -opaque '#ff00fe' -format '%[fx:mean]' info:
}
expect_share() {  # image region colour fuzz minimum what
  local s
  s=$(share "$1" "$2" "$3" "$4")
  awk -v s="$s" -v m="$5" 'BEGIN { exit !(s >= m) }' || fail "$6: share $s of $3 in $2 below $5 ($1)"
  echo "e2e: $6: share $s of $3 (at least $5)"
}
# Pixels of a region (WxH+X+Y) whose grey differs by more than 4% between two images.
changed() {  # image image region
  convert "$1" "$2" -crop "$3" +repage -compose difference -composite -colorspace gray -threshold 4% \
    -format '%[fx:round(mean*w*h)]' info:
}
hold() { xdotool keydown "$1"; sleep "$2"; xdotool keyup "$1"; }
alive() { kill -0 "$pid" 2>/dev/null || fail "the game ended early: $(cat game.log)"; }
start_game() {  # seconds to give the title before going on
  SDL_AUDIODRIVER=dummy "$game" --data "$work" >game.log 2>&1 &
  pid=$!
  find_window 'Tarvik 3D' >/dev/null || fail "no game window: $(cat game.log)"
  sleep "$1"
  alive
}
end_game() {  # which game, for the message
  code=0
  wait "$pid" || code=$?
  [ "$code" = 0 ] || fail "$1 ended with exit code $code: $(tail -40 game.log)"
}
# Esc, then OK on the list until the game has closed.
quit_through_list() {  # which game
  xdotool key Escape
  sleep 2
  for _ in $(seq 20); do kill -0 "$pid" 2>/dev/null || break; xdotool key Return; sleep 0.5; done
  kill -0 "$pid" 2>/dev/null && fail "$1 did not close after the list"
  end_game "$1"
}

# The games keep their settings in the work folder, never in the home of
# whoever runs the tests: the second one keeps the lighting it is given.
export XDG_CONFIG_HOME="$work/config-first"
# The copy is named: without --data a game built in the source tree takes its data/.
start_game 3
# Without a desktop the software device's warning goes to the terminal, and
# the game goes on.
grep -q 'Kein HAL-Device - das wird langsam!' game.log || fail "no warning of the software device"

img=$(shot 01-title)
expect_share "$img" 1024x10+0+2 '#d4d0c8' 15% 0.5 "menu bar"
expect_share "$img" 1024x700+0+30 '#00ffff' 25% 0.02 "cyan title letters"
expect_share "$img" 1024x80+0+40 '#6090e0' 30% 0.2 "sky"

# The help dialog (Info > Hilfe) opens over the running title and closes with Esc.
xdotool mousemove 146 9 click 1
sleep 0.7
xdotool mousemove 160 32 click 1
sleep 1.2
img=$(shot 02-help)
expect_share "$img" 500x200+262+300 '#d4d0c8' 10% 0.3 "help dialog"
xdotool key Escape
sleep 1
alive

hold space 0.15
sleep 1
xdotool keydown Up
sleep 1
counted=$("$counter" "$E2E_SCREEN_DIR/Xvfb_screen0" 0 40 1024 700 1000)
sleep 0.5
xdotool keyup Up
distinct=$(echo "$counted" | awk '{ print $2 }')
[ "${distinct:-0}" -ge "$least" ] || fail "one second of driving showed ${distinct:-no} distinct pictures ($counted), fewer than $least"
echo "e2e: one second of driving showed $distinct distinct pictures ($counted)"
img=$(shot 03-driving)
expect_share "$img" 230x60+790+25 '#ffff00' 20% 0.02 "yellow read-outs"
# At the size the window opens with, the read-outs are the original's: no outline.
s=$(share "$img" 230x60+790+25 '#000000' 10%)
awk -v s="$s" 'BEGIN { exit !(s < 0.002) }' || fail "the read-outs have an outline at the start size: share $s of black"
expect_share "$img" 1024x300+0+440 '#8b5a2b' 35% 0.2 "wooden track"

# F12 toggles on every tick it is held: tap, for varying lengths, until the
# debug lines show.
for try in 1 2 3 4 5 6 7 8 9 10 11 12; do
  hold F12 "0.0$(( (try % 4) * 2 + 3 ))"
  sleep 0.4
  img=$(shot 04-debug)
  if [ "$(awk -v s="$(share "$img" 330x35+730+92 '#ffff00' 20%)" 'BEGIN { print (s >= 0.03) }')" = 1 ]; then break; fi
  [ "$try" = 12 ] && fail "no debug lines after 12 taps of F12"
done
echo "e2e: debug lines after $try taps of F12"
hold Left 0.6
hold Right 0.6
for key in F1 F2 F3 F3 F4; do xdotool key "$key"; sleep 0.2; done
alive

# Esc: the ending behind the highscore list; OK closes the list and the game.
xdotool key Escape
sleep 2
img=$(shot 09-list)
expect_share "$img" 400x200+312+300 '#d4d0c8' 10% 0.3 "highscore list"
expect_share "$img" 1024x700+0+30 '#00ffff' 25% 0.003 "cyan credits of the ending behind the list"
xdotool key Return
for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.2; done
kill -0 "$pid" 2>/dev/null && fail "the game did not close after the list"
end_game "the game"
[ -f high.dat ] || fail "no high.dat written"
[ "$(wc -l < high.dat)" = 5 ] || fail "high.dat has not five lines"
echo "e2e: high.dat written: $(head -c 60 high.dat | tr '\r\n' '  ')"

# The lighting dialog in a second game, right after Space: the car stands at
# its start, so the headlight's patch falls on the same place every time.
start_game 2
hold space 0.15
sleep 1
# Einstellungen > Beleuchtung. A click on a thumb gives
# its trackbar the keyboard: Home takes the directional light and then the
# fields' ambient reflection to 0, so the course goes dark. Then the
# headlight's thumb is dragged to the right in steps, the button held between
# them: the thumb follows the pointer, and the scene follows the thumb before
# the button is let go, the headlight's patch on the course ahead of the car
# lighting up beside the dialog.
xdotool mousemove 88 9 click 1
sleep 0.7
xdotool mousemove 84 67 click 1
sleep 1.2
img=$(shot 05-lighting)
expect_share "$img" 400x100+300+380 '#d4d0c8' 10% 0.3 "lighting dialog"
expect_share "$img" 10x10+450+303 '#4d66a6' 8% 0.5 "headlight slider thumb at 0"
expect_share "$img" 10x10+566+243 '#4d66a6' 8% 0.5 "directional light slider thumb at 100"
xdotool mousemove 571 248 click 1
sleep 0.3
xdotool key Home
sleep 0.3
xdotool mousemove 750 417 click 1
sleep 0.3
xdotool key Home
sleep 0.6
dark=$(shot 06-dark)
expect_share "$dark" 10x10+450+243 '#4d66a6' 8% 0.5 "directional light slider thumb at 0 after Home"
expect_share "$dark" 10x10+449+412 '#4d66a6' 8% 0.5 "ambient reflection slider thumb at 0 after Home"
expect_share "$dark" 245x523+779+245 '#000000' 4% 0.95 "dark course right of the dialog"
xdotool mousemove 455 308 mousedown 1
sleep 0.3
for x in 480 520 560 600 640 680 720; do xdotool mousemove "$x" 308; sleep 0.1; done
sleep 0.6
img=$(shot 07-headlight-dragging)
expect_share "$img" 8x10+716+303 '#334d99' 8% 0.5 "dragged headlight slider thumb under the pointer"
# The course beside the dialog, below the horizon and clear of the car.
lit=$(( $(changed "$dark" "$img" 245x523+0+245) + $(changed "$dark" "$img" 245x523+779+245) ))
[ "$lit" -ge 500 ] || fail "the headlight's patch did not light up while dragging: $lit pixels changed ($img)"
echo "e2e: headlight patch lit while dragging: $lit pixels beside the dialog changed (at least 500)"
xdotool mouseup 1
sleep 0.8
img=$(shot 08-headlight)
expect_share "$img" 8x10+716+303 '#4d66a6' 8% 0.5 "headlight slider thumb where it was let go"
xdotool key Return
sleep 1
alive

quit_through_list "the second game"
grep -q '^headlight *= *[1-9]' "$XDG_CONFIG_HOME/tarvik3d/settings.ini" \
  || fail "the lighting was not kept in the settings: $(cat "$XDG_CONFIG_HOME/tarvik3d/settings.ini" 2>&1)"
echo "e2e: the lighting kept: $(grep -A3 '^\[lighting\]' "$XDG_CONFIG_HOME/tarvik3d/settings.ini" | tr '\n' ' ')"

# A third game: F4 pauses the race while the car is driving, and F11 takes the
# window to full screen. Its settings go to the work folder, so the full
# screen choice is not kept for the user's own games.
export XDG_CONFIG_HOME="$work/config"
start_game 2
hold space 0.15
sleep 1
xdotool keydown Up
sleep 2.5
xdotool key F4
xdotool keyup Up
sleep 0.5
first=$(shot 10-paused)
expect_share "$first" 80x30+480+45 '#ffff00' 20% 0.03 "yellow Pause read-out"
sleep 1
second=$(shot 11-paused-later)
# The scene below the read-outs: the clock read-outs are the only lines that
# may change while the race stands.
moved=$(changed "$first" "$second" 1024x660+0+100)
[ "$moved" -le 20 ] || fail "the picture changed while paused: $moved pixels ($first, $second)"
echo "e2e: paused car stood still: $moved pixels of the scene changed in a second (at most 20)"
# Let go again, the car rolls on from where it stood: it was moving when paused.
xdotool key F4
sleep 1
img=$(shot 12-resumed)
moved=$(changed "$second" "$img" 1024x660+0+100)
[ "$moved" -ge 2000 ] || fail "the car did not roll on after the pause: $moved pixels changed ($img)"
echo "e2e: the car rolled on after the pause: $moved pixels of the scene changed (at least 2000)"
s=$(share "$img" 80x30+480+45 '#ffff00' 20%)
awk -v s="$s" 'BEGIN { exit !(s < 0.01) }' || fail "the Pause read-out stayed after F4: share $s"
xdotool key F11
sleep 2
alive
xdotool mousemove 900 500
sleep 0.5
img=$(shot 13-full-screen)
expect_share "$img" 1920x300+0+750 '#8b5a2b' 35% 0.2 "wooden track down to the full screen's bottom"
expect_share "$img" 420x90+1500+5 '#ffff00' 20% 0.02 "yellow read-outs in the full screen's top right corner"
# Grown with the screen: the third line reaches below where the first size ends it.
expect_share "$img" 420x16+1500+64 '#ffff00' 20% 0.02 "grown read-outs"
expect_share "$img" 420x90+1500+5 '#000000' 10% 0.01 "the read-outs' dark outline"
s=$(share "$img" 1920x10+0+2 '#d4d0c8' 5%)
awk -v s="$s" 'BEGIN { exit !(s < 0.1) }' || fail "the menu bar shows in full screen: share $s"
echo "e2e: no menu bar in full screen: share $s of its grey"
xdotool mousemove 900 0
sleep 0.6
img=$(shot 14-full-screen-menu-bar)
expect_share "$img" 1920x10+0+2 '#d4d0c8' 5% 0.8 "the menu bar with the mouse at the top edge"
xdotool mousemove 900 500
sleep 0.3
quit_through_list "the third game"
grep -q 'fullscreen *= *\(true\|yes\|1\|on\)' "$work/config/tarvik3d/settings.ini" \
  || fail "full screen not kept in the settings: $(cat "$work/config/tarvik3d/settings.ini" 2>&1)"
echo "e2e: passed"
