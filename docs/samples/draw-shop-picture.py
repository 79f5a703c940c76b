#!/usr/bin/env python3
"""Draws docs/samples/shop.png, the colour picture the README converts into a
logo: a shop front with a striped awning under an evening sky, with soft
shading so that the dithering has greys to show. Only the standard library.

    python3 docs/samples/draw-shop-picture.py docs/samples/shop.png
"""
import math
import struct
import sys
import zlib

W, H = 480, 300


def mix(a, b, t):
    return tuple(round(x + (y - x) * t) for x, y in zip(a, b))


def pixel(x, y):
    # Sky: light blue at the top to pale orange at the horizon.
    sky = mix((120, 160, 225), (255, 205, 150), y / H)
    colour = sky
    # The sun, a soft disc behind the shop.
    d = math.hypot(x - 360, y - 110)
    if d < 60:
        colour = mix((255, 230, 120), sky, max(0.0, (d - 40) / 20))
    # The ground.
    if y >= 250:
        colour = mix((130, 190, 100), (70, 130, 60), (y - 250) / 50)
    # The shop's walls, shaded from left to right.
    if 80 <= x < 400 and 120 <= y < 250:
        colour = mix((235, 225, 200), (170, 150, 120), (x - 80) / 320)
        # Window and door.
        if 110 <= x < 230 and 150 <= y < 220:
            colour = mix((150, 200, 230), (60, 110, 160), (y - 150) / 70)
        if 280 <= x < 340 and 160 <= y < 250:
            colour = (120, 70, 40)
    # The awning: red and white stripes with scalloped ends.
    if 70 <= x < 410 and 95 <= y < 125:
        stripe = ((x - 70) // 20) % 2
        colour = (200, 30, 40) if stripe == 0 else (250, 250, 245)
    if 70 <= x < 410 and 125 <= y < 135:
        cx = 70 + ((x - 70) // 20) * 20 + 10
        if math.hypot(x - cx, y - 125) < 10:
            stripe = ((x - 70) // 20) % 2
            colour = (200, 30, 40) if stripe == 0 else (250, 250, 245)
    # The roof.
    if 60 <= x < 420 and 80 <= y < 95:
        colour = (60, 50, 50)
    return colour


def png(width, height, rows):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    raw = b"".join(b"\0" + bytes(v for p in row for v in p) for row in rows)
    return (b"\x89PNG\r\n\x1a\n" +
            chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


if __name__ == "__main__":
    rows = [[pixel(x, y) for x in range(W)] for y in range(H)]
    with open(sys.argv[1] if len(sys.argv) > 1 else "shop.png", "wb") as out:
        out.write(png(W, H, rows))
