#!/usr/bin/env python3
"""Writes the inputs and the zlib streams that inflate_test.cpp decodes.

Inputs are made from a fixed seed; every input is compressed by the zlib of Python at
every level, with each strategy, and with small windows. Run from this folder:
    python3 make_streams.py
streams.bin holds records: u16 name length, name ("input/level/strategy/wbits"),
u32 stream length, stream bytes (lengths little-endian).
"""
import random
import struct
import zlib

rng = random.Random(20261206)


def text(n):
    words = [''.join(rng.choice('etaoinshrdlucmfwyp') for _ in range(rng.randint(1, 9)))
             for _ in range(400)]
    out = ''
    while len(out) < n:
        out += rng.choice(words) + ' '
    return out[:-1].encode()[:n]


def noise(n):
    return bytes(rng.getrandbits(8) for _ in range(n))


def runs(n):
    out = bytearray()
    while len(out) < n:
        out += bytes([rng.getrandbits(8)]) * rng.choice([1, 3, 40, 258, 259, 600, 1000])
    return bytes(out[:n])


def picture(width, height):
    # RGB rows of a smooth gradient with noise, filtered like PNG rows (Sub), as PNG sees them.
    out = bytearray()
    for y in range(height):
        out.append(1)
        prev = [0, 0, 0]
        for x in range(width):
            px = [(x * 3 + y) & 255, (x + y * 2) & 255, (x ^ y) & 255]
            if rng.random() < 0.05:
                px[rng.randrange(3)] ^= rng.getrandbits(3)
            out += bytes((px[c] - prev[c]) & 255 for c in range(3))
            prev = px
    return bytes(out)


def far():
    # The same block again about 30,000 bytes later, so copies reach far back.
    block = noise(1500)
    return block + text(29000) + block + text(2000)


inputs = {
    'empty': b'',
    'text': text(32768),
    'noise': noise(4096),
    'runs': runs(16384),
    'picture': picture(96, 64),
    'far': far(),
}
strategies = {
    'default': zlib.Z_DEFAULT_STRATEGY,
    'filtered': zlib.Z_FILTERED,
    'huffman': zlib.Z_HUFFMAN_ONLY,
    'rle': zlib.Z_RLE,
    'fixed': zlib.Z_FIXED,
}


def compress(data, level, strategy, wbits):
    c = zlib.compressobj(level, zlib.DEFLATED, wbits, 9, strategies[strategy])
    return c.compress(data) + c.flush()


records = []
for name, data in inputs.items():
    with open(name + '.bin', 'wb') as f:
        f.write(data)
    settings = [(level, strategy, 15) for level in range(10) for strategy in strategies
                if strategy == 'default' or level in (1, 6, 9)]
    if name in ('text', 'far', 'picture'):
        settings += [(9, 'default', wbits) for wbits in range(9, 15)]
    for level, strategy, wbits in settings:
        records.append((f'{name}/{level}/{strategy}/{wbits}', compress(data, level, strategy, wbits)))

with open('streams.bin', 'wb') as f:
    for name, stream in records:
        assert zlib.decompress(stream) == inputs[name.split('/')[0]]
        f.write(struct.pack('<H', len(name)) + name.encode())
        f.write(struct.pack('<I', len(stream)) + stream)
print(len(records), 'streams')
