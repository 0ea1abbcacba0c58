#!/usr/bin/python3
"""Writes the interface's small source images beside this script (run by hand after a
change; a test runs it again into a private folder and compares the bytes):

  frame.tga  32 x 32 bevelled frame: 8-pixel borders, light on the top and left, dark on the
             bottom and right, a dark body; drawn as a nine-patch with 8-pixel borders
  tile.tga   16 x 16 tile in two tones, for tiled nine-patch edges and centres

Both are 32-bit uncompressed TGA files with the bottom row first and a TXID block asking for
clamping, nearest filtering without mips and texture class 1 (four 8-bit channels).

usage: make_ui_textures.py [FOLDER]   (default: this script's folder)
"""
import os
import struct
import sys

# Image-ID field: tag, version 1, wrap 0, filter 0, parameters 0 0 4, class 1, no colour key.
TXID = b"TXID" + bytes([1, 0, 0, 0, 0, 4, 1, 0, 0, 0, 0])


def tga(width, height, pixel):
    """pixel(x, y) -> (r, g, b, a) with y = 0 the bottom row."""
    header = struct.pack("<BBBHHBHHHHBB", len(TXID), 0, 2, 0, 0, 0, 0, 0, width, height, 32, 8)
    rows = bytearray()
    for y in range(height):
        for x in range(width):
            r, g, b, a = pixel(x, y)
            rows += bytes((b, g, r, a))
    return header + TXID + bytes(rows)


def frame(x, y):
    border = 8
    depth = min(x, y, 31 - x, 31 - y)  # distance from the outer edge
    if depth >= border:
        return (40, 44, 60, 235)
    # The top and left bevels catch the light, the bottom and right ones fall into shade.
    lit = (31 - y) <= min(x, 31 - x, y) or (x <= min(31 - y, y) and x < 31 - x)
    shade = 150 + 10 * (border - depth) if lit else 70 - 5 * (border - depth)
    edge = depth == 0 or depth == border - 1
    if edge:
        shade //= 2
    return (shade, shade, min(255, shade + 20), 255)


def tile(x, y):
    light = ((x // 4) + (y // 4)) % 2 == 0
    return (96, 88, 72, 255) if light else (72, 66, 54, 255)


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    for name, data in (("frame.tga", tga(32, 32, frame)), ("tile.tga", tga(16, 16, tile))):
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
