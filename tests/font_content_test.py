#!/usr/bin/python3
"""Checks the demo fonts and fontbuild from the outside.

Font entries are read with a reader written here from the font entry's layout (numpy record
types), archives with archive_reader.py, atlases with PIL. Every glyph of every font listed in
content/font/fonts.txt is compared with FreeType (python3-freetype) rasterising the same face
at the same size: advance, bitmap size and bearings, and the atlas pixels under the glyph's
texture rectangle against its bitmap, exactly. Layout widths of a table of strings (measured
by the client's layout through tests/text_measure) equal the summed FreeType advances.
fontbuild runs twice to the same bytes and fails cleanly; the locale maps both font keys; the
interface images are what make_ui_textures.py writes.

usage: font_content_test.py BUILD_DIR SOURCE_DIR DEJAVU_DIR
"""
import os
import struct
import subprocess
import sys
import unittest

import numpy as np

import archive_reader
from archive_reader import read_archive, slurp
from checks import private_folder

try:
    import freetype
except ImportError:
    freetype = None
try:
    from PIL import Image
except ImportError:
    Image = None

BUILD = SOURCE = DEJAVU = None
REQUIRED = os.environ.get("CI") == "true"

HEADER = np.dtype([("atlas", "<u4"), ("space_advance", "<i4"), ("space_height", "<i4"), ("line_height", "<i4"),
                   ("divisor", "<u4"), ("count", "<u4")])
GLYPH = np.dtype([("code_point", "<u4"), ("cell_x", "<i4"), ("cell_y", "<i4"), ("width", "<i4"), ("height", "<i4"),
                  ("x_offset", "<i4"), ("y_offset", "<i4"), ("advance", "<i4"), ("uv", "<f4", (4, 2))])


def read_font(blob):
    header = np.frombuffer(blob, HEADER, 1)[0]
    assert len(blob) == HEADER.itemsize + GLYPH.itemsize * int(header["count"]), "font entry size"
    return header, np.frombuffer(blob, GLYPH, int(header["count"]), HEADER.itemsize)


def font_lines():
    with open(os.path.join(SOURCE, "content/font/fonts.txt")) as f:
        for line in f:
            fields = line.split()
            if fields and not fields[0].startswith("#"):
                font_id, face, size, atlas, ranges = fields
                yield int(font_id), face, int(size), int(atlas), ranges


def code_points(ranges):
    out = []
    for part in ranges.split(","):
        first, _, last = part.partition("-")
        out += range(int(first, 0), int(last or first, 0) + 1)
    return sorted(set(out))


def pixels(value):
    return (value + 32) >> 6


def run(*args, check=True):
    p = subprocess.run([str(a) for a in args], capture_output=True, text=True, timeout=240)
    if check and p.returncode != 0:
        raise AssertionError("%s failed (%d): %s" % (args[0], p.returncode, p.stderr))
    return p


class FontContent(unittest.TestCase):
    def setUp(self):
        missing = [name for name, module in (("python3-freetype", freetype), ("PIL", Image)) if module is None]
        if missing:
            if REQUIRED:
                self.fail("missing: " + ", ".join(missing))
            self.skipTest("missing: " + ", ".join(missing))
        self.fonts = read_archive(os.path.join(BUILD, "assets/font.dat"))
        self.textures = read_archive(os.path.join(BUILD, "assets/texture.dat"))
        self.fontbuild = os.path.join(BUILD, "tools/fontbuild")
        self.dir = private_folder("font_content_")

    def face(self, name, size):
        face = freetype.Face(os.path.join(DEJAVU, name))
        face.set_pixel_sizes(0, size)
        return face

    def atlas(self, atlas_id):
        blob = self.textures[atlas_id]
        id_length, _, image_type = blob[0], blob[1], blob[2]
        width, height, depth, descriptor = struct.unpack_from("<HHBB", blob, 12)
        self.assertEqual((image_type, depth, descriptor & 0x20), (2, 32, 0), "32-bit, bottom-left origin")
        # TXID: clamp, nearest without mips, texture class 1.
        txid = blob[18:18 + id_length]
        self.assertEqual((txid[:5], txid[5], txid[6], txid[10]), (b"TXID\x01", 0, 0, 1))
        for side in (width, height):
            self.assertTrue(side & (side - 1) == 0 and side <= 1024, "power of two up to 1024")
        path = os.path.join(self.dir, "%d.tga" % atlas_id)
        with open(path, "wb") as f:
            f.write(blob)
        rgba = np.asarray(Image.open(path).convert("RGBA"))  # top row first
        return rgba

    def test_every_glyph_matches_freetype(self):
        for font_id, face_name, size, atlas_id, ranges in font_lines():
            with self.subTest(font=font_id):
                header, glyphs = read_font(self.fonts[font_id])
                face = self.face(face_name, size)
                self.assertEqual(int(header["atlas"]), atlas_id)
                self.assertEqual(int(header["divisor"]), 1)
                self.assertEqual(int(header["space_height"]), pixels(face.size.ascender))
                self.assertEqual(int(header["line_height"]), pixels(face.size.height))
                face.load_char(" ", freetype.FT_LOAD_RENDER)
                self.assertEqual(int(header["space_advance"]), pixels(face.glyph.advance.x))
                present = [c for c in code_points(ranges) if face.get_char_index(c)]
                self.assertEqual([int(c) for c in glyphs["code_point"]], present)
                rgba = self.atlas(atlas_id)
                height, width = rgba.shape[:2]
                self.assertTrue((rgba[..., :3] == 255).all(), "the atlas is white; coverage is in alpha")
                covered = np.zeros((height, width), dtype=bool)
                for g in glyphs:
                    c = int(g["code_point"])
                    face.load_char(c, freetype.FT_LOAD_RENDER)
                    slot = face.glyph
                    bitmap = slot.bitmap
                    want = (bitmap.width, bitmap.rows, slot.bitmap_left, slot.bitmap_top - bitmap.rows,
                            pixels(slot.advance.x))
                    got = tuple(int(g[k]) for k in ("width", "height", "x_offset", "y_offset", "advance"))
                    self.assertEqual(got, want, "U+%04X" % c)
                    uv = g["uv"]
                    # Corners bottom-left, bottom-right, top-right, top-left; v = 0 at the bottom.
                    self.assertTrue(uv[0][1] == uv[1][1] and uv[2][1] == uv[3][1] and uv[0][0] == uv[3][0]
                                    and uv[1][0] == uv[2][0], "U+%04X corners" % c)
                    x0, x1 = uv[0][0] * width, uv[1][0] * width
                    y_top, y_bottom = (1 - uv[2][1]) * height, (1 - uv[0][1]) * height
                    for v in (x0, x1, y_top, y_bottom):
                        self.assertEqual(v, round(v), "U+%04X texture corners on whole pixels" % c)
                    x0, x1, y_top, y_bottom = int(x0), int(x1), int(round(y_top)), int(round(y_bottom))
                    self.assertEqual((x1 - x0, y_bottom - y_top), (bitmap.width, bitmap.rows))
                    if bitmap.width and bitmap.rows:
                        expected = np.array(bitmap.buffer, dtype=np.uint8).reshape(bitmap.rows, bitmap.pitch)
                        expected = expected[:, :bitmap.width]
                        region = rgba[y_top:y_bottom, x0:x1, 3]
                        self.assertTrue(np.array_equal(region, expected), "U+%04X atlas pixels" % c)
                        self.assertFalse(covered[y_top:y_bottom, x0:x1].any(), "U+%04X overlaps" % c)
                        covered[y_top:y_bottom, x0:x1] = True
                self.assertEqual(int(rgba[..., 3][~covered].max(initial=0)), 0, "nothing outside the glyphs")

    def test_layout_widths_are_summed_advances(self):
        lines = ["Ostrevane", "The quick brown fox jumps over the lazy dog.", "caf\u00e9 \u00e0 la cr\u00e8me",
                 "W", "iiii", "  two  spaces  ", "\u00bfQu\u00e9 tal?", "123 + 456 = 579", "[{(<>)}] | @ # ~"]
        for font_id, face_name, size, _, _ in font_lines():
            face = self.face(face_name, size)
            p = subprocess.run([os.path.join(BUILD, "tests/text_measure"), os.path.join(BUILD, "assets/font.dat"),
                                str(font_id), "0", "0"], input="\n".join(lines) + "\n", capture_output=True,
                               text=True, timeout=60, check=True)
            got = [tuple(map(int, line.split())) for line in p.stdout.splitlines()]
            for line, (result, width, height, count) in zip(lines, got):
                total = 0
                for ch in line:
                    face.load_char(ch, freetype.FT_LOAD_RENDER)
                    total += max(0, pixels(face.glyph.advance.x))
                self.assertEqual((result, width, count), (0, total, len(line)), "font %d: %r" % (font_id, line))
                self.assertGreaterEqual(height, pixels(face.size.height))
            self.assertEqual(len(got), len(lines))

    def test_fontbuild_is_repeatable_and_matches_the_build(self):
        font_id, face, size, atlas_id, ranges = next(iter(font_lines()))
        outputs = []
        for k in range(2):
            font, tga = os.path.join(self.dir, "f%d.font" % k), os.path.join(self.dir, "f%d.tga" % k)
            run(self.fontbuild, font, tga, os.path.join(DEJAVU, face), size, atlas_id, ranges)
            outputs.append((slurp(font), slurp(tga)))
        self.assertEqual(outputs[0], outputs[1])
        self.assertEqual(outputs[0], (self.fonts[font_id], self.textures[atlas_id]))

    def test_fontbuild_failures_leave_nothing(self):
        face = os.path.join(DEJAVU, "DejaVuSans.ttf")
        font, tga = os.path.join(self.dir, "x.font"), os.path.join(self.dir, "x.tga")
        missing = os.path.join(self.dir, "NoSuchFace.ttf")
        p = run(self.fontbuild, font, tga, missing, 12, 9, "32-126", check=False)
        self.assertNotEqual(p.returncode, 0)
        self.assertIn(missing, p.stderr)
        self.assertIn("fonts-dejavu-core", p.stderr)
        p = run(self.fontbuild, font, tga, face, 200, 9, "32-1000", check=False)
        self.assertNotEqual(p.returncode, 0, "an atlas past 1024 x 1024 is an error")
        self.assertIn("1024", p.stderr)
        self.assertEqual(sorted(os.listdir(self.dir)), [], "a failure leaves no file, temporary or not")
        # A code point the face lacks is skipped and listed; the rest is built.
        p = run(self.fontbuild, font, tga, face, 12, 9, "65,0x10FFFD,66")
        self.assertIn("U+10FFFD", p.stderr)
        header, glyphs = read_font(slurp(font))
        self.assertEqual([int(c) for c in glyphs["code_point"]], [65, 66])

    def test_locale_maps_both_font_keys(self):
        blob = read_archive(os.path.join(BUILD, "assets/locale.dat"))[1]
        count = struct.unpack_from("<I", blob, 8)[0]
        records = {struct.unpack_from("<I", blob, 12 + 12 * i)[0]: struct.unpack_from("<2I", blob, 16 + 12 * i)
                   for i in range(count)}
        self.assertEqual(records.get(0x76D96E7D), (1, 1), "interface and chat: font 1")
        self.assertEqual(records.get(0x1F289A15), (1, 2), "bubbles and tooltips: font 2")
        for font_id in (1, 2):
            self.assertIn(font_id, self.fonts)

    def test_interface_images_are_what_the_script_writes(self):
        ui = os.path.join(SOURCE, "content/texture/ui")
        subprocess.run([sys.executable, os.path.join(ui, "make_ui_textures.py"), self.dir], check=True, timeout=60)
        images = (("frame.tga", 32, 32), ("tile.tga", 16, 16), ("title.tga", 64, 16), ("button.tga", 32, 32),
                  ("button_hover.tga", 32, 32), ("button_pressed.tga", 32, 32), ("field.tga", 16, 16),
                  ("toggle_off.tga", 16, 16), ("toggle_on.tga", 16, 16), ("slider_track.tga", 32, 8),
                  ("slider_knob.tga", 16, 16), ("arrow_up.tga", 16, 16), ("arrow_down.tga", 16, 16))
        manifest = slurp(os.path.join(SOURCE, "content/texture/manifest.txt")).decode()
        for name, w, h in images:
            made = slurp(os.path.join(self.dir, name))
            self.assertEqual(made, slurp(os.path.join(ui, name)), name)
            self.assertIn("ui/" + name, manifest, "each image goes into the archive")
            width, height, depth = struct.unpack_from("<HHB", made, 12)
            self.assertEqual((width, height, depth), (w, h, 32))
            self.assertEqual(made[18:23], b"TXID\x01")
            self.assertEqual((made[23], made[24], made[28]), (0, 0, 1), "clamp, nearest, class 1")


if __name__ == "__main__":
    BUILD, SOURCE, DEJAVU = sys.argv[1], sys.argv[2], sys.argv[3]
    archive_reader.SOURCE = SOURCE
    unittest.main(argv=sys.argv[:1], verbosity=2)
