#!/usr/bin/env python3
"""Draws the application icon (PNG, and an ICO holding the same PNG).

Run it only when the icon changes; the results are committed under
resources/icons, with the desktop theme's sizes under resources/icons/hicolor.
"""
import struct
import sys
import zlib
from pathlib import Path

SIZE = 256
SAMPLES = 4  # supersampling per axis for smooth edges


def rounded_rect(x0, y0, x1, y1, r):
    def inside(x, y):
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return inside


# Back to front: a blue tile, three stacked sheets, an orange band on the top sheet.
SHAPES = [
    (rounded_rect(8, 8, 248, 248, 44), (37, 99, 235, 255)),
    (rounded_rect(92, 40, 212, 184, 10), (191, 210, 250, 255)),
    (rounded_rect(68, 56, 188, 200, 10), (226, 234, 252, 255)),
    (rounded_rect(44, 72, 164, 216, 10), (255, 255, 255, 255)),
    (rounded_rect(60, 96, 148, 112, 4), (249, 115, 22, 255)),
    (rounded_rect(60, 128, 148, 138, 4), (148, 163, 184, 255)),
    (rounded_rect(60, 152, 148, 162, 4), (148, 163, 184, 255)),
    (rounded_rect(60, 176, 124, 186, 4), (148, 163, 184, 255)),
]


def pixel(px, py, scale=1.0):
    acc = [0.0, 0.0, 0.0, 0.0]
    for sy in range(SAMPLES):
        for sx in range(SAMPLES):
            x = (px + (sx + 0.5) / SAMPLES) * scale
            y = (py + (sy + 0.5) / SAMPLES) * scale
            colour = (0, 0, 0, 0)
            for inside, c in SHAPES:
                if inside(x, y):
                    colour = c
            for i in range(4):
                acc[i] += colour[i]
    n = SAMPLES * SAMPLES
    return bytes(int(round(a / n)) for a in acc)


def png_bytes(size=SIZE):
    scale = SIZE / size  # the shapes are drawn on a 256 grid
    rows = b"".join(b"\x00" + b"".join(pixel(x, y, scale) for x in range(size)) for y in range(size))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
            + chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))


def ico_bytes(png):
    # One 256 x 256 entry stored as PNG (width and height 0 mean 256).
    header = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", 0, 0, 0, 0, 1, 32, len(png), 6 + 16)
    return header + entry + png


def main():
    out = Path(sys.argv[1] if len(sys.argv) > 1 else "resources/icons")
    png = png_bytes()
    (out / "app_icon.png").write_bytes(png)
    (out / "app_icon.ico").write_bytes(ico_bytes(png))
    for size in (16, 24, 32, 48, 64, 128, 256):
        folder = out / "hicolor" / f"{size}x{size}" / "apps"
        folder.mkdir(parents=True, exist_ok=True)
        (folder / "quorvalent-dunmarrow.png").write_bytes(png if size == SIZE else png_bytes(size))


if __name__ == "__main__":
    main()
