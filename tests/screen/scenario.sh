# The scenario both on-screen tests play, in xdotool words, which dorvane-snapshot reads too.
# Every step is checked against the headless program replaying all steps so far. Mouse words
# are in document window coordinates: drag:X0,Y0,X1,Y1 (left button), dblclick:X,Y,
# rdblclick:X,Y, wheel:X,Y,NOTCHES (negative towards the user); drop:NAME,NAME drops files of
# the test folder on the window. The first steps pan the first page before any zoom key;
# "plus", "minus" and "equal" are the main keyboard's keys.
STEPS=(
    "Down Down Down Down" "Next Home" "KP_Add" "plus" "Right Right Down" "End" "Home" "F3"
    "minus" "equal" "F4" "F7" "space" "shift+space" "KP_Subtract" "space space" "Delete"
    "dblclick:100,80" "wheel:150,100,1" "drag:200,150,150,120" "wheel:60,50,-1"
    "rdblclick:120,90" "space" "space" "drop:f-drop.pgm,0-drop.bmp" "shift+space"
)

# Sample files under lower-case names, so that the order is the same where paths are lowered.
make_files() { # dir
    local s
    s=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)/samples
    mkdir -p "$1"
    cp "$s/pillow-flower.jpg" "$1/a-flower.jpg"
    cp "$s/libjpeg-turbo-shira_bird8.bmp" "$1/b-bird.bmp"
    cp "$s/image-rs-cat.jpg" "$1/c-cat.jpg"
    cp "$s/libjpeg-turbo-testorig.ppm" "$1/d-rose.ppm"
    # A JPEG cut short: its load fails and the placeholder picture is shown with the message.
    head -c 400 "$s/image-rs-cat.jpg" >"$1/e-broken.jpg"
    # An ECW file for the test stand-in of the vendor's library (tests/ecw_double): the ECW
    # signature, then the raster it serves. Shown after Delete, zoomed and dragged by mouse.
    { printf '\x65\x02\x01 test raster\nraster\n'; cat "$s/libjpeg-turbo-testorig.ppm"; } \
        >"$1/c-map.ecw"
    # Not on the command line: dropped on the window later.
    cp "$s/pillow-hopper_rle8.bmp" "$1/0-drop.bmp"
    cp "$s/libtiff-minisblack-1c-8b.pgm" "$1/f-drop.pgm"
}
