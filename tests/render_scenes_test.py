"""Draws the render harness scenes through both OpenGL backends under the X server and
checks the screenshots the client wrote: valid 16-bit BMP files (read by PIL), each scene
against values computed here with numpy, the two backends against each other pixel for
pixel, and our strip and fan expansion against the driver's own strips and fans. The
interface scenes are checked against pictures built from FreeType and the source images
(ui_scenes_model.py): every text pixel within one 16-bit step of the alpha-over of FreeType's
bitmaps at the pen positions, so text one pixel off fails.

usage: render_scenes_test.py RENDER_HARNESS SOURCE_DIR DEJAVU_DIR
"""
import os
import shutil
import math
import subprocess
import sys
import tempfile

import numpy as np
from PIL import Image

import client_bmp
import ui_scenes_model
import xserver

W, H = 320, 240
failures = []


def fail(msg):
    failures.append(msg)
    print("FAIL", msg)


def quantise(rgb):
    """8-bit colours as the 16-bit file stores them, read back at 8 bits (PIL expands
    5- and 6-bit fields by shifting)."""
    rgb = np.asarray(rgb, dtype=np.int64)
    r = (rgb[..., 0] >> 3) << 3
    g = (rgb[..., 1] >> 2) << 2
    b = (rgb[..., 2] >> 3) << 3
    return np.stack([r, g, b], axis=-1)


def load(path):
    """A screenshot decoded here (PIL must read it alike)."""
    picture, _, problem = client_bmp.read(path, W, H)
    if problem:
        fail(problem)
    return picture


def canvas(colour):
    img = np.zeros((H, W, 3), dtype=np.float64)
    img[:, :] = colour
    return img


def put(img, x0, y0, x1, y1, colour):
    img[y0:y1, x0:x1] = colour


def compare(name, got, want, tolerance=0, mask=None):
    want = quantise(np.clip(np.floor(np.asarray(want) + 0.5), 0, 255))
    diff = np.abs(got - want).max(axis=-1)
    # A difference of one step of the 5- or 6-bit field: 8 in red and blue, 4 in green.
    limit = 8 * tolerance
    if mask is not None:
        diff = np.where(mask, diff, 0)
    bad = diff > limit
    if bad.any():
        ys, xs = np.nonzero(bad)
        fail(f"{name}: {bad.sum()} pixels differ, first at x={xs[0]} y={ys[0]}: got {got[ys[0], xs[0]]} "
             f"want {want[ys[0], xs[0]]}")


def expected_scenes():
    e = {}
    img = canvas((0, 0, 0.25 * 255))
    put(img, 0, 0, 160, 120, (255, 0, 0))
    put(img, 160, 120, 320, 240, (0, 255, 0))
    put(img, 20, 150, 60, 230, (255, 255, 0))
    e["flat"] = (img, 0)

    tests = [lambda a, b: False, lambda a, b: a < b, lambda a, b: a == b, lambda a, b: a <= b,
             lambda a, b: a > b, lambda a, b: a >= b, lambda a, b: a != b, lambda a, b: True]
    for f, test in enumerate(tests):
        img = canvas((0, 0, 0))
        put(img, 0, 0, 160, 240, (255, 0, 0))
        for i, z in enumerate((-0.5, 0.0, 0.5)):
            depth = z * 0.5 + 0.5
            for x0, x1, stored in ((0, 160, 0.5), (160, 320, 1.0)):
                if test(depth, stored):
                    put(img, x0, 80 * i, x1, 80 * (i + 1), (0, 255, 0))
        e[f"depth{f}"] = (img, 0)

    background = np.array([0.2, 0.4, 0.6]) * 255
    # Clear colours reach the framebuffer as 8-bit values first.
    background = np.floor(background + 0.5)
    src = np.array([200, 100, 50], dtype=np.float64)
    a = 128 / 255
    for mode, out in enumerate((src * a + background * (1 - a), src + background * (1 - a), src + background)):
        img = canvas(background)
        put(img, 40, 40, 280, 200, np.clip(out, 0, 255))
        e[f"blend{mode}"] = (img, 1)

    img = canvas((0, 0, 0))
    put(img, 160, 0, 320, 240, (255, 255, 255))
    e["alpha_test"] = (img, 0)

    img = canvas((0, 0, 0))
    put(img, 0, 0, 100, 240, (255, 0, 0))
    put(img, 220, 0, 320, 240, (0, 0, 255))
    e["cull"] = (img, 0)

    img = canvas((0, 0, 0))
    put(img, 160, 0, 320, 240, (0, 0, 255))
    put(img, 160, 60, 320, 180, (0, 255, 0))
    e["masks"] = (img, 0)

    # Linear fog: f = (end - distance) / (end - start) = 0.5 at distance 0.5.
    img = canvas((0, 0, 0))
    put(img, 0, 0, 160, 240, 0.5 * np.array([255, 0, 0]) + 0.5 * np.array([0, 0, 255]))
    put(img, 160, 0, 320, 240, (255, 0, 0))
    e["fog"] = (img, 1)

    img = canvas((0, 0, 0))
    put(img, 40, 40, 140, 104, (255, 0, 255))
    put(img, 180, 40, 280, 104, (255, 0, 255))
    e["npot"] = (img, 0)

    img = canvas((0, 0, 0))
    # Texture rows run bottom first: bottom red, green; top blue, white.
    texels = {(0, 0): (255, 0, 0), (1, 0): (0, 255, 0), (0, 1): (0, 0, 255), (1, 1): (255, 255, 255)}
    for x0, tint in ((32, (255, 255, 255)), (160, (255, 128, 0))):
        for (tx, ty), c in texels.items():
            px, py = x0 + 32 * tx, 32 + 32 * (1 - ty)
            put(img, px, py, px + 32, py + 32, np.array(c) * np.array(tint) / 255)
    put(img, 32, 128, 96, 192, (200, 200, 200))
    e["texture"] = (img, 1)

    img = canvas((0, 0, 0))
    put(img, 40, H - 30 - 80, 140, H - 30, (255, 0, 0))  # viewport origin is bottom-left
    e["scissor"] = (img, 0)
    return e


def lit_without_sun(material, light):
    """A model vertex's colour at full shade without a sun or lamps: the light colour enters
    at 154/256, its linear ramp at shade 255 scales it by 255/256, and material 128 is 1.0."""
    out = []
    for m, l in zip(material, light):
        lit = 255 * (l * 154 >> 8) >> 8
        out.append(min(255, m * lit >> 7))
    return np.array(out)


def check_frame(name, got):
    """The game's frame function drawing a zone at noon: cleared to the fog colour (the noon
    fog row 190 201 206 times the zone's colour 1 0.8 0.6), two cubes (vertex colours 64 192
    64 and 64 64 192, lit by the noon light 215 218 218 without a sun) in linear fog from 20
    to 60 whose front faces stand 30 and 45 units from a camera of 60 degrees at the origin."""
    fog = np.array([190, 201, 206]) * np.array([1.0, 0.8, 0.6])
    background = np.floor(fog + 0.5)  # the clear colour reaches the framebuffer at 8 bits
    want = canvas(background)
    mask = np.ones((H, W), dtype=bool)
    t = math.tan(math.radians(30))
    noon = (215, 218, 218)
    for colour, (x0, x1), depth in ((lit_without_sun((64, 192, 64), noon), (-10, -2), 30),
                                    (lit_without_sun((64, 64, 192), noon), (4, 12), 45)):
        f = min(max((60 - depth) / (60 - 20), 0), 1)
        px = [(x / depth / t / (W / H) + 1) / 2 * W for x in (x0, x1)]
        py = [(1 - y / depth / t) / 2 * H for y in (4, -4)]
        # The front face, away from its edges and the sides seen beside it.
        left, right, top, bottom = int(px[0]) + 3, int(px[1]) - 2, int(py[0]) + 3, int(py[1]) - 2
        margin = 8
        mask[max(top - 2 * margin, 0):bottom + 2 * margin, max(left - 2 * margin, 0):right + 2 * margin] = False
        mask[top:bottom, left:right] = True
        put(want, left, top, right, bottom, f * np.array(colour) + (1 - f) * fog)
    if mask.sum() < W * H // 2:
        fail(f"{name}: the checked area is too small")
    compare(name, got, want, 1, mask)


def check_models(name, got, source):
    """The demo meshes lit at noon against the committed picture, compared at half size (mean
    of 2 x 2 blocks) so that single-pixel edge differences between drivers do not count."""
    golden = np.asarray(Image.open(os.path.join(source, "tests/reference/models.png")).convert("RGB"), dtype=np.int64)
    half = got.reshape(H // 2, 2, W // 2, 2, 3).mean(axis=(1, 3))
    if half.shape != golden.shape:
        fail(f"{name}: golden picture is {golden.shape}, the frame halves to {half.shape}")
        return
    off = np.abs(half - golden).max(axis=-1) > 6
    if off.sum() > half.shape[0] * half.shape[1] // 100:
        fail(f"{name}: {off.sum()} of {off.size} half-size pixels differ from the golden picture by more than 6")
    # The picture must hold the scene: the corrupt mesh's magenta cube among lit models.
    magenta = (got[:, :, 0] > 200) & (got[:, :, 1] < 40) & (got[:, :, 2] > 200)
    if magenta.sum() < 200:
        fail(f"{name}: the magenta cube is missing")


def check_interface(shots, source, dejavu):
    """The text and frames scenes against the pictures ui_scenes_model builds."""
    missing = ui_scenes_model.available()
    if missing:
        if os.environ.get("CI") == "true":
            fail("missing: " + ", ".join(missing))
        else:
            print("skipped the interface pictures: missing " + ", ".join(missing))
        return
    fonts = ui_scenes_model.load_fonts(source, dejavu)
    text = ui_scenes_model.text_picture(fonts, H, W)
    frames, known = ui_scenes_model.frames_picture(source, H, W)
    if known.sum() < W * H * 0.95:
        fail("frames: too few pixels pinned down by the model")
    for backend in ("arrays", "lists"):
        for scene, want, mask in (("text", text, None), ("frames", frames, known)):
            got = shots.get((backend, scene))
            if got is None:
                fail(f"{backend}_{scene}: no screenshot")
            else:
                compare(f"{backend}_{scene}", got, want, 1, mask)
        # The comparison sees text moved by a single pixel either way.
        got = shots.get((backend, "text"))
        if got is None:
            continue
        for shift in ((1, 0), (-1, 0), (0, 1), (0, -1)):
            moved = quantise(np.clip(np.floor(ui_scenes_model.text_picture(fonts, H, W, shift) + 0.5), 0, 255))
            off = (np.abs(got - moved).max(axis=-1) > 8).sum()
            if off < 100:
                fail(f"{backend}_text: text moved by {shift} differs in only {off} pixels")


def run(harness, backend, folder):
    p = subprocess.run([harness, backend, folder], capture_output=True, text=True, timeout=240)
    sys.stdout.write(p.stdout)
    sys.stderr.write(p.stderr)
    if p.returncode != 0:
        fail(f"{backend}: harness exit {p.returncode}")


def x_capture(harness, folder):
    """The frame on screen, captured from the X server, against the screenshot the client
    wrote of it: row order and channel order."""
    tools = [shutil.which("xdotool"), shutil.which("import")]
    if not all(tools):
        if os.environ.get("CI") == "true":
            fail("xdotool or ImageMagick import missing")
        else:
            print("skipped X capture: xdotool or ImageMagick missing")
        return
    # A server of its own: a window another test opens on a shared display could cover this
    # one while it waits, and nothing repaints it before the capture.
    x = xserver.Xvfb(640, 480)
    try:
        p = subprocess.Popen([harness, "arrays", "hold", folder], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                             text=True, env=x.env())
        try:
            for line in p.stdout:
                if line.strip() == "ready":
                    break
            ids = ""
            for _ in range(50):
                ids = subprocess.run(["xdotool", "search", "--name", "Render Harness"], capture_output=True,
                                     text=True, env=x.env()).stdout.split()
                if ids:
                    break
            if not ids:
                fail("harness window not found")
                return
            capture = os.path.join(folder, "capture.png")
            subprocess.run(["import", "-window", ids[0], capture], check=True, timeout=60, env=x.env())
        finally:
            p.stdin.close()
            p.wait(timeout=60)
    finally:
        x.stop()
    shot = load(os.path.join(folder, "arrays_hold.bmp"))
    seen = np.asarray(Image.open(capture).convert("RGB"), dtype=np.int64)
    if shot is None or seen.shape != shot.shape or not np.array_equal(quantise(seen), shot):
        fail("the screenshot differs from the X capture of the window")
    else:
        print("screenshot matches the X capture")


def main():
    harness = sys.argv[1]
    with tempfile.TemporaryDirectory() as folder:
        for backend in ("arrays", "lists"):
            run(harness, backend, folder)
        shots = {}
        for backend in ("arrays", "lists"):
            for name in sorted(os.listdir(folder)):
                if name.startswith(backend + "_"):
                    shots[(backend, name[len(backend) + 1:-4])] = load(os.path.join(folder, name))
        scenes = expected_scenes()
        for backend in ("arrays", "lists"):
            for scene, (want, tolerance) in scenes.items():
                got = shots.get((backend, scene))
                if got is None:
                    fail(f"{backend}_{scene}: no screenshot")
                    continue
                compare(f"{backend}_{scene}", got, want, tolerance)
            frame = shots.get((backend, "frame"))
            if frame is None:
                fail(f"{backend}_frame: no screenshot")
            else:
                check_frame(f"{backend}_frame", frame)
            models = shots.get((backend, "models"))
            if models is None:
                fail(f"{backend}_models: no screenshot")
            else:
                check_models(f"{backend}_models", models, sys.argv[2])
            strips = shots.get((backend, "strips"))
            reference = shots.get((backend, "strips_reference"))
            if strips is not None and reference is not None:
                if not np.array_equal(strips, reference):
                    fail(f"{backend}: strips differ from the driver's strips and fans in "
                         f"{(strips != reference).any(axis=-1).sum()} pixels")
                # The facing strip and the fan are drawn, the other strip is culled.
                if not strips[20:100, 20:180].any() or strips[130:210, 20:180].any() or not strips[40:200, 200:300].any():
                    fail(f"{backend}: strips scene does not show the facing strip and fan only")
        check_interface(shots, sys.argv[2], sys.argv[3])
        names = sorted({s for (_, s) in shots})
        for scene in names:
            a, b = shots.get(("arrays", scene)), shots.get(("lists", scene))
            if a is None or b is None or not np.array_equal(a, b):
                fail(f"{scene}: the two backends differ")
        print(f"{len(names)} scenes through two backends")
        x_capture(harness, folder)
    if failures:
        print(f"{len(failures)} failed")
        return 1
    print("all scenes match")
    return 0


if __name__ == "__main__":
    sys.exit(main())
