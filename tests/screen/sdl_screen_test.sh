#!/usr/bin/env bash
# The SDL viewer on a real X server: every step of the scenario (keys, mouse, wheel, dropped
# files) must put on the screen exactly the pixels and the title that the headless program
# gives for the same input at the same size, and so must the window resized by the user. Then
# Ctrl+Delete must move the shown file to the desktop trash, and Esc must end the viewer with
# exit code 0.
# Usage: sdl_screen_test.sh VIEWER SNAPSHOT XDND_DROP OUT_DIR
set -u
VIEWER=$1 SNAPSHOT=$2 XDND_DROP=$3 OUT=$4
source "$(dirname "$0")/lib.sh"
need Xvfb xdotool xwd
[ -x "$VIEWER" ] || skip "the SDL viewer is not built (libsdl2-dev and libglib2.0-dev are needed)"
prepare
start_xvfb 400x300
DORVANE_REPORT_PAINT=1 "$VIEWER" "${list[@]}" 2>"$OUT/viewer.log" &
VIEWER_PID=$!
await_window 30

# The first step pans the first page before any zoom key: as far as once F4 has laid it out.
snapshot "$OUT/after-f4.ppm" "F4 ${STEPS[0]}" >/dev/null
play_steps
cmp -s "$OUT/after-f4.ppm" "$OUT/step0.ppm" || failed "PANNING THE FIRST PAGE: not as after F4"
# Resizing: the page shown fitted is fitted to the smaller window at once; zoomed, it keeps its
# scale and place when the window grows again.
check_resized 300 220 ""
check_resized 360 260 "KP_Add"
shown=$(xdotool getwindowname "$wid" | sed -E 's/ (-|:) .*//')
check_trash_and_escape 10
verdict
