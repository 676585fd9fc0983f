# Shared by the on-screen tests: a private Xvfb, screen dumps compared with dorvane-snapshot,
# waits on conditions with a deadline. Sourced; the caller sets OUT (its folder in the build
# tree), SNAPSHOT (dorvane-snapshot), COMPARE (screen-compare) and XDND_DROP (xdnd-drop).

SKIP=77
# Sanitizer builds: leaks of the system libraries are not the program's.
export LSAN_OPTIONS="suppressions=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"

skip() {
    echo "SKIP: $*"
    exit $SKIP
}

need() {
    for tool in "$@"; do
        command -v "$tool" >/dev/null 2>&1 || skip "$tool is not installed (tools/setup-debian.sh installs it)"
    done
}

XVFB_PID=
VIEWER_PID=
cleanup() {
    [ -n "$VIEWER_PID" ] && kill "$VIEWER_PID" 2>/dev/null
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
    wait 2>/dev/null
}
trap cleanup EXIT

# Starts Xvfb on a free display number with a screen of the given size (WxH).
start_xvfb() {
    local size=$1 n tries
    SCREEN_W=${size%x*} SCREEN_H=${size#*x}
    for tries in $(seq 1 20); do
        n=$((100 + (RANDOM % 800)))
        [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
        Xvfb ":$n" -screen 0 "${size}x24" -nolisten tcp >"$OUT/xvfb.log" 2>&1 &
        XVFB_PID=$!
        for _ in $(seq 1 100); do
            [ -e "/tmp/.X11-unix/X$n" ] && break
            kill -0 "$XVFB_PID" 2>/dev/null || break
            sleep 0.05
        done
        if [ -e "/tmp/.X11-unix/X$n" ] && kill -0 "$XVFB_PID" 2>/dev/null; then
            export DISPLAY=":$n"
            return 0
        fi
        kill "$XVFB_PID" 2>/dev/null
        XVFB_PID=
    done
    echo "FAIL: no free display for Xvfb"
    exit 1
}

# Waits up to $1 seconds for the command to succeed.
wait_for() {
    local seconds=$1
    shift
    local deadline=$((SECONDS + seconds))
    while ! "$@"; do
        [ $SECONDS -ge $deadline ] && return 1
        sleep 0.1
    done
}

# The last report of the viewer's log (DORVANE_REPORT_PAINT): sets PX PY PW PH, the part of
# the document client area that lies on the screen, and VW VH, the size the display lays the
# view out for. (A maximised window's frame, and so a little of its client area, may stand
# off the screen.)
read_paint_report() {
    local line
    grep -q 'dorvane: painted' "$1" || return 1
    line=$(grep -E 'dorvane: (painted|resized)' "$1" | tail -1)
    read -r PX PY PW PH VW VH < <(echo "$line" |
        sed -E 's/.* at (-?[0-9]+),(-?[0-9]+) size ([0-9]+)x([0-9]+) view ([0-9]+)x([0-9]+)/\1 \2 \3 \4 \5 \6/')
    [ $((PX + PW)) -gt "$SCREEN_W" ] && PW=$((SCREEN_W - PX))
    [ $((PY + PH)) -gt "$SCREEN_H" ] && PH=$((SCREEN_H - PY))
    return 0
}

# Succeeds once the file has not grown for $2 seconds (tenths), within $3 seconds.
quiet_for() { # file tenths deadline-seconds
    local size last=-1 still=0 deadline=$((SECONDS + $3))
    while [ $SECONDS -lt $deadline ]; do
        size=$(stat -c %s "$1" 2>/dev/null || echo 0)
        if [ "$size" = "$last" ]; then
            still=$((still + 1))
            [ $still -ge "$2" ] && return 0
        else
            still=0
            last=$size
        fi
        sleep 0.1
    done
    return 1
}

# Expected picture and title of a scenario step, from the headless program started at the
# size the program started with (START_SIZE, set by await_window).
snapshot() { # out.ppm keys files...
    local out=$1 keys=$2
    shift 2
    "$SNAPSHOT" --size "$START_SIZE" --keys "$keys" --out "$out" "$@" | head -1
}

# Expected picture and title from the program played with all xdotool words so far.
input_snapshot() { # out.ppm words files...
    local out=$1 words=$2
    shift 2
    "$SNAPSHOT" --size "$START_SIZE" --keys "$words" --out "$out" "$@" | head -1
}

# Plays xdotool words on the window: keys, mouse words in client coordinates, and drops of
# files (drop:PATH,PATH...), which go in through XDND as from a file manager.
play_x() { # window words...
    local wid=$1 word a b c d
    shift
    for word in "$@"; do
        xdotool windowfocus "$wid" 2>/dev/null
        case $word in
        drag:*)
            IFS=, read -r a b c d <<<"${word#drag:}"
            xdotool mousemove $((PX + a)) $((PY + b)) mousedown 1 \
                mousemove $((PX + c)) $((PY + d)) mouseup 1
            ;;
        dblclick:* | rdblclick:*) # left or right button
            IFS=, read -r a b <<<"${word#*dblclick:}"
            [[ $word == r* ]] && c=3 || c=1
            xdotool mousemove $((PX + a)) $((PY + b)) click --repeat 2 --delay 80 "$c"
            ;;
        wheel:*) # notches away from the user are button 4, towards the user button 5
            IFS=, read -r a b c <<<"${word#wheel:}"
            d=4
            [ "$c" -lt 0 ] && d=5 c=$((-c))
            xdotool mousemove $((PX + a)) $((PY + b)) click --repeat "$c" --delay 80 "$d"
            ;;
        drop:*)
            IFS=, read -r -a names <<<"${word#drop:}"
            "$XDND_DROP" "$wid" $((PX + 20)) $((PY + 20)) "${names[@]}" ||
                echo "  the drop of ${names[*]} was not taken"
            ;;
        *) xdotool key "$word" ;;
        esac
        sleep 0.06 # paces the input like a person; results are waited for by condition
    done
}

# Drop words name files of the test folder; the tools want full paths.
expand_drops() { # files-dir words...
    local dir=$1 word out=()
    shift
    for word in "$@"; do
        [[ $word == drop:* ]] && word="drop:$dir/${word#drop:}" && word=${word//,/,$dir/}
        out+=("$word")
    done
    echo "${out[*]}"
}

screen_matches() { # expected.ppm step-name
    xwd -root -silent >"$OUT/screen.xwd" 2>/dev/null || return 1
    "$COMPARE" match "$OUT/screen.xwd" "$PX" "$PY" "$PW" "$PH" "$1" >"$OUT/compare.txt" 2>&1
}

# Leaves the screen, the expected picture and their difference in the build folder.
keep_failure() { # step-name expected.ppm
    local name=$1
    xwd -root -silent >"$OUT/$name-screen.xwd" 2>/dev/null
    "$COMPARE" match "$OUT/$name-screen.xwd" "$PX" "$PY" "$PW" "$PH" "$2" "$OUT/$name-screen.ppm" \
        "$OUT/$name-diff.ppm" >/dev/null 2>&1
    cp "$2" "$OUT/$name-expected.ppm"
    if command -v convert >/dev/null 2>&1; then
        for f in screen expected diff; do
            [ -f "$OUT/$name-$f.ppm" ] && convert "$OUT/$name-$f.ppm" "$OUT/$name-$f.png" 2>/dev/null
        done
    fi
    echo "  screenshots kept in $OUT/$name-*"
}

title_is() { [ "$(xdotool getwindowname "$wid" 2>/dev/null)" = "$1" ]; }

# Plays every step of STEPS on window $wid and holds the screen and the title to what the
# headless program gives for the same input. Sets failures, played and xplayed. Optional
# FROM TO: text replaced in the headless program's titles (file names as the program shows
# them).
play_steps() {
    local from=${1:-} to=${2:-} i xkeys skeys title pixels titles mouse=0
    failures=0
    played=""
    xplayed=""
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
        expected_title=${title//$from/$to}
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
}

# The window resized by the user to W x H (the X window's size), with the words the page saw
# before (KEYS, xdotool words): what is then shown must equal the headless program given the
# same words and then resized to the client size the program took. Sets xplayed.
check_resized() { # width height keys [from to]
    local width=$1 height=$2 keys=$3 from=${4:-} to=${5:-} before="$VW $VH" expected_title
    if [ -n "$keys" ]; then
        play_x "$wid" $keys
        xplayed="$xplayed $keys"
    fi
    xdotool windowsize "$wid" "$width" "$height"
    took_size() { read_paint_report "$OUT/viewer.log" && [ "$VW $VH" != "$before" ]; }
    if ! wait_for 10 took_size || ! quiet_for "$OUT/viewer.log" 8 20; then
        echo "RESIZE TO ${width}x$height: the program did not take a new size (view $VW x $VH)"
        failures=$((failures + 1))
        return
    fi
    read_paint_report "$OUT/viewer.log"
    xplayed="$xplayed size:${VW}x$VH"
    expected_title=$(input_snapshot "$OUT/resized.ppm" "$xplayed" "${list[@]}")
    expected_title=${expected_title//$from/$to}
    if wait_for 15 screen_matches "$OUT/resized.ppm" && wait_for 5 title_is "$expected_title"; then
        echo "resized to ${width}x$height [$keys] (view ${VW}x$VH): pixels and title equal"
    else
        echo "RESIZED TO ${width}x$height [$keys]: $(cat "$OUT/compare.txt"), title" \
            "'$(xdotool getwindowname "$wid")' for '$expected_title'"
        keep_failure "resized-${width}x$height" "$OUT/resized.ppm"
        failures=$((failures + 1))
    fi
}

# Ctrl+Delete must move the file $shown to the desktop trash, not away.
check_trashed() { # [command to run on failure...]
    xdotool windowfocus "$wid" 2>/dev/null
    xdotool key ctrl+Delete
    trashed() { [ ! -e "$shown" ] && [ -e "$XDG_DATA_HOME/Trash/files/$(basename "$shown")" ]; }
    if wait_for 10 trashed; then
        echo "ctrl+Delete: $shown is in the trash"
    else
        echo "CTRL+DELETE FAILED: $shown was not moved to $XDG_DATA_HOME/Trash/files"
        [ $# -gt 0 ] && "$@" 2>&1
        failures=$((failures + 1))
    fi
}

# Esc must end the program (VIEWER_PID) within the deadline with exit code 0.
check_escape_ends() { # deadline-seconds what
    local code
    xdotool windowfocus "$wid" 2>/dev/null
    xdotool key Escape
    ended() { ! kill -0 "$VIEWER_PID" 2>/dev/null; }
    if wait_for "$1" ended; then
        wait "$VIEWER_PID"
        code=$?
        VIEWER_PID=
        [ "$code" -eq 0 ] && echo "Esc: exit code 0" || { echo "Esc: EXIT CODE $code"; failures=$((failures + 1)); }
    else
        echo "ESC did not end the $2"
        failures=$((failures + 1))
    fi
}

report_failures() {
    [ "$failures" -eq 0 ] && echo "PASS" || echo "FAIL: $failures checks failed"
    [ "$failures" -eq 0 ]
}

# Waits for the program (VIEWER_PID, logging to viewer.log) to paint and settle, then finds
# its window: sets wid and the paint report values. Exits on failure.
await_window() { # paint-deadline-seconds what
    if ! wait_for "$1" read_paint_report "$OUT/viewer.log"; then
        echo "FAIL: the $2 never finished a paint"
        cat "$OUT/viewer.log"
        exit 1
    fi
    # Wait until start-up has settled: a size message may still come once the window is mapped.
    quiet_for "$OUT/viewer.log" 15 30
    read_paint_report "$OUT/viewer.log"
    START_SIZE="${VW}x$VH"
    wid=$(timeout 30 xdotool search --sync --onlyvisible --name 'a-flower' | head -1)
    [ -n "$wid" ] || { echo "FAIL: no $2 window"; exit 1; }
}
