"""Pictures of the render harness's interface scenes, computed here: the text scene from
FreeType (python3-freetype) rasterising the DejaVu faces of content/font/fonts.txt, laid out
with a word wrap of our own over FreeType's advances and put over the clear colour with an
alpha-over per glyph; the frames scene from the source images in content/texture/ui/ sampled
nearest, cell by cell. The scene contents repeat those of tests/render_ui_scenes.cpp.

Pictures are float RGB arrays, top row first, at 8 bits per channel before the screenshot's
16-bit rounding.
"""
import os

import numpy as np

try:
    import freetype
except ImportError:
    freetype = None
try:
    from PIL import Image
except ImportError:
    Image = None

CLEAR = np.floor(np.array([0.08, 0.1, 0.16]) * 255 + 0.5)

OPEN1, OPEN2, CLOSE = "\U000F0001", "\U000F0002", "\uE000"
LINK_COLOURS = {1: (0.3, 0.9, 1.0, 1.0), 2: (1.0, 0.5, 0.2, None)}  # None: the text's own alpha

# font, left, top, wrap width (None: no wrap), text as drawn, colour, clipped
TEXTS = [
    (3, 10, 8, None, "Harbour Notices", (1.0, 0.8, 0.2, 1.0), False),
    (1, 10, 34, 140, "The quick brown fox jumps over the lazy dog beside the old harbour wall; "
     "caf\u00e9 \u00e0 la cr\u00e8me for everyone.", (1.0, 1.0, 1.0, 1.0), False),
    (2, 170, 34, 140, "Ask the " + OPEN1 + "harbour master" + CLOSE + " about " + OPEN2 + "the night ferry" + CLOSE
     + " or the gate.", (0.8, 0.8, 0.8, 0.75), False),
    (1, 170, 150, None, "Clipped against its\nwindow, Ostrevane", (0.6, 1.0, 0.6, 1.0), True),
]
TEXT_CLIP = (180, 156, 120, 30)  # left, top, width, height

# texture file, texture size, border, tiled, left, top, width, height, clipped
FRAMES = [
    ("frame.tga", 32, 8, False, 12, 12, 128, 80, False),
    ("frame.tga", 32, 8, True, 160, 12, 150, 100, False),
    ("tile.tga", 16, 4, True, 12, 124, 130, 100, False),
    ("frame.tga", 32, 8, False, 160, 124, 144, 96, True),
]
FRAME_CLIP = (166, 128, 120, 84)


def available():
    """The names of the missing Python modules (empty when the models can be built)."""
    return [name for name, module in (("python3-freetype", freetype), ("PIL", Image)) if module is None]


def byte(channel):
    return np.floor(channel * 255 + 0.5)


def clip_mask(shape, clip):
    mask = np.zeros(shape, dtype=bool)
    left, top, width, height = clip
    mask[top:top + height, left:left + width] = True
    return mask


def over(img, mask, x, y, alpha, colour):
    """Puts colour (one colour, or one per pixel of alpha) over img with the per-pixel alpha
    array placed at column x, row y, only where mask allows (parts outside the picture are
    dropped)."""
    height, width = img.shape[:2]
    rows, columns = alpha.shape
    x0, y0, x1, y1 = max(x, 0), max(y, 0), min(x + columns, width), min(y + rows, height)
    if x1 <= x0 or y1 <= y0:
        return
    a = alpha[y0 - y:y1 - y, x0 - x:x1 - x] * mask[y0:y1, x0:x1]
    a = a[..., None]
    colour = np.asarray(colour, dtype=np.float64)
    if colour.ndim == 3:
        colour = colour[y0 - y:y1 - y, x0 - x:x1 - x]
    img[y0:y1, x0:x1] = img[y0:y1, x0:x1] * (1 - a) + colour * a


class FaceGlyphs:
    """One font of fonts.txt through FreeType: each glyph's advance, bearings and bitmap, the
    code points the font holds, and the ascent (the highest glyph top)."""

    def __init__(self, dejavu, face, size, ranges):
        self.face = freetype.Face(os.path.join(dejavu, face))
        self.face.set_pixel_sizes(0, size)
        self.line_height = (self.face.size.height + 32) >> 6
        self.glyphs = {}
        for c in code_points(ranges):
            if self.face.get_char_index(c):
                self.glyphs[c] = self.load(c)
        self.ascent = max(g[2] for g in self.glyphs.values())
        self.space = self.glyphs[32][3]

    def load(self, c):
        self.face.load_char(c, freetype.FT_LOAD_RENDER)
        slot = self.face.glyph
        bitmap = slot.bitmap
        pixels = np.array(bitmap.buffer, dtype=np.float64).reshape(bitmap.rows, bitmap.pitch)[:, :bitmap.width]
        return pixels / 255.0, slot.bitmap_left, slot.bitmap_top, max(0, (slot.advance.x + 32) >> 6)

    def advance(self, ch):
        c = ord(ch)
        if ch in " \t":
            return self.space
        if c == 0xE000 or 0xF0001 <= c <= 0xFFFFF or c not in self.glyphs:
            return 0
        return self.glyphs[c][3]


def code_points(ranges):
    out = set()
    for part in ranges.split(","):
        first, _, last = part.partition("-")
        out.update(range(int(first, 0), int(last or first, 0) + 1))
    return sorted(out)


def load_fonts(source, dejavu):
    fonts = {}
    with open(os.path.join(source, "content/font/fonts.txt")) as f:
        for line in f:
            fields = line.split()
            if fields and not fields[0].startswith("#"):
                font_id, face, size, _, ranges = fields
                fonts[int(font_id)] = FaceGlyphs(dejavu, face, int(size), ranges)
    return fonts


def wrap(font, text, width):
    """Greedy word wrap: a word goes on the line while the line stays within the width; a
    word alone on its line stays whatever its width."""
    lines, line = [], []
    measure = lambda words: sum(font.advance(ch) for ch in " ".join(words))
    for word in text.split(" "):
        wide = measure(line + [word])
        if wide == width:
            raise ValueError(f"a line of {' '.join(line + [word])!r} is exactly {width} wide: move the text")
        if line and wide > width:
            lines.append(" ".join(line))
            line = []
        line.append(word)
    lines.append(" ".join(line))
    return lines


def text_picture(fonts, height, width, shift=(0, 0)):
    """The text scene; shift moves every pen (for checking that the comparison sees it)."""
    img = np.empty((height, width, 3), dtype=np.float64)
    img[:, :] = CLEAR
    everywhere = np.ones((height, width), dtype=bool)
    clipped = clip_mask((height, width), TEXT_CLIP)
    for font_id, left, top, wrap_width, text, colour, is_clipped in TEXTS:
        font = fonts[font_id]
        lines = wrap(font, text, wrap_width) if wrap_width else text.split("\n")
        base = tuple(byte(c) for c in colour)
        current = base
        for number, line in enumerate(lines):
            pen = left + shift[0]
            row = top + shift[1] + font.ascent + number * font.line_height
            for ch in line:
                c = ord(ch)
                if c == 0xE000:
                    current = base
                elif 0xF0001 <= c <= 0xFFFFF:
                    r, g, b, a = LINK_COLOURS[c - 0xF0000]
                    current = (byte(r), byte(g), byte(b), base[3] if a is None else byte(a))
                elif ch != " " and c in font.glyphs:
                    coverage, bearing_x, bearing_y, _ = font.glyphs[c]
                    over(img, clipped if is_clipped else everywhere, pen + bearing_x, row - bearing_y,
                         coverage * current[3] / 255, current[:3])
                pen += font.advance(ch)
    return img


def texels(start, span, size, tiled):
    """Texel index of each pixel along one axis of a cell, and whether its centre falls so
    near a texel edge that nearest sampling may go either way."""
    i = np.arange(size)
    if tiled:
        return start + i % span, np.zeros(size, dtype=bool)
    position = (i + 0.5) * span / size
    fraction = position - np.floor(position)
    return start + np.floor(position).astype(int), (fraction < 1e-3) | (fraction > 1 - 1e-3)


def axis(border, texture_size, tiled, size):
    """One axis of a frame: per pixel its texel and ambiguity, corners and edges kept at
    their texel sizes, the middle stretched or tiled."""
    parts = [texels(0, border, border, False),
             texels(border, texture_size - 2 * border, size - 2 * border, tiled),
             texels(texture_size - border, border, border, False)]
    return np.concatenate([p[0] for p in parts]), np.concatenate([p[1] for p in parts])


def frames_picture(source, height, width):
    """The frames scene and the mask of pixels it pins down."""
    img = np.empty((height, width, 3), dtype=np.float64)
    img[:, :] = CLEAR
    known = np.ones((height, width), dtype=bool)
    everywhere = np.ones((height, width), dtype=bool)
    clipped = clip_mask((height, width), FRAME_CLIP)
    for name, size, border, tiled, left, top, w, h, is_clipped in FRAMES:
        rgba = np.asarray(Image.open(os.path.join(source, "content/texture/ui", name)).convert("RGBA"),
                          dtype=np.float64)
        rgba = rgba[::-1]  # bottom row first, as texture coordinates count
        us, u_unsure = axis(border, size, tiled, w)
        vs, v_unsure = axis(border, size, tiled, h)
        # Rows of the picture run downwards, texture rows upwards.
        cells = rgba[vs[::-1]][:, us]
        mask = clipped if is_clipped else everywhere
        over(img, mask, left, top, cells[..., 3] / 255, cells[..., :3])
        unsure = v_unsure[::-1][:, None] | u_unsure[None, :]
        known[top:top + h, left:left + w] &= ~(unsure & mask[top:top + h, left:left + w])
    return img, known
