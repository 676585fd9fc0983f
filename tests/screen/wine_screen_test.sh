#!/usr/bin/env bash
# The Windows program (the x86_64 build, under Wine) on a real X server: the same scenario as
# the SDL test, every step compared pixel for pixel and by title with the headless program.
# Keys go to the X window; they only act when the document window has handed the focus to the
# main window, whose procedure holds the key table. Then Ctrl+Delete and Esc.
# Usage: wine_screen_test.sh SOURCE_DIR WIN64_BUILD_DIR SNAPSHOT INPUT_SNAPSHOT SCREEN_COMPARE
#        XDND_DROP OUT_DIR
set -u
SRC=$1 WINBUILD=$2 SNAPSHOT=$3 INPUT_SNAPSHOT=$4 COMPARE=$5 XDND_DROP=$6 OUT=$7
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"
source "$here/scenario.sh"

need Xvfb xdotool xwd wine x86_64-w64-mingw32-g++-posix cmake
[ -x "$XDND_DROP" ] || skip "xdnd-drop is not built (libx11-dev is needed)"
rm -rf "$OUT"
mkdir -p "$OUT"

# The program under test, built (or brought up to date) with the x86_64 toolchain.
generator=()
command -v ninja >/dev/null 2>&1 && generator=(-G Ninja)
if [ ! -f "$WINBUILD/CMakeCache.txt" ]; then
    cmake -S "$SRC" -B "$WINBUILD" "${generator[@]}" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$SRC/cmake/mingw-x86_64.cmake" >"$OUT/build.log" 2>&1 ||
        { echo "FAIL: cannot configure the Windows build"; tail -20 "$OUT/build.log"; exit 1; }
fi
cmake --build "$WINBUILD" --target dorvane -j2 >>"$OUT/build.log" 2>&1 ||
    { echo "FAIL: the Windows build failed"; tail -30 "$OUT/build.log"; exit 1; }
EXE=$WINBUILD/platform/dorvane.exe

files=$OUT/files
make_files "$files"
winfiles="z:$(echo "$files" | tr 'A-Z' 'a-z')"
list=("$files/a-flower.jpg" "$files/b-bird.bmp" "$files/c-cat.jpg" "$files/d-rose.ppm"
    "$files/e-broken.jpg")
winlist=()
for f in "${list[@]}"; do winlist+=("Z:${f//\//\\}"); done

export HOME=$OUT/home XDG_DATA_HOME=$OUT/home/.local/share
mkdir -p "$XDG_DATA_HOME"
export WINEPREFIX=$WINBUILD/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

start_xvfb 400x300
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot -i >"$OUT/wineboot.log" 2>&1
    wineserver -w
fi

DORVANE_REPORT_PAINT=1 wine "$EXE" "${winlist[@]}" 2>"$OUT/viewer.log" &
VIEWER_PID=$!
if ! wait_for 60 read_paint_report "$OUT/viewer.log"; then
    echo "FAIL: the program never finished a paint"
    cat "$OUT/viewer.log"
    exit 1
fi
# Wait until start-up has settled: a size message may still come once the window is mapped.
quiet_for "$OUT/viewer.log" 15 30
read_paint_report "$OUT/viewer.log"
wid=$(timeout 30 xdotool search --sync --onlyvisible --name 'a-flower' | head -1)
[ -n "$wid" ] || { echo "FAIL: no program window"; exit 1; }
echo "window $wid, document client area at $PX,$PY size ${PW}x$PH, view laid out for ${VW}x$VH"

title_is() { [ "$(xdotool getwindowname "$wid" 2>/dev/null)" = "$1" ]; }

failures=0
played=""
xplayed=""
mouse=0
for i in "${!STEPS[@]}"; do
    xkeys=$(expand_drops "$files" ${STEPS[$i]%%|*})
    skeys=${STEPS[$i]#*|}
    played="$played $skeys"
    xplayed="$xplayed $xkeys"
    [ "$skeys" = "@" ] && mouse=1
    if [ $mouse = 1 ]; then
        title=$(input_snapshot "$OUT/step$i.ppm" "$xplayed" "${list[@]}")
    else
        title=$(snapshot "$OUT/step$i.ppm" "$played" "${list[@]}")
    fi
    expected_title=${title//$files/$winfiles}
    play_x "$wid" $xkeys
    if wait_for 15 screen_matches "$OUT/step$i.ppm"; then
        pixels="pixels equal"
    else
        pixels="PIXELS DIFFER: $(cat "$OUT/compare.txt")"
        keep_failure "step$i" "$OUT/step$i.ppm"
        failures=$((failures + 1))
    fi
    if wait_for 5 title_is "$expected_title"; then
        titles="title equal"
    else
        titles="TITLE DIFFERS: '$(xdotool getwindowname "$wid")' instead of '$expected_title'"
        failures=$((failures + 1))
    fi
    echo "step $i [$xkeys]: $pixels, $titles"
done

# Ctrl+Delete: the shown file goes to the recycle bin (Wine's is the desktop trash).
shown_win=$(xdotool getwindowname "$wid" | sed -E 's/ (-|:) .*//')
shown=$files/$(basename "$shown_win")
xdotool windowfocus "$wid" 2>/dev/null
xdotool key ctrl+Delete
trashed() { [ ! -e "$shown" ] && [ -e "$XDG_DATA_HOME/Trash/files/$(basename "$shown")" ]; }
if wait_for 10 trashed; then
    echo "ctrl+Delete: $shown is in the trash"
else
    echo "CTRL+DELETE FAILED: $shown was not moved to $XDG_DATA_HOME/Trash/files"
    ls -la "$files" "$XDG_DATA_HOME/Trash/files" 2>&1
    failures=$((failures + 1))
fi

xdotool windowfocus "$wid" 2>/dev/null
xdotool key Escape
ended() { ! kill -0 "$VIEWER_PID" 2>/dev/null; }
if wait_for 15 ended; then
    wait "$VIEWER_PID"
    code=$?
    VIEWER_PID=
    [ "$code" -eq 0 ] && echo "Esc: exit code 0" || { echo "Esc: EXIT CODE $code"; failures=$((failures + 1)); }
else
    echo "ESC did not end the program"
    failures=$((failures + 1))
fi
wineserver -k 2>/dev/null

[ "$failures" -eq 0 ] && echo "PASS" || echo "FAIL: $failures checks failed"
[ "$failures" -eq 0 ]
