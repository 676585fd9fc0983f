#!/usr/bin/env bash
# The SDL viewer on a real X server: every step of the scenario (keys, mouse, dropped files)
# must put on the screen exactly the pixels and the title that the headless program gives for
# the same input at the same size. Then a smaller window must be laid out as the headless
# program started at that size, Ctrl+Delete must move the shown file to the desktop trash, and
# Esc must end the viewer with exit code 0.
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

play_steps

# A smaller window: the size message lays the view out again, and F4 then fits the page into
# the new client area exactly as the headless program started at that size does.
xdotool windowsize "$wid" 300 220
resized() { read_paint_report "$OUT/viewer.log" && [ "$PW$PH$VW$VH" = "300220300220" ]; }
if wait_for 10 resized && quiet_for "$OUT/viewer.log" 8 20; then
    xplayed="$xplayed F4"
    expected_title=$(input_snapshot "$OUT/resized.ppm" "$xplayed" "${list[@]}")
    xdotool windowfocus "$wid" 2>/dev/null
    xdotool key F4
    if wait_for 15 screen_matches "$OUT/resized.ppm" && title_is "$expected_title"; then
        echo "resized to 300x220, F4: pixels and title equal"
    else
        echo "RESIZED TO 300x220, F4: $(cat "$OUT/compare.txt")"
        keep_failure resized "$OUT/resized.ppm"
        failures=$((failures + 1))
    fi
else
    echo "RESIZE: the viewer did not take the new size ($PW x $PH, view $VW x $VH)"
    failures=$((failures + 1))
fi

# Ctrl+Delete: the shown file goes to the trash, not away.
shown=$(xdotool getwindowname "$wid" | sed -E 's/ (-|:) .*//')
check_trashed

# Esc ends the program with exit code 0.
check_escape_ends 10 viewer

report_failures
