#!/usr/bin/env python3
"""Writes examples/example.png: a small colourful picture (sky gradient, sun, hills, stripes)
drawn pixel by pixel, so the program has something real to convert out of the box."""
import math
import struct
import sys
import zlib

WIDTH, HEIGHT = 160, 120


def pixel(x, y):
    # Sky: from deep blue at the top to orange at the horizon.
    t = y / (HEIGHT * 0.7)
    r, g, b = int(30 + 225 * t), int(60 + 110 * t), int(160 - 110 * t)
    # Sun.
    if (x - 110) ** 2 + (y - 55) ** 2 < 18 ** 2:
        r, g, b = 255, 220, 60
    # Two hills.
    if y > 84 + 12 * math.sin(x / 17.0) or y > 98 + 6 * math.cos(x / 9.0):
        shade = (x * 3 + y * 5) % 40
        r, g, b = 40 + shade, 120 + shade, 50
    # A row of coloured stripes at the bottom.
    if y >= HEIGHT - 8:
        r, g, b = [(230, 40, 40), (250, 200, 30), (40, 170, 80), (40, 90, 220)][(x // 10) % 4]
    return bytes((min(r, 255), min(g, 255), max(b, 0)))


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def main(path):
    raw = b"".join(b"\0" + b"".join(pixel(x, y) for x in range(WIDTH)) for y in range(HEIGHT))
    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", WIDTH, HEIGHT, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(raw, 9))
    png += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "examples/example.png")
