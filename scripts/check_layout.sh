#!/usr/bin/env bash
# Checks the directions of the house (docs/architecture.md): what each folder
# may include, that only the platform's own parts include the libraries they
# wrap, and that the game executable holds no recording back-end.
#   check_layout.sh [GAME_EXECUTABLE]
set -euo pipefail
cd "$(dirname "$0")/.."

status=0
complain() { echo "layout: $*" >&2; status=1; }

# folder;quoted includes it may use (path prefixes);the wrapped libraries it may
# include (extended regex, empty for none)
rules=(
  "platform/api;platform/;"
  "platform/core;platform/core/ platform/port/ platform/[a-z0-9_]+\.h;"
  "platform/sdl;platform/sdl/ platform/core/ platform/port/ platform/[a-z0-9_]+\.h;SDL|imgui|backends/|fontconfig/|epoxy/|X11/"
  "platform/gl;platform/gl/ platform/core/ platform/port/ platform/sdl/native_window\.h platform/[a-z0-9_]+\.h gl_internal\.h;SDL|epoxy/"
  "platform/fonts;platform/core/ platform/port/ platform/[a-z0-9_]+\.h;ft2build|FT_|freetype/|fontconfig/|GL/glu"
  "platform/recording;platform/recording/ platform/core/ platform/[a-z0-9_]+\.h;"
  "platform/desktop;platform/desktop/ platform/core/ platform/gl/gl_device\.h platform/sdl/win_sdl\.h platform/sdl/dsound_sdl\.h platform/sdl/gamepad_sdl\.h;"
  "resources;resources/ platform/[a-z0-9_]+\.h platform/port/;"
  "util3d;util3d/ platform/[a-z0-9_]+\.h platform/port/;png|jpeglib|zlib"
  "sound;sound/ platform/[a-z0-9_]+\.h;"
  "scores;scores/ resources/ platform/[a-z0-9_]+\.h platform/port/;"
  "race;race/ sound/ util3d/d3dx_math\.h platform/[a-z0-9_]+\.h;"
  "gfx;gfx/ util3d/ platform/[a-z0-9_]+\.h platform/port/;"
  "render;render/ race/ gfx/ sound/ util3d/ platform/[a-z0-9_]+\.h platform/port/;"
  "app;app/ render/ race/ gfx/ sound/ scores/ resources/ util3d/ platform/[a-z0-9_]+\.h platform/port/;"
)
# The wrapped libraries, which no folder but its platform part may include.
wrapped='^(SDL|imgui|backends/|fontconfig/|epoxy/|ft2build|freetype/|GL/|X11/)'

for rule in "${rules[@]}"; do
  IFS=';' read -r folder allowed system <<<"$rule"
  files=$(find "$folder" \( -name '*.h' -o -name '*.cpp' \) -print)
  for f in $files; do
    # app/main.cpp is the program, not game code: it installs the desktop back-ends.
    [ "$f" = app/main.cpp ] && continue
    while IFS= read -r inc; do
      ok=0
      for a in $allowed; do
        if [[ "$inc" =~ ^$a ]]; then ok=1; break; fi
      done
      [ $ok = 1 ] || complain "$f includes \"$inc\", which $folder/ may not"
    done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$f")
    while IFS= read -r inc; do
      if [[ "$inc" =~ $wrapped ]] && ! { [ -n "$system" ] && [[ "$inc" =~ ^($system) ]]; }; then
        complain "$f includes <$inc>, a library that only its platform part may use"
      fi
    done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*<\([^>]*\)>.*/\1/p' "$f")
  done
done

# ImGui's internal header is used in one file only.
internal=$(grep -rl --include='*.cpp' --include='*.h' 'imgui_internal.h' platform app race render gfx sound scores util3d resources | wc -l)
[ "$internal" -le 1 ] || complain "imgui_internal.h is included by $internal files, one at most"

if [ $# -ge 1 ]; then
  recording=$(nm -C "$1" | grep -E 'Recording(Platform|Device|Direct3D|DirectSound)|SoundRecorder' || true)
  if [ -n "$recording" ]; then
    complain "$1 holds recording code:"
    head -5 <<<"$recording" >&2
  fi
fi

[ $status = 0 ] && echo "layout: every folder includes only what it may"
exit $status
