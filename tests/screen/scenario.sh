# The scenario both on-screen tests play: xdotool input, then the same keys in the snapshot
# tool's words. Every step is checked against the headless program replaying all steps so far:
# the snapshot tool's key words while there are only keys; from the first mouse step on
# (snapshot words "@"), the xdotool words themselves, which the tool reads too. Mouse words
# are in document window coordinates: drag:X0,Y0,X1,Y1 (left button), dblclick:X,Y,
# rdblclick:X,Y, wheel:X,Y,NOTCHES (negative towards the user); drop:NAME,NAME drops files of
# the test folder on the window.
# The first steps pan the first page before any zoom key; "plus", "minus" and "equal" are the
# main keyboard's keys.
STEPS=(
    "Down Down Down Down|Down Down Down Down"
    "Next Home|Next Home"
    "KP_Add|KP_Add"
    "plus|plus"
    "Right Right Down|Right Right Down"
    "End|End"
    "Home|Home"
    "F3|F3"
    "minus|minus"
    "equal|equal"
    "F4|F4"
    "F7|F7"
    "space|Space"
    "shift+space|Shift+Space"
    "KP_Subtract|KP_Subtract"
    "space space|Space Space"
    "Delete|Delete"
    "dblclick:100,80|@"
    "wheel:150,100,1|@"
    "drag:200,150,150,120|@"
    "wheel:60,50,-1|@"
    "rdblclick:120,90|@"
    "space|@"
    "space|@"
    "drop:f-drop.pgm,0-drop.bmp|@"
    "shift+space|@"
)

# Sample files under lower-case names, so that the order is the same where paths are lowered.
make_files() { # dir
    local here
    here=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
    mkdir -p "$1"
    cp "$here/samples/pillow-flower.jpg" "$1/a-flower.jpg"
    cp "$here/samples/libjpeg-turbo-shira_bird8.bmp" "$1/b-bird.bmp"
    cp "$here/samples/image-rs-cat.jpg" "$1/c-cat.jpg"
    cp "$here/samples/libjpeg-turbo-testorig.ppm" "$1/d-rose.ppm"
    # A JPEG cut short: its load fails and the placeholder picture is shown with the message.
    head -c 400 "$here/samples/image-rs-cat.jpg" >"$1/e-broken.jpg"
    # An ECW file for the test stand-in of the vendor's library (tests/ecw_double): the ECW
    # signature, then the raster it serves. Shown after Delete, zoomed and dragged by mouse.
    { printf '\x65\x02\x01 test raster\nraster\n'; cat "$here/samples/libjpeg-turbo-testorig.ppm"; } \
        >"$1/c-map.ecw"
    # Not on the command line: dropped on the window later.
    cp "$here/samples/pillow-hopper_rle8.bmp" "$1/0-drop.bmp"
    cp "$here/samples/libtiff-minisblack-1c-8b.pgm" "$1/f-drop.pgm"
}
