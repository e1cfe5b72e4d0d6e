#!/usr/bin/env python3
"""Draws the example character's art (a round blob) as RGBA PNGs and a short
WAV, with the standard library only. Run it in this folder to regenerate."""
import math, struct, zlib

def png(path, w, h, pixel):
    rows = b''.join(b'\0' + b''.join(bytes(pixel(x, y)) for x in range(w)) for y in range(h))
    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))
    with open(path, 'wb') as f:
        f.write(b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', w, h, 8, 6, 0, 0, 0))
                + chunk(b'IDAT', zlib.compress(rows, 9)) + chunk(b'IEND', b''))

CLEAR = (0, 0, 0, 0)

def body(x, y):
    d = math.hypot(x - 15.5, y - 17.5)
    if d > 13: return CLEAR
    if d > 12: return (20, 60, 20, 255)
    return (90, 200 - y * 2, 90, 255)

def eyes(closed):
    def f(x, y):
        for cx in (11, 20):
            if closed and abs(x - cx) <= 2 and y == 13: return (20, 40, 20, 255)
            if not closed and math.hypot(x - cx, y - 13) <= 2: return (255, 255, 255, 255)
        return CLEAR
    return f

def mouth(open_rows):
    def f(x, y):
        if y < open_rows and 1 <= x <= 8: return (120, 20, 30, 255)
        return CLEAR
    return f

png('body.png', 32, 32, body)
png('eyes-open.png', 32, 32, eyes(False))
png('eyes-closed.png', 32, 32, eyes(True))
for name, rows in (('mouth-closed', 1), ('mouth-narrow', 2), ('mouth-medium', 3), ('mouth-wide', 5)):
    png(name + '.png', 10, 5, mouth(rows))

rate = 11025
samples = [int(6000 * math.sin(2 * math.pi * 660 * i / rate) * (1 - i / 2000)) for i in range(2000)]
data = struct.pack('<%dh' % len(samples), *samples)
with open('pop.wav', 'wb') as f:
    f.write(b'RIFF' + struct.pack('<I', 36 + len(data)) + b'WAVEfmt '
            + struct.pack('<IHHIIHH', 16, 1, 1, rate, rate * 2, 2, 16) + b'data'
            + struct.pack('<I', len(data)) + data)
