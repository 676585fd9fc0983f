# Shared by the on-screen tests: a private Xvfb, screen dumps compared with dorvane-snapshot
# (cut to the client area by ImageMagick), waits on conditions with a deadline. Sourced; the
# caller sets OUT (its folder in the build tree), SNAPSHOT and XDND_DROP (the tools), and
# may set TITLE_FROM and TITLE_TO: text replaced in the headless program's titles (file names as
# the program under test shows them).

SKIP=77
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# Sanitizer builds: leaks of the system libraries are not the program's.
export LSAN_OPTIONS="suppressions=$here/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
source "$here/scenario.sh"
failures=0 xplayed="" TITLE_FROM=${TITLE_FROM:-} TITLE_TO=${TITLE_TO:-}

skip() { echo "SKIP: $*" && exit $SKIP; }

need() {
    for tool in "$@"; do
        command -v "$tool" >/dev/null 2>&1 || skip "$tool is not installed (tools/setup-debian.sh installs it)"
    done
    [ -x "$XDND_DROP" ] || skip "xdnd-drop is not built (libx11-dev is needed)"
    [ -x /usr/bin/convert ] || skip "ImageMagick is not installed"
}

XVFB_PID= VIEWER_PID=
trap 'kill $VIEWER_PID $XVFB_PID 2>/dev/null; wait 2>/dev/null' EXIT

# A fresh test folder with the scenario's files (list: those on the command line) and a home
# whose desktop trash lives there too.
prepare() {
    rm -rf "$OUT"
    mkdir -p "$OUT"
    files=$OUT/files
    make_files "$files"
    list=("$files"/{a-flower.jpg,b-bird.bmp,c-cat.jpg,c-map.ecw,d-rose.ppm,e-broken.jpg})
    export HOME=$OUT/home XDG_DATA_HOME=$OUT/home/.local/share
    mkdir -p "$XDG_DATA_HOME"
}

# Waits up to $1 seconds for the command to succeed.
wait_for() {
    local deadline=$((SECONDS + $1))
    shift
    while ! "$@"; do
        [ $SECONDS -ge $deadline ] && return 1
        sleep 0.1
    done
}

# Starts Xvfb on a display number it picks itself, with a screen of the given size (WxH).
start_xvfb() {
    SCREEN_W=${1%x*} SCREEN_H=${1#*x}
    Xvfb -displayfd 1 -screen 0 "${1}x24" -nolisten tcp >"$OUT/display" 2>"$OUT/xvfb.log" &
    XVFB_PID=$!
    wait_for 20 grep -qs '[0-9]' "$OUT/display" || { echo "FAIL: Xvfb did not start"; exit 1; }
    export DISPLAY=":$(head -1 "$OUT/display")"
}

# The last report of the viewer's log (DORVANE_REPORT_PAINT): sets PX PY PW PH, the part of
# the document client area that lies on the screen, and VW VH, the size the display lays the
# view out for.
read_paint_report() {
    grep -q 'dorvane: painted' "$OUT/viewer.log" || return 1
    read -r PX PY PW PH VW VH < <(grep -E 'dorvane: (painted|resized)' "$OUT/viewer.log" |
        tail -1 | sed -E 's/.* at (-?[0-9]+),(-?[0-9]+) size ([0-9]+)x([0-9]+) view ([0-9]+)x([0-9]+)/\1 \2 \3 \4 \5 \6/')
    [ $((PX + PW)) -gt "$SCREEN_W" ] && PW=$((SCREEN_W - PX))
    [ $((PY + PH)) -gt "$SCREEN_H" ] && PH=$((SCREEN_H - PY))
    return 0
}

# Succeeds once the viewer's log has not grown for $1 tenths of a second, within $2 seconds.
log_quiet_for() {
    local size last=-1 still=0 deadline=$((SECONDS + $2))
    while [ $SECONDS -lt $deadline ]; do
        size=$(stat -c %s "$OUT/viewer.log" 2>/dev/null || echo 0)
        [ "$size" = "$last" ] && still=$((still + 1)) || still=0
        last=$size
        [ $still -ge "$1" ] && return 0
        sleep 0.1
    done
    return 1
}

# Expected picture and title after the words, from the headless program started at the size
# the program started with (START_SIZE, set by await_window).
snapshot() { # out.ppm words
    "$SNAPSHOT" --size "$START_SIZE" --keys "$2" --out "$1" "${list[@]}" | head -1
}

# Plays xdotool words on the window: keys, mouse words in client coordinates, and drops of
# files (drop:PATH,PATH...), which go in through XDND as from a file manager.
play_x() { # words...
    local word a b c d
    for word in "$@"; do
        xdotool windowfocus "$wid" 2>/dev/null
        IFS=, read -r a b c d <<<"${word#*:}"
        case $word in
        drag:*) xdotool mousemove $((PX + a)) $((PY + b)) mousedown 1 \
            mousemove $((PX + c)) $((PY + d)) mouseup 1 ;;
        dblclick:*) xdotool mousemove $((PX + a)) $((PY + b)) click --repeat 2 --delay 80 1 ;;
        rdblclick:*) xdotool mousemove $((PX + a)) $((PY + b)) click --repeat 2 --delay 80 3 ;;
        wheel:*) # notches away from the user are button 4, towards the user button 5
            d=4
            [ "$c" -lt 0 ] && d=5 c=$((-c))
            xdotool mousemove $((PX + a)) $((PY + b)) click --repeat "$c" --delay 80 "$d" ;;
        drop:*)
            IFS=, read -r -a names <<<"${word#drop:}"
            "$XDND_DROP" "$wid" $((PX + 20)) $((PY + 20)) "${names[@]}" ||
                echo "  the drop of ${names[*]} was not taken" ;;
        *) xdotool key "$word" ;;
        esac
        sleep 0.06 # paces the input like a person; results are waited for by condition
    done
}

# The client area on the screen (shot.ppm) equals the top-left of the picture (want.ppm).
screen_matches() { # expected.ppm
    xwd -root -silent >"$OUT/screen.xwd" 2>/dev/null &&
        /usr/bin/convert xwd:"$OUT/screen.xwd" -crop "${PW}x$PH$(printf %+d%+d "$PX" "$PY")" \
            +repage -strip "$OUT/shot.ppm" &&
        /usr/bin/convert "$1" -crop "${PW}x$PH+0+0" +repage -strip "$OUT/want.ppm" &&
        cmp -s "$OUT/shot.ppm" "$OUT/want.ppm"
}

title_is() { [ "$(xdotool getwindowname "$wid" 2>/dev/null)" = "$1" ]; }

# Counts a failed check, with its message.
failed() {
    echo "$*"
    failures=$((failures + 1))
}

# Holds the screen and the title to what the headless program shows after all input so far
# (xplayed); on a difference the screen, the expected picture and their difference stay in the
# build folder.
check_shown() { # name label
    local expected
    expected=$(snapshot "$OUT/$1.ppm" "$xplayed")
    expected=${expected//$TITLE_FROM/$TITLE_TO}
    if wait_for 15 screen_matches "$OUT/$1.ppm" && wait_for 5 title_is "$expected"; then
        echo "$2: pixels and title equal"
        return
    fi
    cp "$OUT/shot.ppm" "$OUT/$1-screen.ppm"
    failed "$2: DIFFERS: $(/usr/bin/compare -metric AE "$OUT/want.ppm" "$OUT/shot.ppm" \
        "$OUT/$1-diff.png" 2>&1) pixels differ; title '$(xdotool getwindowname "$wid")' for" \
        "'$expected'; screenshots kept in $OUT/$1*"
}

# Plays every step of the scenario on the window; each must show what the headless program
# shows for the same words at the same size.
play_steps() {
    local i word words
    for i in "${!STEPS[@]}"; do
        words=""
        for word in ${STEPS[$i]}; do # dropped files are named in the test folder
            [[ $word == drop:* ]] && word="drop:$files/${word#drop:}" && word=${word//,/,$files/}
            words="$words${words:+ }$word"
        done
        play_x $words
        xplayed="$xplayed $words"
        check_shown "step$i" "step $i [$words]"
    done
}

# The window resized by the user to W x H (the X window's size), after the words (xdotool
# words): what is then shown must equal the headless program given all words so far and then
# resized to the client size the program took.
check_resized() { # width height words
    local before="$VW $VH"
    play_x $3
    xplayed="$xplayed $3"
    xdotool windowsize "$wid" "$1" "$2"
    took_size() { read_paint_report && [ "$VW $VH" != "$before" ]; }
    wait_for 10 took_size && log_quiet_for 8 20 && read_paint_report ||
        { failed "RESIZE TO $1x$2: the program did not take a new size (view $VW x $VH)" && return; }
    xplayed="$xplayed size:${VW}x$VH"
    check_shown "resized-$1x$2" "resized to $1x$2 [$3] (view ${VW}x$VH)"
}

# Then Ctrl+Delete must move the file $shown to the desktop trash, not away, and Esc must end
# the program (VIEWER_PID) within the deadline with exit code 0.
check_trash_and_escape() { # esc-deadline-seconds
    local trash=$XDG_DATA_HOME/Trash/files code
    xdotool windowfocus "$wid" 2>/dev/null
    xdotool key ctrl+Delete
    trashed() { [ ! -e "$shown" ] && [ -e "$trash/$(basename "$shown")" ]; }
    wait_for 10 trashed && echo "ctrl+Delete: $shown is in the trash" ||
        failed "CTRL+DELETE FAILED: $shown was not moved to $trash: $(ls "$files" "$trash" 2>&1)"
    xdotool windowfocus "$wid" 2>/dev/null
    xdotool key Escape
    ended() { ! kill -0 "$VIEWER_PID" 2>/dev/null; }
    wait_for "$1" ended || { failed "ESC did not end the program" && return; }
    wait "$VIEWER_PID"
    code=$? VIEWER_PID=
    [ $code -eq 0 ] && echo "Esc: exit code 0" || failed "Esc: EXIT CODE $code"
}

verdict() {
    [ "$failures" -eq 0 ] && echo "PASS" || { echo "FAIL: $failures checks failed"; exit 1; }
}

# Waits for the program (VIEWER_PID, logging to viewer.log) to paint and settle, then finds
# its window: sets wid and the paint report values. Exits on failure.
await_window() { # paint-deadline-seconds
    wait_for "$1" read_paint_report || { echo "FAIL: no paint" && cat "$OUT/viewer.log" && exit 1; }
    # Wait until start-up has settled: a size message may still come once the window is mapped.
    log_quiet_for 15 30
    read_paint_report
    START_SIZE="${VW}x$VH"
    wid=$(timeout 30 xdotool search --sync --onlyvisible --name 'a-flower' | head -1)
    [ -n "$wid" ] || { echo "FAIL: no program window"; exit 1; }
    echo "window $wid, client area at $PX,$PY size ${PW}x$PH, view laid out for ${VW}x$VH"
}
