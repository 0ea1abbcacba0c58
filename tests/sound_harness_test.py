#!/usr/bin/python3
"""The client's sound path end to end through SDL audio, and the game with its sound on.

tests/sound_harness plays a sound of no zero sample from an archive built here. Under SDL's
disk driver the whole output stream lands in a file; with the zeros removed (the device's
silence before and after the sound, whose length depends on timing) it must equal exactly
the mix numpy computes here from the mixer's rules: a 5 ms (110-sample) ramp of the voice's
gain from 0 to full, and the one-shot's 5 ms fades at both ends, in Q15 with arithmetic
shifts and divisions that truncate. The dummy driver plays it too; a driver that does not
exist leaves sound off. The game with sound turned on in its settings starts and ends
promptly on a close request under the disk and dummy drivers and under one that does not
exist.

usage: sound_harness_test.py HARNESS GAME ASSETPACK
"""
import os
import subprocess
import sys
import wave

import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from checks import check, finish, private_folder  # noqa: E402

HARNESS, GAME, ASSETPACK = sys.argv[1:4]
RAMP = 22050 // 1000 * 5
SOUND_ID = 0x51


def demo_samples():
    t = np.arange(3000)
    s = np.round(9000 * np.sin(2 * np.pi * 440 * t / 22050) + 4000 * np.sin(2 * np.pi * 1234 * t / 22050))
    s = s.astype(np.int64)
    s[s == 0] = 7
    # Full scale at both signs, where a wrong shift or a missing saturation shows.
    s[1000:1010] = 32767
    s[1010:1020] = -32768
    return s


def expected_mix(s):
    n = len(s)
    p = np.arange(n)
    gain = np.where(p < RAMP, 32768 * (p + 1) // RAMP, 32768)
    value = (s * gain) >> 15
    edge = np.minimum(p, n - 1 - p)
    faded = value * edge
    faded = np.sign(faded) * (np.abs(faded) // RAMP)
    value = np.where(edge < RAMP, faded, value)
    return np.clip(value, -32768, 32767)


def nonzero(a):
    return a[a != 0]


folder = private_folder("ostrevane-sound-")
samples = demo_samples()
with wave.open(os.path.join(folder, "demo.wav"), "wb") as w:
    w.setnchannels(1)
    w.setsampwidth(2)
    w.setframerate(22050)
    w.writeframes(samples.astype("<i2").tobytes())
with open(os.path.join(folder, "manifest.txt"), "w") as f:
    f.write("%d demo.wav\n" % SOUND_ID)
subprocess.run([ASSETPACK, "build", os.path.join(folder, "sound.dat"), os.path.join(folder, "manifest.txt")],
               check=True, capture_output=True)


def run_harness(driver, **extra):
    env = dict(os.environ, SDL_AUDIODRIVER=driver, **extra)
    return subprocess.run([HARNESS, folder, str(SOUND_ID)], env=env, capture_output=True, text=True, timeout=60)


capture = os.path.join(folder, "capture.raw")
r = run_harness("disk", SDL_DISKAUDIOFILE=capture)
check("disk driver: the harness plays the sound to its end", r.returncode == 0, r.stderr)
got = np.fromfile(capture, dtype="<i2").astype(np.int64) if os.path.exists(capture) else np.zeros(0, np.int64)
want = nonzero(expected_mix(samples))
got_nonzero = nonzero(got)
check("disk capture, zeros removed, equals the numpy mix exactly",
      len(got_nonzero) == len(want) and np.array_equal(got_nonzero, want),
      "captured %d non-zero samples of %d, expected %d" % (len(got_nonzero), len(got), len(want)))
check("the capture holds silence around the sound only", len(got) >= len(samples), len(got))

r = run_harness("dummy")
check("dummy driver: the sound plays to its end", r.returncode == 0, r.stderr)
r = run_harness("no_such_driver")
check("a driver that does not exist leaves sound off", r.returncode == 2, (r.returncode, r.stderr))

# The game with sound on: it starts, runs frames and ends promptly on a close request.
display = os.environ.get("DISPLAY")
if display:
    import xwindow  # noqa: E402

    home = private_folder("ostrevane-home-")
    settings = os.path.join(home, "sound.ini")
    with open(settings, "w") as f:
        f.write("[Display]\nDISPLAY_MODE=0\nDISPLAY_WIDTH=640\nDISPLAY_HEIGHT=480\n"
                "[Sound]\nMASTER_ENABLED=1\nEFFECT_ENABLED=1\nAMBIENT_ENABLED=1\n")
    for driver in ("disk", "dummy", "no_such_driver"):
        env = dict(os.environ, HOME=home, SDL_AUDIODRIVER=driver,
                   SDL_DISKAUDIOFILE=os.path.join(home, "game.raw"))
        game = subprocess.Popen([GAME, "-c", settings], env=env, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, text=True)
        try:
            # Generous: on a loaded machine the first frame of a fresh process can take a while.
            window = xwindow.wait_for_window("Ostrevane Client", timeout=60, proc=game)
            code = xwindow.close_and_wait(window, game)
            check("game under the %s driver ends with 0 on a close request" % driver, code == 0,
                  "exit %s: %s" % (code, game.stderr.read() if code is not None else ""))
        except Exception as e:  # a hang or a missing window is a failure, not a crash of the test
            check("game under the %s driver ends with 0 on a close request" % driver, False, repr(e))
        finally:
            if game.poll() is None:
                game.kill()
                game.wait()
else:
    check("an X display for the game runs", False, "DISPLAY is not set")

finish()
