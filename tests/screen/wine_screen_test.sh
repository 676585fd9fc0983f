#!/usr/bin/env bash
# The Windows program (the x86_64 build, under Wine) on a real X server: the same scenario as
# the SDL test, every step and two resizes compared pixel for pixel and by title with the
# headless program, then Ctrl+Delete (Wine's recycle bin is the desktop trash) and Esc.
# Keys go to the X window; they only act when the document window has handed the focus to the
# main window, whose procedure holds the key table.
# Usage: wine_screen_test.sh SOURCE_DIR WIN64_BUILD_DIR SNAPSHOT XDND_DROP OUT_DIR
set -u
SRC=$1 WINBUILD=$2 SNAPSHOT=$3 XDND_DROP=$4 OUT=$5
source "$(dirname "$0")/lib.sh"
need Xvfb xdotool xwd wine x86_64-w64-mingw32-g++-posix cmake
prepare

# The program under test, built (or brought up to date) with the x86_64 toolchain.
if [ ! -f "$WINBUILD/CMakeCache.txt" ]; then
    cmake -S "$SRC" -B "$WINBUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$SRC/cmake/mingw-x86_64.cmake" >"$OUT/build.log" 2>&1 ||
        { echo "FAIL: cannot configure the Windows build"; tail -20 "$OUT/build.log"; exit 1; }
fi
cmake --build "$WINBUILD" --target dorvane ecw_double -j2 >>"$OUT/build.log" 2>&1 ||
    { echo "FAIL: the Windows build failed"; tail -30 "$OUT/build.log"; exit 1; }
# The stand-in for the vendor's ECW library goes beside the program, where it looks first.
cp "$WINBUILD/tests/ecw_double/NCSEcw.dll" "$WINBUILD/platform/"

TITLE_FROM=$files TITLE_TO="z:$(echo "$files" | tr 'A-Z' 'a-z')"
winlist=()
for f in "${list[@]}"; do winlist+=("Z:${f//\//\\}"); done
export WINEPREFIX=$WINBUILD/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
start_xvfb 400x300
[ -f "$WINEPREFIX/system.reg" ] || { wineboot -i >"$OUT/wineboot.log" 2>&1; wineserver -w; }

# The variable naming the ECW library is for the headless program; the Windows one finds its
# own beside itself.
DORVANE_REPORT_PAINT=1 env -u DORVANE_ECW_LIBRARY wine "$WINBUILD/platform/dorvane.exe" \
    "${winlist[@]}" 2>"$OUT/viewer.log" &
VIEWER_PID=$!
await_window 60

play_steps
check_resized 330 250 ""
check_resized 390 290 "KP_Add"
shown=$files/$(basename "$(xdotool getwindowname "$wid" | sed -E 's/ (-|:) .*//')")
check_trash_and_escape 15
wineserver -k 2>/dev/null
verdict
