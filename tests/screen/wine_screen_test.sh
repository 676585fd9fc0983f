#!/usr/bin/env bash
# The Windows program (the x86_64 build, under Wine) on a real X server: the same scenario as
# the SDL test, every step and two resizes compared pixel for pixel and by title with the
# headless program.
# Keys go to the X window; they only act when the document window has handed the focus to the
# main window, whose procedure holds the key table. Then Ctrl+Delete and Esc.
# Usage: wine_screen_test.sh SOURCE_DIR WIN64_BUILD_DIR SNAPSHOT SCREEN_COMPARE XDND_DROP OUT_DIR
set -u
SRC=$1 WINBUILD=$2 SNAPSHOT=$3 COMPARE=$4 XDND_DROP=$5 OUT=$6
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
cmake --build "$WINBUILD" --target dorvane ecw_double -j2 >>"$OUT/build.log" 2>&1 ||
    { echo "FAIL: the Windows build failed"; tail -30 "$OUT/build.log"; exit 1; }
EXE=$WINBUILD/platform/dorvane.exe
# The stand-in for the vendor's ECW library goes beside the program, where it looks first.
cp "$WINBUILD/tests/ecw_double/NCSEcw.dll" "$WINBUILD/platform/"

files=$OUT/files
make_files "$files"
winfiles="z:$(echo "$files" | tr 'A-Z' 'a-z')"
list=("$files/a-flower.jpg" "$files/b-bird.bmp" "$files/c-cat.jpg" "$files/c-map.ecw"
    "$files/d-rose.ppm" "$files/e-broken.jpg")
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

# The variable naming the ECW library is for the headless program; the Windows one finds its
# own beside itself.
DORVANE_REPORT_PAINT=1 env -u DORVANE_ECW_LIBRARY wine "$EXE" "${winlist[@]}" 2>"$OUT/viewer.log" &
VIEWER_PID=$!
await_window 60 program
echo "window $wid, document client area at $PX,$PY size ${PW}x$PH, view laid out for ${VW}x$VH"

play_steps "$files" "$winfiles"
check_resized 330 250 "" "$files" "$winfiles"
check_resized 390 290 "KP_Add" "$files" "$winfiles"

# Ctrl+Delete: the shown file goes to the recycle bin (Wine's is the desktop trash).
shown_win=$(xdotool getwindowname "$wid" | sed -E 's/ (-|:) .*//')
shown=$files/$(basename "$shown_win")
check_trashed ls -la "$files" "$XDG_DATA_HOME/Trash/files"

check_escape_ends 15 program
wineserver -k 2>/dev/null

report_failures
