#!/usr/bin/env bash
# Peak resident memory of dorvane-decode on 8000 x 8000 RGB PNG files, plain and interlaced,
# under memory budgets of 20, 64 and 256 MB: each must stay within the budget + 48 MB and write
# the same pixels as the decode without a budget. The plain file is written by Pillow, the
# interlaced one (Adam7, rows unfiltered) by a few lines of Python over zlib.
# Usage: bench/png_memory.sh [BUILD_DIR]   (default: build)
set -u
here=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-$here/build}
DECODE=$BUILD/tools/dorvane-decode
OUT=$BUILD/bench-png-memory
[ -x "$DECODE" ] || { echo "png_memory: build dorvane-decode first"; exit 1; }
[ -x /usr/bin/time ] || { echo "png_memory: /usr/bin/time is not installed"; exit 1; }
mkdir -p "$OUT"

if [ ! -f "$OUT/rgb-8000.png" ] || [ ! -f "$OUT/rgb-8000-adam7.png" ]; then
    /usr/bin/python3 - "$OUT" <<'PY' || { echo "png_memory: Pillow and numpy are needed"; exit 1; }
import struct, sys, zlib
import numpy
from PIL import Image
out = sys.argv[1]
size = 8000
m = Image.effect_mandelbrot((800, 800), (-2.2, -1.2, 1.0, 1.2), 256)
base = Image.merge('RGB', (m, m.transpose(Image.FLIP_LEFT_RIGHT),
                           m.transpose(Image.FLIP_TOP_BOTTOM))).resize((size, size), Image.BICUBIC)
rgb = Image.blend(base, Image.effect_noise((size, size), 12).convert('RGB'), 0.15)
rgb.save(out + '/rgb-8000.png', compress_level=6)

def chunk(name, data):
    return struct.pack('>I', len(data)) + name + data + struct.pack('>I', zlib.crc32(name + data))

pixels = numpy.asarray(rgb)
z = zlib.compressobj(6)
data = []
for x0, y0, dx, dy in ((0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4),
                       (1, 0, 2, 2), (0, 1, 1, 2)):
    for row in pixels[y0::dy, x0::dx]:
        data.append(z.compress(b'\0' + row.tobytes()))
data.append(z.flush())
with open(out + '/rgb-8000-adam7.png', 'wb') as f:
    f.write(b'\x89PNG\r\n\x1a\n')
    f.write(chunk(b'IHDR', struct.pack('>IIBBBBB', size, size, 8, 2, 0, 0, 1)))
    f.write(chunk(b'IDAT', b''.join(data)))
    f.write(chunk(b'IEND', b''))
PY
fi

printf '%-20s %8s %10s %10s %s\n' file budget peak_MB bound_MB result
status=0
for name in rgb-8000 rgb-8000-adam7; do
    file=$OUT/$name.png
    "$DECODE" "$file" "$OUT/whole" >/dev/null || { echo "$name: decode failed"; exit 1; }
    for budget in 20 64 256; do
        kb=$( { /usr/bin/time -f '%M' "$DECODE" --budget $((budget * 1000000)) "$file" \
                "$OUT/budget" >/dev/null; } 2>&1 | tail -1)
        peak=$((kb * 1024 / 1000000))
        bound=$((budget + 48))
        result=ok
        [ "$peak" -le "$bound" ] || { result="OVER"; status=1; }
        cmp -s "$OUT/whole-0.ppm" "$OUT/budget-0.ppm" || { result="$result, pixels DIFFER"; status=1; }
        printf '%-20s %8s %10s %10s %s\n' "$name" "$budget" "$peak" "$bound" "$result"
    done
done
rm -f "$OUT"/whole-0.ppm "$OUT"/budget-0.ppm
exit $status
