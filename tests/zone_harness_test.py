"""Streams and draws the demo zones through both OpenGL backends under a private X server and
checks the screenshots the client wrote:

- zone 3's fixed shots (from above, the hill, the building's door, the path's transition seam
  with smooth terrain off and on) and zone 2's character-preview spot, through both backends:
  the two backends' frames agree (up to a few edge pixels a few steps apart), and each frame
  is close to its small golden frame
  in tests/reference/zone/ (a 2 x 2 box-averaged PNG): a wrong texture, a missing cell or a
  lost transition moves far more pixels than the tolerance allows;
- the seam with smooth terrain on differs from the one with it off, and the preview spot shows
  the platform's floor rather than the night background;
- a short fly-through over zone 3 loads every cell, releases them all when it leaves the zone,
  prints one line per frame and writes valid, non-uniform BMP files;
- bad arguments and a zone without a map entry exit with 1 and one line of explanation.

Regenerating the golden frames (after a deliberate change to the content or the drawing):
    ZONE_GOLDEN_UPDATE=1 /usr/bin/python3 tests/zone_harness_test.py \\
        build/tests/zone_harness build/assets .
then look at the new PNGs before committing them.

usage: zone_harness_test.py ZONE_HARNESS ASSETS_DIR SOURCE_DIR
"""
import os
import re
import subprocess
import sys
import tempfile

import numpy as np
from PIL import Image

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import client_bmp  # noqa: E402
import xserver  # noqa: E402

W, H = 320, 240
SHOTS = {3: ["above", "hill", "door", "seam_off", "seam_on"], 2: ["preview"]}
# Golden comparison on the 2 x 2 box average: mean absolute difference per channel, and the
# share of pixels off by more than 24 in any channel.
MEAN_LIMIT = 0.5
BACKENDS_MEAN_LIMIT = 1.0
BACKENDS_MAX_LIMIT = 48
OFF_SHARE_LIMIT = 0.005
failures = []


def fail(message):
    failures.append(message)
    print("FAIL", message)


def load_bmp(path):
    """A screenshot as the client writes it, checked and read through PIL."""
    _, picture, problem = client_bmp.read(path, W, H)
    if problem:
        fail(problem)
    return picture


def reduce(picture):
    return picture.reshape(H // 2, 2, W // 2, 2, 3).mean(axis=(1, 3))


def run(harness, *args, env=None, expect=0):
    p = subprocess.run([harness, *args], capture_output=True, text=True, timeout=300, env=env)
    if p.returncode != expect:
        fail(f"{' '.join(args)}: exit {p.returncode}\n{p.stdout}\n{p.stderr}")
    return p


def check_shots(harness, assets, golden_dir, env, folder):
    update = os.environ.get("ZONE_GOLDEN_UPDATE") == "1"
    for zone, names in SHOTS.items():
        for backend in ("arrays", "lists"):
            p = run(harness, backend, assets, str(zone), "shots", folder, env=env)
            sys.stdout.write(p.stdout)
        for name in names:
            label = f"z{zone}_{name}"
            a = load_bmp(os.path.join(folder, f"arrays_{label}.bmp"))
            b = load_bmp(os.path.join(folder, f"lists_{label}.bmp"))
            if a is None or b is None:
                fail(f"{label}: missing screenshot")
                continue
            # The backends rasterise a few edge pixels a few steps apart; a different texture,
            # cell or pass would move whole areas.
            apart = np.abs(a - b)
            print(f"{label}: backends apart by {apart.mean():.3f} on average, {apart.max()} at most")
            if apart.mean() > BACKENDS_MEAN_LIMIT or apart.max() > BACKENDS_MAX_LIMIT:
                fail(f"{label}: the two backends differ (mean {apart.mean():.3f}, max {apart.max()})")
            small = reduce(a)
            golden_path = os.path.join(golden_dir, label + ".png")
            if update:
                os.makedirs(golden_dir, exist_ok=True)
                Image.fromarray(np.floor(small + 0.5).astype(np.uint8)).save(golden_path, optimize=True)
                print("wrote", golden_path)
                continue
            if not os.path.exists(golden_path):
                fail(f"{label}: no golden frame {golden_path}")
                continue
            golden = np.asarray(Image.open(golden_path).convert("RGB"), dtype=np.float64)
            diff = np.abs(small - golden)
            mean, off = diff.mean(), (diff.max(axis=-1) > 24).mean()
            print(f"{label}: mean difference {mean:.3f}, share off {off:.4f}")
            if mean > MEAN_LIMIT or off > OFF_SHARE_LIMIT:
                fail(f"{label}: differs from its golden frame (mean {mean:.3f}, share off {off:.4f})")

    # The transition overlays must change the seam.
    off = load_bmp(os.path.join(folder, "arrays_z3_seam_off.bmp"))
    on = load_bmp(os.path.join(folder, "arrays_z3_seam_on.bmp"))
    if off is not None and on is not None:
        changed = (np.abs(off - on).max(axis=-1) > 16).mean()
        print(f"seam: {changed:.3f} of the pixels change with smooth terrain")
        if changed < 0.02:
            fail(f"seam: smooth terrain changes only {changed:.4f} of the frame")
    # The preview spot: the middle of the frame is the platform, not the background, which
    # fills the top row (the night sky beyond the fog).
    preview = load_bmp(os.path.join(folder, "arrays_z2_preview.bmp"))
    if preview is not None:
        background = np.median(preview[0].reshape(-1, 3), axis=0)
        middle = preview[H // 2 - 20:H // 2 + 20, W // 2 - 20:W // 2 + 20].reshape(-1, 3)
        like_background = (np.abs(middle - background).max(axis=-1) <= 12).mean()
        print(f"preview: {like_background:.3f} of the middle looks like the background")
        if like_background > 0.05:
            fail("preview: the middle of the frame shows background, not the floor")


def check_fly(harness, assets, env, folder):
    p = run(harness, "arrays", assets, "3", "fly", folder, "10", "40", env=env)
    lines = [l for l in p.stdout.splitlines() if l.startswith("frame ")]
    if len(lines) != 40:
        fail(f"fly: {len(lines)} frame lines, not 40")
        return
    pattern = re.compile(r"^frame (\d+) cells (\d+) loaded (\d+) released (\d+) groups (\d+)$")
    values = []
    for line in lines:
        m = pattern.match(line)
        if not m:
            fail(f"fly: bad line {line!r}")
            return
        values.append(tuple(int(v) for v in m.groups()))
    loaded = [v[2] for v in values]
    if loaded != sorted(loaded) or any(b - a > 1 for a, b in zip(loaded, loaded[1:])):
        fail("fly: more than one cell completed in a frame, or the total went back")
    if loaded[-1] != 16:
        fail(f"fly: {loaded[-1]} of zone 3's 16 cells loaded")
    if max(v[4] for v in values) == 0:
        fail("fly: no face group drawn")
    left = re.search(r"^left released (\d+)$", p.stdout, re.M)
    if not left or int(left.group(1)) != 16:
        fail(f"fly: leaving the zone released {left.group(1) if left else 'nothing'}, not 16")
    shots = sorted(n for n in os.listdir(folder) if n.startswith("arrays_z3_fly_"))
    if shots != [f"arrays_z3_fly_{f:04d}.bmp" for f in range(10, 40, 10)]:
        fail(f"fly: screenshots {shots}")
    for name in shots:
        picture = load_bmp(os.path.join(folder, name))
        if picture is not None and picture.reshape(-1, 3).std(axis=0).max() < 8:
            fail(f"fly: {name} is nearly uniform")


def check_errors(harness, assets, env, folder):
    cases = [
        ("no arguments", []),
        ("unknown backend", ["vulkan", assets, "3", "shots", folder]),
        ("zone not a number", ["arrays", assets, "three", "shots", folder]),
        ("zone 0", ["arrays", assets, "0", "shots", folder]),
        ("unknown mode", ["arrays", assets, "3", "walk", folder]),
        ("shots with extra", ["arrays", assets, "3", "shots", folder, "5"]),
    ]
    for why, args in cases:
        p = run(harness, *args, env=env, expect=1)
        if "usage:" not in p.stderr:
            fail(f"{why}: no usage text")
    p = run(harness, "arrays", assets, "99", "shots", folder, env=env, expect=1)
    # A sanitizer build appends its leak-suppression summary below a line of dashes.
    said = p.stderr.split("\n-----")[0].strip()
    if said.count("\n") != 0 or "zone 99" not in said:
        fail(f"missing zone: not one line naming it: {p.stderr!r}")


def main():
    harness, assets, source = sys.argv[1], sys.argv[2], sys.argv[3]
    golden_dir = os.path.join(source, "tests", "reference", "zone")
    server = xserver.Xvfb(640, 480)
    try:
        env = server.env(SDL_AUDIODRIVER="dummy")
        with tempfile.TemporaryDirectory() as folder:
            check_shots(harness, assets, golden_dir, env, folder)
        with tempfile.TemporaryDirectory() as folder:
            check_fly(harness, assets, env, folder)
        with tempfile.TemporaryDirectory() as folder:
            check_errors(harness, assets, env, folder)
    finally:
        server.stop()
    print("FAILED" if failures else "OK")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
