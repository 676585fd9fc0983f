#!/usr/bin/env python3
"""Writes a TIFF for the first-paint benchmark: a picture whose decoding is real work, with five
squares of one colour where the benchmark probes the screen once the picture is fitted.

Usage: make_bench_tiff.py lzw|g4 WIDTH HEIGHT OUT
  lzw: RGB, a noisy photo-like gradient, LZW strips of one row, squares of 3C78B4.
  g4:  bilevel lines of text-like marks, one Group 4 strip, black squares in white rings.
Rows are written one at a time to an uncompressed file that tiffcp then compresses, so the
size of the picture does not matter.
"""
import os
import struct
import subprocess
import sys

import numpy as np

kind, width, height, out = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4]
# Centres of the squares, as fractions of the width and height; their side is 1/8 of the
# smaller dimension.
CENTRES = [(0.5, 0.5), (0.3, 0.3), (0.7, 0.3), (0.3, 0.7), (0.7, 0.7)]
side = min(width, height) // 8
boxes = [(int(cx * width) - side // 2, int(cy * height) - side // 2) for cx, cy in CENTRES]
rng = np.random.default_rng(7)
x = np.arange(width)


def rgb_row(y):
    noise = rng.integers(0, 12, size=width)
    row = np.empty((width, 3), np.uint8)
    row[:, 0] = (x * 255 // width + noise) & 255
    row[:, 1] = (y * 255 // height + noise) & 255
    row[:, 2] = ((x // 97 + y // 89) * 37 + noise) & 255
    for bx, by in boxes:
        if by <= y < by + side:
            row[bx:bx + side] = (0x3C, 0x78, 0xB4)
    return row.tobytes()


marks = {}


def bilevel_row(y):
    band, line = divmod(y, 60)
    if band not in marks:
        r = np.random.default_rng(band)
        starts = np.cumsum(r.integers(10, 40, size=width // 10))
        marks[band] = [(s, s + w, t) for s, w, t in
                       zip(starts, r.integers(4, 24, size=len(starts)), r.integers(0, 25, size=len(starts)))
                       if s + 24 < width]
    row = np.zeros(width, np.uint8)
    if line < 40:
        for a, b, top in marks[band]:
            if line >= top:
                row[a:b] = 1
    # Black squares in white rings a quarter of their side wide: an empty screen is black too,
    # so the rings tell a painted page from none.
    ring = side // 4
    for bx, by in boxes:
        if by - ring <= y < by + side + ring:
            row[max(bx - ring, 0):bx + side + ring] = 0
        if by <= y < by + side:
            row[bx:bx + side] = 1
    return np.packbits(row).tobytes()


samples, bits, photometric = (3, 8, 2) if kind == 'lzw' else (1, 1, 0)
row_bytes = width * 3 if kind == 'lzw' else (width + 7) // 8
flat = out + '.flat.tif'
entries = [(256, 4, width), (257, 4, height), (258, 3, bits), (259, 3, 1), (262, 3, photometric),
           (273, 4, 8), (277, 3, samples), (278, 4, height), (279, 4, row_bytes * height)]
with open(flat, 'wb') as f:
    f.write(b'II*\0' + struct.pack('<I', 8 + row_bytes * height))
    for y in range(height):
        f.write(rgb_row(y) if kind == 'lzw' else bilevel_row(y))
    f.write(struct.pack('<H', len(entries)))
    for tag, type_, value in entries:
        f.write(struct.pack('<HHII', tag, type_, 1, value) if type_ == 4 else
                struct.pack('<HHIHH', tag, type_, 1, value, 0))
    f.write(struct.pack('<I', 0))
options = ['-c', 'lzw', '-r', '1'] if kind == 'lzw' else ['-c', 'g4', '-r', str(height)]
subprocess.run(['tiffcp'] + options + [flat, out], check=True)
os.remove(flat)
