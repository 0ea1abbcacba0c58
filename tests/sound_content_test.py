#!/usr/bin/python3
"""Checks the demo sounds and their content build from the outside.

Every recipe of content/sound/recipes.txt is rendered again here by sox with the build's
options and must equal its sound.dat entry byte for byte (so two builds give the same
archive), with the rate and channel count the recipe names as Python's wave module reads
them. The locale names a sound that exists for each interface key. assetpack verify runs the
client's sound decoder: it passes the demo archive and fails one holding a wave the client
refuses. A recipe sox refuses fails with its file and line.

usage: sound_content_test.py BUILD_DIR SOURCE_DIR
"""
import io
import os
import struct
import subprocess
import sys
import tempfile
import unittest
import wave

import archive_reader
from archive_reader import read_archive, require_botan

BUILD = SOURCE = None
INTERFACE_KEYS = (0x3D18E43D, 0x72C42402, 0x06E863AD)


def recipes():
    out = []
    with open(os.path.join(SOURCE, "content/sound/recipes.txt")) as f:
        for number, line in enumerate(f, 1):
            fields = line.split()
            if not fields or fields[0].startswith("#"):
                continue
            out.append((number, int(fields[0], 0), fields[1], int(fields[2]), int(fields[3]), fields[4:]))
    return out


def sox_render(path, rate, channels, effects):
    return subprocess.run(["sox", "-R", "-D", "-n", "-r", str(rate), "-c", str(channels), "-b", "16",
                           "-e", "signed-integer", path] + effects, capture_output=True, text=True)


def locale_assets(blob):
    count = struct.unpack_from("<I", blob, 8)[0]
    records = [struct.unpack_from("<3I", blob, 12 + 12 * i) for i in range(count)]
    return {key: value for key, kind, value in records if kind == 1}


class SoundContent(unittest.TestCase):
    def setUp(self):
        require_botan(self)
        self.tmp = tempfile.TemporaryDirectory()
        self.dir = self.tmp.name
        self.assetpack = os.path.join(BUILD, "tools/assetpack")
        self.sound_dat = os.path.join(BUILD, "assets/sound.dat")

    def tearDown(self):
        self.tmp.cleanup()

    def test_entries_equal_a_fresh_render_of_their_recipe(self):
        entries = read_archive(self.sound_dat)
        seen = set()
        for number, sound_id, name, rate, channels, effects in recipes():
            with self.subTest(line=number, name=name):
                path = os.path.join(self.dir, name + ".wav")
                self.assertEqual(sox_render(path, rate, channels, effects).returncode, 0)
                with open(path, "rb") as f:
                    fresh = f.read()
                self.assertEqual(entries[sound_id], fresh)
                with wave.open(io.BytesIO(fresh)) as w:
                    self.assertEqual((w.getframerate(), w.getnchannels(), w.getsampwidth()), (rate, channels, 2))
                    self.assertGreater(w.getnframes(), 0)
                self.assertEqual(len(fresh), 44 + w.getnframes() * channels * 2, "canonical header only")
                seen.add((rate, channels))
        self.assertGreater(len({r for r, _ in seen}), 2, "rates vary")
        self.assertEqual({c for _, c in seen}, {1, 2}, "mono and stereo")

    def test_locale_names_a_sound_for_each_interface_key(self):
        entries = read_archive(self.sound_dat)
        assets = locale_assets(read_archive(os.path.join(BUILD, "assets/locale.dat"))[1])
        for key in INTERFACE_KEYS:
            with self.subTest(key=hex(key)):
                self.assertIn(assets.get(key, 0), entries)

    def test_verify_decodes_sounds(self):
        result = subprocess.run([self.assetpack, "verify", self.sound_dat], capture_output=True, text=True)
        self.assertEqual(result.returncode, 0, result.stderr)
        good = os.path.join(self.dir, "good.wav")
        self.assertEqual(sox_render(good, 22050, 1, ["synth", "0.01", "sine", "440"]).returncode, 0)
        cases = {
            "22050 Hz 16-bit mono": (["-b", "16"], 0),
            "8-bit": (["-b", "8", "-e", "unsigned-integer"], 1),
            "unaccepted rate": (["-r", "12000", "-b", "16"], 1),
        }
        for what, (options, refused) in cases.items():
            with self.subTest(what):
                folder = os.path.join(self.dir, what.replace(" ", "_"))
                os.mkdir(folder)
                subprocess.run(["sox", "-R", "-D", good] + options + [os.path.join(folder, "a.wav")], check=True)
                manifest = os.path.join(folder, "manifest.txt")
                with open(manifest, "w") as f:
                    f.write("7 a.wav\n")
                archive = os.path.join(folder, "sound.dat")
                subprocess.run([self.assetpack, "build", archive, manifest], check=True, capture_output=True)
                result = subprocess.run([self.assetpack, "verify", archive], capture_output=True, text=True)
                self.assertEqual(result.returncode != 0, bool(refused), result.stderr)
                if refused:
                    self.assertIn("0x00000007", result.stderr)

    def test_a_refused_recipe_fails_naming_its_line(self):
        out = os.path.join(self.dir, "bad.wav")
        result = subprocess.run(["cmake", "-DSOX=sox", "-DOUT=" + out, "-DRATE=22050", "-DCHANNELS=1",
                                 "-DEFFECTS=synth;0.1;no_such_wave", "-DWHERE=recipes.txt:17", "-P",
                                 os.path.join(SOURCE, "content/sound/recipe.cmake")],
                                capture_output=True, text=True)
        self.assertNotEqual(result.returncode, 0)
        self.assertIn("recipes.txt:17", result.stderr)
        self.assertFalse(os.path.exists(out))


if __name__ == "__main__":
    BUILD, SOURCE = sys.argv[1], sys.argv[2]
    archive_reader.SOURCE = SOURCE
    unittest.main(argv=sys.argv[:1], verbosity=2)
