#!/usr/bin/env bash
# Time from process start to the first complete paint of a picture under Xvfb, for the SDL
# viewer and, opened the same way (fitted into a window of the screen's size), feh and nsxiv;
# with the peak resident memory of each. A paint is complete when five points spread over the
# picture all show their colour; paint-watch reads those points alone every 2 ms, so watching
# takes next to no time from the viewers.
# Usage: bench/first_paint.sh [BUILD_DIR] [RUNS] [CASE...]   (defaults: build, 5, ppm)
# Cases:
#   ppm        6000 x 4000 PPM of one colour, on a 1024 x 768 screen
#   tiff-lzw   6000 x 4000 RGB TIFF in LZW strips of one row, on a 1920 x 1080 screen
#   tiff-g4    10000 x 14000 Group 4 page in one strip, on a 1920 x 1080 screen
#   tiff-giga  40000 x 25000 RGB TIFF in LZW strips of one row (about 3 GB, made for the run
#              and deleted after it), on a 1920 x 1080 screen
# The TIFF pictures carry five squares of one colour (bench/make_bench_tiff.py) where the
# points are probed; the rest is real work for the decoders.
set -u
here=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-$here/build}
RUNS=${2:-5}
shift 2 2>/dev/null
CASES=("$@")
[ ${#CASES[@]} -gt 0 ] || CASES=(ppm)
VIEWER=$BUILD/platform/dorvane
WATCH=$BUILD/platform/paint-watch
OUT=$BUILD/bench-first-paint
for tool in Xvfb /usr/bin/time python3; do
    command -v "$tool" >/dev/null || { echo "first_paint: $tool is not installed"; exit 1; }
done
[ -x "$VIEWER" ] && [ -x "$WATCH" ] || {
    echo "first_paint: build the viewer and paint-watch first (cmake --build $BUILD)"
    exit 1
}
mkdir -p "$OUT"

XVFB_PID=
GIGA=
cleanup() {
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
    [ -n "$GIGA" ] && rm -f "$GIGA"
}
trap cleanup EXIT

start_display() { # WIDTHxHEIGHT
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null && wait "$XVFB_PID" 2>/dev/null
    XVFB_PID=
    for n in $(seq 150 250); do
        [ -e "/tmp/.X$n-lock" ] && continue
        Xvfb ":$n" -screen 0 "$1x24" -nolisten tcp >/dev/null 2>&1 &
        XVFB_PID=$!
        for _ in $(seq 1 100); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.05; done
        if [ -e "/tmp/.X11-unix/X$n" ]; then export DISPLAY=":$n"; return 0; fi
        kill "$XVFB_PID" 2>/dev/null
        XVFB_PID=
    done
    echo "first_paint: no free display"
    exit 1
}

now_ms() { echo $(($(date +%s%N) / 1000000)); }

painted() { "$WATCH" "$(now_ms)" 0 "${points[@]}" >/dev/null; }

# One run: prints "MS KB CPU_MS" (CPU time of the whole run, up to the kill after the paint).
# A run that has not painted after LIMIT_MS fails.
run_once() { # name command...
    local name=$1
    shift
    local stats=$OUT/$name.time start end pid child
    # Nothing of the previous run may be left on the screen.
    while painted; do sleep 0.05; done
    start=$(now_ms)
    /usr/bin/time -v -o "$stats" "$@" >/dev/null 2>"$OUT/$name.stderr" &
    pid=$!
    end=$("$WATCH" "$start" "$LIMIT_MS" "${points[@]}")
    child=$(pgrep -P "$pid" | head -1)
    [ -n "$child" ] && kill "$child" 2>/dev/null
    wait "$pid" 2>/dev/null
    local kb user sys cpu
    kb=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$stats")
    user=$(sed -n 's/.*User time (seconds): //p' "$stats")
    sys=$(sed -n 's/.*System time (seconds): //p' "$stats")
    cpu=$(awk -v u="${user:-0}" -v s="${sys:-0}" 'BEGIN {printf "%d", (u + s) * 1000}')
    if [ -z "$end" ]; then echo "fail ${kb:-0} $cpu"; else echo "$end ${kb:-0} $cpu"; fi
}

median() { sort -n | awk '{a[NR]=$1} END {if (NR) print (NR % 2 ? a[(NR+1)/2] : int((a[NR/2]+a[NR/2+1])/2)); else print "n/a"}'; }

# Window points of the squares' centres for a picture fitted and centred on the screen, and
# with a ring colour, one point in each square's ring.
square_points() { # screen_w screen_h image_w image_h colour [ring_colour]
    python3 - "$@" <<'PY'
import sys
sw, sh, iw, ih = map(int, sys.argv[1:5])
s = min(sw / iw, sh / ih, 1.0)
ox, oy = (sw - iw * s) / 2, (sh - ih * s) / 2
side = min(iw, ih) // 8
for cx, cy in [(0.5, 0.5), (0.3, 0.3), (0.7, 0.3), (0.3, 0.7), (0.7, 0.7)]:
    x, y = ox + cx * iw * s, oy + cy * ih * s
    print("%d,%d,%s" % (x, y, sys.argv[5]))
    if len(sys.argv) > 6:
        print("%d,%d,%s" % (x + 0.625 * side * s, y, sys.argv[6]))
PY
}

make_tiff() { # kind width height file
    [ -f "$4" ] || /usr/bin/python3 "$here/bench/make_bench_tiff.py" "$@" || exit 1
}

echo "load average: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
for case in "${CASES[@]}"; do
    LIMIT_MS=15000
    case $case in
    ppm)
        screen=1024x768
        image=$OUT/big-6000x4000.ppm
        if [ ! -f "$image" ]; then
            python3 - "$image" <<'PY'
import sys
with open(sys.argv[1], "wb") as f:
    f.write(b"P6\n6000 4000\n255\n")
    row = bytes([0x3C, 0x78, 0xB4]) * 6000
    for _ in range(4000):
        f.write(row)
PY
        fi
        points=(512,384,3C78B4 300,250,3C78B4 724,250,3C78B4 300,518,3C78B4 724,518,3C78B4)
        ;;
    tiff-lzw)
        screen=1920x1080
        image=$OUT/lzw-6000x4000.tif
        make_tiff lzw 6000 4000 "$image"
        mapfile -t points < <(square_points 1920 1080 6000 4000 3C78B4)
        ;;
    tiff-g4)
        screen=1920x1080
        image=$OUT/g4-10000x14000.tif
        make_tiff g4 10000 14000 "$image"
        mapfile -t points < <(square_points 1920 1080 10000 14000 000000 FFFFFF)
        ;;
    tiff-giga)
        screen=1920x1080
        image=$OUT/lzw-40000x25000.tif
        GIGA=$image
        echo "making the 40000 x 25000 picture (a few minutes)"
        make_tiff lzw 40000 25000 "$image"
        mapfile -t points < <(square_points 1920 1080 40000 25000 3C78B4)
        LIMIT_MS=60000
        ;;
    *)
        echo "first_paint: unknown case $case"
        exit 1
        ;;
    esac
    start_display "$screen"
    declare -A commands=(
        [dorvane]="$VIEWER $image"
        [feh]="feh --scale-down -g $screen $image"
        [nsxiv]="nsxiv -s d -g $screen $image"
    )
    echo "== $case: $(basename "$image") on $screen"
    # The viewers take turns, run after run, so that a change in the machine's load falls on
    # all of them.
    declare -A times=() rss=() cpus=()
    for _ in $(seq 1 "$RUNS"); do
        for name in dorvane feh nsxiv; do
            set -- ${commands[$name]}
            command -v "$1" >/dev/null || continue
            read -r ms kb cpu < <(DORVANE_REPORT_PAINT=1 run_once "$name" "$@")
            times[$name]+="$ms "
            rss[$name]+="$kb "
            cpus[$name]+="$cpu "
        done
    done
    printf '%-8s %12s %12s %14s   %s\n' viewer "median ms" "median CPU" "peak RSS MB" "runs (ms)"
    for name in dorvane feh nsxiv; do
        if [ -z "${times[$name]:-}" ]; then
            printf '%-8s %12s\n' "$name" "not installed"
            continue
        fi
        med=$(printf '%s\n' ${times[$name]} | grep -v fail | median)
        cpu_med=$(printf '%s\n' ${cpus[$name]} | median)
        peak=$(printf '%s\n' ${rss[$name]} | sort -n | tail -1)
        printf '%-8s %12s %12s %14s   %s\n' "$name" "$med" "$cpu_med" "$((peak / 1024))" "${times[$name]}"
    done
    grep -h 'dorvane: painted' "$OUT/dorvane.stderr" | head -1 | sed 's/^/last dorvane run, its own report: /'
    if [ "$case" = tiff-giga ]; then
        rm -f "$image"
        GIGA=
    fi
done
