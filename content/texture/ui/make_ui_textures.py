#!/usr/bin/python3
"""Writes the interface's small source images beside this script (run by hand after a
change; a test runs it again into a private folder and compares the bytes):

  frame.tga  32 x 32 bevelled frame: 8-pixel borders, light on the top and left, dark on the
             bottom and right, a dark body; drawn as a nine-patch with 8-pixel borders
  tile.tga   16 x 16 tile in two tones, for tiled nine-patch edges and centres

and the widget skin (IMAGES below lists each with its size; nine-patch borders in brackets):

  title.tga            64 x 16 title strip, a vertical gradient with a light top line [4]
  button.tga           32 x 32 raised button: light bevel top-left, shade bottom-right [6]
  button_hover.tga     32 x 32 the same, brighter
  button_pressed.tga   32 x 32 sunken: the bevel swapped, the body darker
  field.tga            16 x 16 sunken text-field background with a 2-pixel rim [4]
  toggle_off.tga       16 x 16 empty check box
  toggle_on.tga        16 x 16 check box with a tick
  slider_track.tga     32 x 8 groove [3]
  slider_knob.tga      16 x 16 knob with a grip line (every image has power-of-two sides)
  arrow_up.tga         16 x 16 scroll arrow pointing up
  arrow_down.tga       16 x 16 scroll arrow pointing down

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


def title(x, y):
    if y == 15:
        return (200, 190, 140, 255)
    v = 60 + 5 * y
    return (v + 30, v + 10, v - 20, 255)


def bevel(size, border, light, dark, body, sunken=False):
    """A square of size pixels: a bevel `border` wide lit on the top and left (or, sunken,
    on the bottom and right), a one-pixel dark outline, and a flat body."""
    def pixel(x, y):
        top = size - 1 - y
        depth = min(x, y, size - 1 - x, top)
        if depth == 0:
            return (16, 16, 20, 255)
        if depth >= border:
            return body + (255,)
        lit = top <= min(x, size - 1 - x, y) or (x <= min(top, y) and x < size - 1 - x)
        if sunken:
            lit = not lit
        return (light if lit else dark) + (255,)
    return pixel


def toggle(checked):
    def pixel(x, y):
        depth = min(x, y, 15 - x, 15 - y)
        if depth == 0:
            return (20, 20, 24, 255)
        if depth == 1:
            return (150, 150, 160, 255)
        # The tick: a short stroke down to (6, 4) and a long one up to (12, 11).
        if checked and ((x <= 6 and abs((y - 4) - (6 - x)) <= 1 and x >= 3)
                        or (x >= 6 and abs((y - 4) - (x - 6)) <= 1 and x <= 12)):
            return (90, 220, 110, 255)
        return (30, 34, 44, 255)
    return pixel


def slider_track(x, y):
    depth = min(x, y, 31 - x, 7 - y)
    if depth == 0:
        return (20, 20, 24, 255)
    return (50, 52, 62, 255) if depth < 3 else (24, 26, 32, 255)


def slider_knob(x, y):
    depth = min(x, y, 15 - x, 15 - y)
    if depth == 0:
        return (16, 16, 20, 255)
    if x in (7, 8) and 4 <= y <= 11:
        return (90, 90, 100, 255)
    return (190, 180, 150, 255) if depth == 1 else (150, 140, 110, 255)


def arrow(up):
    def pixel(x, y):
        depth = min(x, y, 15 - x, 15 - y)
        if depth == 0:
            return (16, 16, 20, 255)
        row = y - 4 if up else 11 - y  # 0 at the triangle's base
        if 0 <= row <= 7 and abs(x - 7.5) <= 7 - row:
            return (220, 210, 170, 255)
        return (60, 64, 80, 255)
    return pixel


IMAGES = (
    ("frame.tga", 32, 32, frame),
    ("tile.tga", 16, 16, tile),
    ("title.tga", 64, 16, title),
    ("button.tga", 32, 32, bevel(32, 6, (170, 160, 130), (70, 64, 52), (110, 100, 80))),
    ("button_hover.tga", 32, 32, bevel(32, 6, (210, 200, 160), (90, 84, 70), (140, 128, 100))),
    ("button_pressed.tga", 32, 32, bevel(32, 6, (170, 160, 130), (60, 54, 44), (84, 76, 60), True)),
    ("field.tga", 16, 16, bevel(16, 2, (150, 150, 160), (30, 30, 36), (20, 22, 30), True)),
    ("toggle_off.tga", 16, 16, toggle(False)),
    ("toggle_on.tga", 16, 16, toggle(True)),
    ("slider_track.tga", 32, 8, slider_track),
    ("slider_knob.tga", 16, 16, slider_knob),
    ("arrow_up.tga", 16, 16, arrow(True)),
    ("arrow_down.tga", 16, 16, arrow(False)),
)


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    for name, width, height, pixel in IMAGES:
        with open(os.path.join(folder, name), "wb") as f:
            f.write(tga(width, height, pixel))


if __name__ == "__main__":
    main()
