#!/bin/sh
# Peak memory of dorvane-decode on large pictures at budgets of 20, 64 and 256 MB: each run
# must stay at or below the budget + 48 MB of resident memory and write the same pixels as the
# run without a budget. Prints one line per file and budget; exits 1 when a run fails.
#
#   bench/memory.sh [BUILD_DIR [WORK_DIR]]
#
# The pictures (8000 x 8000 PPM, PNG, interlaced PNG, BMP, JPEG, progressive JPEG and GIF, a
# 20000 x 16000 BMP) are made with Pillow and numpy (the interlaced PNG with ImageMagick) into
# WORK_DIR (default /tmp/dorvane-memory) on the first run and kept there.
set -eu
build=${1:-build}
work=${2:-/tmp/dorvane-memory}
decoder=$build/tools/dorvane-decode
slack=48000000
[ -x "$decoder" ] || { echo "no $decoder: build the tools first" >&2; exit 2; }
mkdir -p "$work"

/usr/bin/python3 - "$work" <<'EOF'
import os, sys
import numpy as np
from PIL import Image

work = sys.argv[1]

def picture(width, height, y0=0):
    """Smooth colour waves with some noise, rows y0 onward: every format has work to do."""
    x = np.arange(width, dtype=np.float32)
    y = np.arange(y0, y0 + height, dtype=np.float32)[:, None]
    rng = np.random.default_rng(y0)
    planes = []
    for k, (a, b) in enumerate(((531.0, 377.0), (211.0, 613.0), (97.0, 1301.0))):
        wave = 127.5 + 110 * np.sin(x / a + k) * np.cos(y / b)
        noise = rng.integers(0, 18, size=(height, width), dtype=np.uint8)
        planes.append((wave + noise).clip(0, 255).astype(np.uint8))
    return np.dstack(planes)

def made(name):
    return os.path.exists(os.path.join(work, name))

if not all(made(n) for n in ("p8000.ppm", "p8000.png", "p8000.bmp", "p8000.jpg", "p8000p.jpg",
                              "p8000.gif")):
    rgb = Image.fromarray(picture(8000, 8000))
    rgb.save(os.path.join(work, "p8000.ppm"))
    rgb.save(os.path.join(work, "p8000.png"))
    rgb.save(os.path.join(work, "p8000.bmp"))
    rgb.save(os.path.join(work, "p8000.jpg"), quality=90)
    rgb.save(os.path.join(work, "p8000p.jpg"), quality=90, progressive=True)
    rgb.quantize(256, method=Image.Quantize.FASTOCTREE).save(os.path.join(work, "p8000.gif"))

if not made("p8000i.png"):
    import subprocess
    subprocess.run(["/usr/bin/convert", os.path.join(work, "p8000.png"), "-interlace", "PNG",
                    os.path.join(work, "p8000i.png")], check=True)

# The large bitmap is written band by band: the whole of it would take a gigabyte here too.
if not made("p20000x16000.bmp"):
    width, height = 20000, 16000
    row = width * 3
    pad = (4 - row % 4) % 4
    size = 54 + (row + pad) * height
    header = bytearray(54)
    header[0:2] = b"BM"
    header[2:6] = size.to_bytes(4, "little")
    header[10:14] = (54).to_bytes(4, "little")
    header[14:18] = (40).to_bytes(4, "little")
    header[18:22] = width.to_bytes(4, "little")
    header[22:26] = height.to_bytes(4, "little")
    header[26:28] = (1).to_bytes(2, "little")
    header[28:30] = (24).to_bytes(2, "little")
    with open(os.path.join(work, "p20000x16000.bmp.part"), "wb") as f:
        f.write(header)
        for top in range(height - 500, -1, -500):  # bottom-up, 500 rows at a time
            band = picture(width, 500, top)[::-1, :, ::-1]
            for r in band:
                f.write(r.tobytes() + b"\0" * pad)
    os.rename(os.path.join(work, "p20000x16000.bmp.part"), os.path.join(work, "p20000x16000.bmp"))
EOF

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# run FILE [BUDGET]: sets rss (bytes), seconds and hash of the page the decoder writes (through
# a pipe, so the gigabyte of output never reaches the disk).
run() {
    rm -f "$tmp/out-0.ppm"
    mkfifo "$tmp/out-0.ppm"
    sha256sum < "$tmp/out-0.ppm" > "$tmp/hash" &
    reader=$!
    if [ $# -gt 1 ]; then
        /usr/bin/time -v "$decoder" --budget "$2" "$1" "$tmp/out" > "$tmp/printed" 2> "$tmp/time" || true
    else
        /usr/bin/time -v "$decoder" "$1" "$tmp/out" > "$tmp/printed" 2> "$tmp/time" || true
    fi
    # A decoder that wrote nothing leaves the reader waiting for a writer: be one for a moment.
    exec 3<>"$tmp/out-0.ppm"
    exec 3>&-
    wait $reader || true
    rss=$(( $(sed -n 's/.*Maximum resident set size (kbytes): //p' "$tmp/time") * 1024 ))
    seconds=$(sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$tmp/time")
    hash=$(cut -c1-16 "$tmp/hash")
    status=$(grep -c '^page 0:' "$tmp/printed" || true)
}

failed=0
printf '%-18s %9s %10s %10s %9s  %s\n' file budget peak_MB limit_MB time verdict
for name in p8000.ppm p8000.png p8000i.png p8000.bmp p8000.jpg p8000p.jpg p8000.gif p20000x16000.bmp; do
    file=$work/$name
    run "$file"
    whole=$hash
    printf '%-18s %9s %10.1f %10s %9s  %s\n' "$name" none "$(echo "$rss / 1000000" | bc -l)" - "$seconds" \
        "$([ "$status" = 1 ] && echo decoded || echo FAILED)"
    [ "$status" = 1 ] || failed=1
    for mb in 20 64 256; do
        budget=$((mb * 1000000))
        run "$file" "$budget"
        verdict=ok
        [ "$status" = 1 ] || verdict="FAILED: not decoded"
        [ "$hash" = "$whole" ] || verdict="FAILED: pixels differ"
        [ "$rss" -le $((budget + slack)) ] || verdict="FAILED: over the limit"
        [ "$verdict" = ok ] || failed=1
        printf '%-18s %9s %10.1f %10.1f %9s  %s\n' "$name" "${mb}MB" "$(echo "$rss / 1000000" | bc -l)" \
            "$(echo "($budget + $slack) / 1000000" | bc -l)" "$seconds" "$verdict"
    done
done
exit $failed
