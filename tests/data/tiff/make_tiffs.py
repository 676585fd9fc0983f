#!/usr/bin/env python3
"""Makes the TIFF files that tiff_test.cpp decodes, with public tools, and their references.

Usage: make_tiffs.py OUT_DIR
       make_tiffs.py --large FILE WIDTH HEIGHT
Sources are drawn with Pillow from a fixed seed; variants are made with libtiff's tiffcp and
tiffset, ImageMagick and Pillow. Each NAME.tif gets NAME.tif.pam, the RGB decode of libtiff's
tiff2rgba (read back with Pillow), turned by Pillow for files with an orientation tag. Files
that libtiff cannot decode (refusal cases) get no reference. Exits 77 when a tool is missing.
"""
import os
import shutil
import struct
import subprocess
import sys

try:
    import numpy as np
    from PIL import Image
except ImportError:
    sys.exit(77)

TOOLS = ['tiffcp', 'tiffset', 'tiff2rgba', 'fax2tiff']
if any(shutil.which(t) is None for t in TOOLS) or not os.path.exists('/usr/bin/convert'):
    sys.exit(77)


def write_grey_strip(name, w, h, compression, size, rows):
    """A TIFF of one strip of 8-bit grey: `size` bytes, written as the byte strings of rows."""
    entries = [(256, 4, w), (257, 4, h), (258, 3, 8), (259, 3, compression), (262, 3, 1),
               (273, 4, 8), (277, 3, 1), (278, 4, h), (279, 4, size)]
    with open(name, 'wb') as f:
        f.write(b'II*\0' + struct.pack('<I', 8 + size + (size & 1)))
        for row in rows:
            f.write(row)
        f.write(b'\0' * (size & 1) + struct.pack('<H', len(entries)))
        for tag, kind, value in entries:  # a short value is left-justified in its field
            f.write(struct.pack('<HHII', tag, kind, 1, value))
        f.write(struct.pack('<I', 0))


if sys.argv[1] == '--large':
    # Grey level (x + 3y + ((x ^ y) & 31)) mod 256, in LZW strips of one row.
    name, w, h = sys.argv[2], int(sys.argv[3]), int(sys.argv[4])
    x = np.arange(w, dtype=np.uint32)
    write_grey_strip(name + '.flat.tif', w, h, 1, w * h,
                     (((x + 3 * y + ((x ^ y) & 31)) & 255).astype(np.uint8).tobytes()
                      for y in range(h)))
    subprocess.run(['tiffcp', '-c', 'lzw', '-r', '1', name + '.flat.tif', name], check=True)
    os.remove(name + '.flat.tif')
    sys.exit(0)

out = sys.argv[1]
os.makedirs(out, exist_ok=True)
rng = np.random.default_rng(20261207)
W, H = 61, 43  # neither is a multiple of 16: tiles and strips have partial edges


def path(name):
    return os.path.join(out, name)


def run(*args):
    subprocess.run(args, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def photo(w=W, h=H):
    y, x = np.mgrid[0:h, 0:w]
    rgb = np.stack([x * 255 // w, y * 255 // h, (x * y) % 256], axis=2)
    rgb = rgb + rng.integers(-20, 21, size=rgb.shape)
    return np.clip(rgb, 0, 255).astype(np.uint8)


def save(name, array, mode, **options):
    Image.fromarray(array, mode).save(path(name), **options)


# Sources, uncompressed.
rgb = photo()
save('rgb.tif', rgb, 'RGB')
save('grey.tif', rgb[:, :, 1].copy(), 'L')
save('rgb64x48.tif', photo(64, 48), 'RGB')
save('bilevel.tif', (rgb[:, :, 0] > rgb[:, :, 2]).astype(np.uint8) * 255, 'L')
Image.open(path('bilevel.tif')).convert('1').save(path('bilevel.tif'))
save('rgba.tif', np.dstack([rgb, np.full((H, W), 255, np.uint8)]), 'RGBA')
save('grey16.tif', rgb[:, :, 0].astype(np.uint16) * 257, 'I;16')
palette_image = Image.fromarray(rgb).quantize(colors=200)
palette_image.save(path('palette8.tif'))
Image.fromarray(rgb).quantize(colors=16).save(path('palette16.tif'))
run('/usr/bin/convert', path('palette16.tif'), '-depth', '4', path('palette4.tif'))
run('/usr/bin/convert', path('grey.tif'), '-depth', '4', path('grey4.tif'))
run('/usr/bin/convert', path('rgb.tif'), '-depth', '16', path('rgb48.tif'))
run('/usr/bin/convert', path('rgb.tif'), '-colorspace', 'CMYK', path('cmyk.tif'))

variants = [
    # name, source, tiffcp options
    ('be.tif', 'rgb.tif', ['-B']),
    ('packbits.tif', 'rgb.tif', ['-c', 'packbits', '-r', '5']),
    ('lzw.tif', 'rgb.tif', ['-c', 'lzw', '-r', '7']),
    ('lzw-one-row.tif', 'rgb.tif', ['-c', 'lzw', '-r', '1']),
    ('lzw-one-strip.tif', 'rgb.tif', ['-c', 'lzw', '-r', '1000']),
    ('lzw-predictor.tif', 'rgb.tif', ['-c', 'lzw:2', '-r', '9']),
    ('lzw-predictor-be.tif', 'rgb.tif', ['-B', '-c', 'lzw:2']),
    ('lzw-planar.tif', 'rgb.tif', ['-c', 'lzw:2', '-p', 'separate', '-r', '4']),
    ('rgb48-lzw.tif', 'rgb48.tif', ['-c', 'lzw:2']),
    ('rgb48-be.tif', 'rgb48.tif', ['-B']),
    ('rgba-lzw.tif', 'rgba.tif', ['-c', 'lzw']),
    ('cmyk-packbits.tif', 'cmyk.tif', ['-c', 'packbits']),
    ('tiles.tif', 'rgb.tif', ['-t', '-w', '16', '-l', '32']),
    ('tiles-lzw.tif', 'rgb.tif', ['-t', '-w', '32', '-l', '16', '-c', 'lzw:2']),
    ('tiles-planar.tif', 'rgb.tif', ['-t', '-w', '16', '-l', '16', '-p', 'separate']),
    ('tiles-exact-packbits.tif', 'rgb64x48.tif', ['-t', '-w', '32', '-l', '16', '-c', 'packbits']),
    ('tiles-grey-packbits.tif', 'grey.tif', ['-t', '-w', '48', '-l', '48', '-c', 'packbits']),
    ('grey-lzw.tif', 'grey.tif', ['-c', 'lzw:2', '-r', '3']),
    ('grey4-packbits.tif', 'grey4.tif', ['-c', 'packbits']),
    ('palette4-lzw.tif', 'palette4.tif', ['-c', 'lzw']),
    ('palette8-packbits.tif', 'palette8.tif', ['-c', 'packbits', '-r', '2']),
    ('bilevel-packbits.tif', 'bilevel.tif', ['-c', 'packbits']),
    ('bilevel-lsb.tif', 'bilevel.tif', ['-f', 'lsb2msb']),
    ('g4.tif', 'bilevel.tif', ['-c', 'g4', '-r', '10']),
    ('g4-one-strip.tif', 'bilevel.tif', ['-c', 'g4']),
    ('g4-lsb.tif', 'bilevel.tif', ['-c', 'g4', '-f', 'lsb2msb']),
    ('g4-tiles.tif', 'bilevel.tif', ['-c', 'g4', '-t', '-w', '32', '-l', '16']),
    ('g3.tif', 'bilevel.tif', ['-c', 'g3']),
    ('jpeg.tif', 'rgb.tif', ['-c', 'jpeg']),
]
for name, source, options in variants:
    run('tiffcp', *options, path(source), path(name))
run('tiffcp', path('rgb.tif'), path('grey.tif'), path('multipage.tif'))

# Interpretations set afterwards with tiffset.
for name, source, tags in [('bilevel-white.tif', 'bilevel.tif', [['262', '0']]),
                           ('g4-black-is-zero.tif', 'g4.tif', [['262', '1']]),
                           ('ycbcr.tif', 'rgb.tif', [['262', '6'], ['530', '1', '1']]),
                           ('ycbcr-subsampled.tif', 'rgb.tif', [['262', '6']]),
                           ('reduced.tif', 'rgb.tif', [['254', '1']])]:
    shutil.copy(path(source), path(name))
    for tag in tags:
        run('tiffset', '-s', *tag, path(name))

# LZW whose table fills up without a clear code (libtiff's writer always clears): coded here,
# its reference made from the grey levels themselves.
def lzw_without_clear(data):
    bits, count, out = 0, 0, bytearray()
    width, decoder_last, first = 9, 257, True

    def emit(code):
        nonlocal bits, count, width, decoder_last, first
        bits, count = bits << width | code, count + width
        while count >= 8:
            count -= 8
            out.append(bits >> count & 255)
        if code in (256, 257):
            return
        # The decoder adds an entry for every code but the first, and widens early.
        if not first:
            decoder_last = min(decoder_last + 1, 4095)
        first = False
        if decoder_last >= (1 << width) - 2 and width < 12:
            width += 1

    table = {bytes([i]): i for i in range(256)}
    emit(256)
    w = b''
    for b in data:
        wc = w + bytes([b])
        if wc in table:
            w = wc
            continue
        emit(table[w])
        if len(table) + 2 < 4096:
            table[wc] = len(table) + 2
        w = bytes([b])
    emit(table[w])
    emit(257)
    if count:
        out.append(bits << (8 - count) & 255)
    return bytes(out)


grey_levels = (rng.integers(0, 6, size=(100, 200)) * 40 + 10).astype(np.uint8)
coded = lzw_without_clear(grey_levels.tobytes())
write_grey_strip(path('lzw-no-clear.tif'), 200, 100, 5, len(coded), [coded])
no_clear_reference = np.repeat(grey_levels[:, :, None], 3, axis=2)

# Orientations, on strips, tiles and Group 4 strips.
oriented = []
for source in ['lzw.tif', 'tiles-lzw.tif', 'g4.tif']:
    for o in range(2, 9):
        name = '%s-o%d.tif' % (source[:-4], o)
        shutil.copy(path(source), path(name))
        run('tiffset', '-s', '274', str(o), path(name))
        oriented.append((name, o))

def write_pam(name, picture):
    w, h = picture.size
    with open(path(name + '.pam'), 'wb') as f:
        f.write(b'P7\nWIDTH %d\nHEIGHT %d\nDEPTH 3\nMAXVAL 255\nTUPLTYPE RGB\nENDHDR\n' % (w, h))
        f.write(picture.tobytes())


# References: tiff2rgba of the rows as stored, then the orientation applied by Pillow.
TURN = {2: Image.FLIP_LEFT_RIGHT, 3: Image.ROTATE_180, 4: Image.FLIP_TOP_BOTTOM,
        5: Image.TRANSPOSE, 6: Image.ROTATE_270, 7: Image.TRANSVERSE, 8: Image.ROTATE_90}
orientation_of = dict(oriented)
for name in sorted(os.listdir(out)):
    if not name.endswith('.tif'):
        continue
    stored = path(name + '.stored.tif')
    if name == 'lzw-no-clear.tif':
        write_pam(name, Image.fromarray(no_clear_reference))
        continue
    if subprocess.run(['tiff2rgba', '-c', 'none', path(name), stored],
                      stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode != 0:
        continue
    # The rows as stored, read from a copy without the orientation tag.
    o = orientation_of.get(name, 1)
    if o != 1:
        shutil.copy(path(name), stored + '.flat.tif')
        run('tiffset', '-s', '274', '1', stored + '.flat.tif')
        run('tiff2rgba', '-c', 'none', stored + '.flat.tif', stored)
        os.remove(stored + '.flat.tif')
    run('tiffset', '-s', '266', '1', stored)  # tiff2rgba copies the fill order tag
    picture = Image.open(stored).convert('RGB')
    if o != 1:
        picture = picture.transpose(TURN[o])
    os.remove(stored)
    write_pam(name, picture)
