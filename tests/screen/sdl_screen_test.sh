#!/usr/bin/env bash
# The SDL viewer on a real X server: every step of the scenario (keys, mouse, wheel, dropped
# files) must put on the screen exactly the pixels and the title that the headless program
# gives for the same input at the same size, and so must the window resized by the user. Then
# Ctrl+Delete must move the shown file to the desktop trash, and Esc must end the viewer with
# exit code 0.
# Usage: sdl_screen_test.sh VIEWER SNAPSHOT SCREEN_COMPARE XDND_DROP OUT_DIR
set -u
VIEWER=$1 SNAPSHOT=$2 COMPARE=$3 XDND_DROP=$4 OUT=$5
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"
source "$here/scenario.sh"

need Xvfb xdotool xwd
[ -x "$XDND_DROP" ] || skip "xdnd-drop is not built (libx11-dev is needed)"
[ -x "$VIEWER" ] || skip "the SDL viewer is not built (libsdl2-dev and libglib2.0-dev are needed)"
rm -rf "$OUT"
mkdir -p "$OUT"
files=$OUT/files
make_files "$files"
list=("$files/a-flower.jpg" "$files/b-bird.bmp" "$files/c-cat.jpg" "$files/c-map.ecw"
    "$files/d-rose.ppm" "$files/e-broken.jpg")
# The trash the viewer uses lives in the test folder.
export HOME=$OUT/home XDG_DATA_HOME=$OUT/home/.local/share
mkdir -p "$XDG_DATA_HOME"

start_xvfb 400x300
DORVANE_REPORT_PAINT=1 "$VIEWER" "${list[@]}" 2>"$OUT/viewer.log" &
VIEWER_PID=$!
await_window 30 viewer
echo "window $wid, client area at $PX,$PY size ${PW}x$PH, view laid out for ${VW}x$VH"

# The first step pans the first page before any zoom key: as far as once F4 has laid it out.
snapshot "$OUT/after-f4.ppm" "F4 ${STEPS[0]#*|}" "${list[@]}" >/dev/null
play_steps
if ! cmp -s "$OUT/after-f4.ppm" "$OUT/step0.ppm"; then
    echo "PANNING THE FIRST PAGE: not as after F4"
    failures=$((failures + 1))
fi

# Resizing: the page shown fitted is fitted to the smaller window at once; zoomed, it keeps its
# scale and place when the window grows again.
check_resized 300 220 ""
check_resized 360 260 "KP_Add"

# Ctrl+Delete: the shown file goes to the trash, not away.
shown=$(xdotool getwindowname "$wid" | sed -E 's/ (-|:) .*//')
check_trashed

# Esc ends the program with exit code 0.
check_escape_ends 10 viewer

report_failures
