#!/usr/bin/env bash
# Installs the game into a temporary prefix and plays it from there as a player
# would: checks the installed desktop entry, metainfo, icons and manual page,
# starts the game the way the menu does (the desktop entry's Exec line) from
# the player's home folder with a home and data home of its own, on a virtual X
# server and without SDL_AUDIODRIVER, reaches the title, drives, quits with Esc
# through the highscore list, and then finds the player's high.dat, made from
# the installed table, in the data home, and nothing written anywhere else:
# the prefix (which is writable, as for root) and the home stay as they were.
# Screenshots of the title and the drive are checked and kept.
#   install.sh --cmake BUILD_DIR ARTIFACT_DIR   (cmake --install of a build)
#   install.sh --deb PACKAGE ARTIFACT_DIR       (the files of the Debian package)
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/window.sh"

mode=$1 from=$(realpath "$2") artifacts=$(realpath -m "$3")
if [ -z "${E2E_INNER:-}" ]; then
  export E2E_INNER=1
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi

tmp=$(mktemp -d)
pid=
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$tmp"' EXIT
fail() { echo "install: FAILED: $*" >&2; exit 1; }
say() { echo "install: $*"; }
mkdir -p "$artifacts"
rm -f "$artifacts"/*.png

case $mode in
  --cmake)
    prefix=$tmp/prefix
    cmake --install "$from" --prefix "$prefix" >/dev/null
    ;;
  --deb)
    dpkg-deb -x "$from" "$tmp/root"
    prefix=$tmp/root/usr
    ;;
  *) fail "usage: install.sh --cmake BUILD_DIR ARTIFACT_DIR | --deb PACKAGE ARTIFACT_DIR" ;;
esac
data=$prefix/share/games/tarvik3d
[ -x "$prefix/games/tarvik3d" ] || fail "no executable in $prefix/games"
[ -f "$data/course.txt" ] && [ -d "$data/media" ] || fail "no data in $data"
[ ! -e "$data/high.dat" ] || fail "a high.dat was installed"

# The installed files a desktop reads.
desktop=$prefix/share/applications/tarvik3d.desktop
desktop-file-validate "$desktop" || fail "desktop-file-validate: $desktop"
grep -qx 'Categories=Game;ArcadeGame;' "$desktop" || fail "categories of $desktop"
metainfo=$(ls "$prefix"/share/metainfo/*.metainfo.xml)
appstreamcli validate --no-net --pedantic "$metainfo" || fail "appstreamcli validate: $metainfo"
icon=$(sed -n 's/^Icon=//p' "$desktop")
for size in 16 22 24 32 48 64 128 256; do
  png=$prefix/share/icons/hicolor/${size}x$size/apps/$icon.png
  [ "$(identify -format '%wx%h' "$png" 2>/dev/null)" = "${size}x$size" ] || fail "no ${size}px icon $png"
done
grep -q "<launchable type=\"desktop-id\">tarvik3d.desktop</launchable>" "$metainfo" || fail "metainfo launches no tarvik3d.desktop"
warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$prefix/share/man/man6/tarvik3d.6.gz" 2>&1 >/dev/null || true)
[ -z "$warnings" ] || fail "the manual page has warnings: $warnings"
say "desktop entry, metainfo, icons 16 to 256 and manual page are valid"

# The installation's own table, the first content of every player's.
printf '41.250000,Installiert\r\n62.500000,Auch installiert\r\n0.000000,\r\n0.000000,\r\n0.000000,\r\n' >"$data/high.dat"
snapshot() {
  (cd "$1" && find . -printf '%p %y %s %m %T@\n' | LC_ALL=C sort && find . -type f -exec md5sum {} + | LC_ALL=C sort)
}
before=$(snapshot "$prefix")

home=$tmp/home xdg=$tmp/xdg
mkdir -p "$home"
player() { env -u SDL_AUDIODRIVER HOME="$home" XDG_DATA_HOME="$xdg" XDG_CACHE_HOME="$tmp/cache" XDG_CONFIG_HOME="$tmp/config" \
  PATH="$prefix/games:$PATH" "$@"; }

# Its command line.
version=$(cd "$home" && player tarvik3d --version)
[[ $version =~ ^Tarvik\ 3D\ [0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "--version: $version"
help=$(cd "$home" && player tarvik3d --help)
grep -qxF "Spieldaten:  $(realpath "$data") (Installation)" <<<"$help" || fail "--help names no installed data: $help"
grep -qxF "Bestenliste: $xdg/tarvik3d/high.dat" <<<"$help" || fail "--help names no table in the data home: $help"
code=0
(cd "$home" && player tarvik3d --fullscreen >/dev/null 2>"$tmp/usage") || code=$?
[ "$code" = 2 ] && grep -q '^Aufruf: tarvik3d' "$tmp/usage" || fail "an unknown option gave exit code $code"
say "$version; --help names $data and $xdg/tarvik3d/high.dat; an unknown option ends with 2"

shot() { import -window root "$artifacts/$1.png"; echo "$artifacts/$1.png"; }
share() {  # image region colour fuzz
  convert "$1" -crop "$2" +repage -alpha off -fuzz "$4" -fill '#ff00fe' -opaque "$3" \
    -fill black +opaque '#ff00fe' -fill white -opaque '#ff00fe' -format '%[fx:mean]' info:
}
expect_share() {  # image region colour fuzz minimum what
  local s
  s=$(share "$1" "$2" "$3" "$4")
  awk -v s="$s" -v m="$5" 'BEGIN { exit !(s >= m) }' || fail "$6: share $s of $3 in $2 below $5 ($1)"
  say "$6: share $s of $3 (at least $5)"
}
hold() { xdotool keydown "$1"; sleep "$2"; xdotool keyup "$1"; }
alive() { kill -0 "$pid" 2>/dev/null || fail "the game ended early: $(cat "$tmp/game.log")"; }

# Started as the menu starts it: the Exec line of the desktop entry, in the home folder.
exec_line=$(sed -n 's/^Exec=//p' "$desktop")
# The package's entry names /usr/games/tarvik3d; here its files lie under $prefix.
[ "$mode" = --deb ] && exec_line=${exec_line/#\/usr\//$prefix/}
[ -x "${exec_line%% *}" ] || fail "the desktop entry starts no installed executable: $exec_line"
(cd "$home" && player sh -c "exec $exec_line" >"$tmp/game.log" 2>&1) &
pid=$!
find_window 'Tarvik 3D' >/dev/null ||
  fail "no game window: $(cat "$tmp/game.log")"
sleep 3
alive
img=$(shot install-title)
expect_share "$img" 1024x10+0+2 '#d4d0c8' 15% 0.5 "menu bar"
expect_share "$img" 1024x700+0+30 '#00ffff' 25% 0.02 "cyan title letters"
expect_share "$img" 1024x80+0+40 '#6090e0' 30% 0.2 "sky"

hold space 0.15
sleep 1
hold Up 2.5
img=$(shot install-driving)
expect_share "$img" 230x60+790+25 '#ffff00' 20% 0.02 "yellow read-outs"
expect_share "$img" 1024x300+0+440 '#8b5a2b' 35% 0.2 "wooden track"
alive

xdotool key Escape
sleep 2
img=$(shot install-list)
expect_share "$img" 400x200+312+300 '#d4d0c8' 10% 0.3 "highscore list"
xdotool key Return
for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.2; done
kill -0 "$pid" 2>/dev/null && fail "the game did not close after the list"
code=0
wait "$pid" || code=$?
pid=
[ "$code" = 0 ] || fail "the game ended with exit code $code: $(tail -40 "$tmp/game.log")"

# Where the scores went, and where nothing went.
table=$xdg/tarvik3d/high.dat
[ -f "$table" ] || fail "no $table: $(cat "$tmp/game.log")"
[ "$(head -n 2 "$table")" = $'41.250000,Installiert\r\n62.500000,Auch installiert\r' ] ||
  fail "the player's table did not start from the installed one: $(head -c 120 "$table" | tr '\r\n' '  ')"
[ "$(wc -l <"$table")" = 5 ] || fail "$table has not five lines"
[ "$(stat -c %a "$xdg/tarvik3d")" = 700 ] || fail "$xdg/tarvik3d is not the player's alone"
after=$(snapshot "$prefix")
[ "$before" = "$after" ] || fail "the game wrote into its installation: $(diff <(echo "$before") <(echo "$after") | head -20)"
# Libraries keep their own files under the XDG folders given (the sound
# client its settings, Mesa its shader cache); the home itself stays empty.
[ -z "$(ls -A "$home")" ] || fail "the game wrote into the home folder it started in: $(ls -A "$home")"
say "high.dat in the data home, from the installed table: $(head -c 60 "$table" | tr '\r\n' '  ')"
say "nothing written into the installation or the working folder"

# Without any sound device the game says so and plays on (these machines have none).
if ! ls /dev/snd/pcm* >/dev/null 2>&1 && [ ! -S "${XDG_RUNTIME_DIR:-/nonexistent}/pulse/native" ] &&
   [ ! -S "${XDG_RUNTIME_DIR:-/nonexistent}/pipewire-0" ]; then
  grep -qF 'Tarvik 3D: Kein Soundgerät gefunden; das Spiel läuft ohne Ton.' "$tmp/game.log" ||
    fail "no sound device here, but the game did not say it plays silently: $(cat "$tmp/game.log")"
  ! grep -q '^ALSA lib' "$tmp/game.log" || fail "the ALSA library's own lines reached the terminal: $(cat "$tmp/game.log")"
  say "no sound device: the game said so (and the sound libraries nothing) and played silently"
fi

# A moved installation still finds its data.
mv "$prefix" "$tmp/moved"
moved=$(cd "$home" && player "$tmp/moved/games/tarvik3d" --help)
grep -qxF "Spieldaten:  $(realpath "$tmp/moved/share/games/tarvik3d") (Installation)" <<<"$moved" ||
  fail "the moved installation did not find its data: $moved"
say "a moved installation finds its data"
say "passed"
