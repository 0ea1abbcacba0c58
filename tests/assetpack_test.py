#!/usr/bin/python3
"""Checks assetpack and localec from the outside.

Every archive the tools build here is read back by the reader in archive_reader.py, written
from the format's description alone.

usage: assetpack_test.py BUILD_DIR SOURCE_DIR
"""
import os
import random
import struct
import subprocess
import sys
import tempfile
import unittest
import zlib

import archive_reader
from archive_reader import read_archive, require_botan, slurp

BUILD = SOURCE = None


def run(*args, check=True):
    result = subprocess.run(list(args), capture_output=True, text=True)
    if check and result.returncode != 0:
        raise AssertionError("%s failed: %s" % (args, result.stderr))
    return result


class Tools(unittest.TestCase):
    def setUp(self):
        require_botan(self)
        self.tmp = tempfile.TemporaryDirectory()
        self.dir = self.tmp.name
        self.assetpack = os.path.join(BUILD, "tools/assetpack")
        self.localec = os.path.join(BUILD, "tools/localec")

    def tearDown(self):
        self.tmp.cleanup()

    def write(self, name, data):
        path = os.path.join(self.dir, name)
        with open(path, "wb" if isinstance(data, bytes) else "w") as f:
            f.write(data)
        return path

    def test_golden_archive_is_rebuilt_byte_for_byte(self):
        golden = os.path.join(SOURCE, "tests/data/golden")
        out = os.path.join(self.dir, "golden.dat")
        run(self.assetpack, "build", out, os.path.join(golden, "manifest.txt"))
        self.assertEqual(slurp(out), slurp(os.path.join(golden, "golden.dat")))
        entries = read_archive(out)
        self.assertEqual(entries[1], slurp(os.path.join(golden, "hello.txt")))
        self.assertEqual(entries[0xC0FFEE], slurp(os.path.join(golden, "pattern.bin")))

    def test_round_trips_through_an_independent_reader(self):
        rng = random.Random(5)
        text = b"The quick brown fox jumps over the lazy dog. " * 300
        cases = {
            1: b"q",
            2: b" " * 5000,
            3: b"\0" * 5000,
            4: text,
            5: bytes(rng.getrandbits(8) for _ in range(10000)),
            6: bytes(rng.getrandbits(8) for _ in range(4095)),
            7: bytes(rng.getrandbits(8) for _ in range(4096)),
            8: bytes(rng.getrandbits(8) for _ in range(4097)),
            9: (text[:3000] + bytes(rng.getrandbits(8) for _ in range(3000)) + b"\0" * 3000) * 4,
            0xFFFFFFFF: b"last id",
        }
        manifest = "# round trips\n" + "".join(
            "%d\tfile%d.bin\n" % (ident, ident) for ident in cases)
        for ident, data in cases.items():
            self.write("file%d.bin" % ident, data)
        out = os.path.join(self.dir, "round.dat")
        run(self.assetpack, "build", out, self.write("manifest.txt", manifest))
        self.assertEqual(read_archive(out), cases)
        run(self.assetpack, "verify", out)
        listing = run(self.assetpack, "list", out).stdout
        for ident in cases:
            self.assertIn("0x%08X" % ident, listing)
        extracted = os.path.join(self.dir, "x")
        os.mkdir(extracted)
        run(self.assetpack, "extract", out, extracted)
        for ident, data in cases.items():
            self.assertEqual(slurp(os.path.join(extracted, "%d.bin" % ident)), data)

    def test_build_is_deterministic_and_salted_by_the_manifest(self):
        self.write("a.bin", b"abcabcabc")
        m1 = self.write("m1.txt", "1 a.bin\n")
        m2 = self.write("m2.txt", "# another manifest\n1 a.bin\n")
        outs = []
        for i, m in enumerate((m1, m1, m2)):
            out = os.path.join(self.dir, "d%d.dat" % i)
            run(self.assetpack, "build", out, m)
            outs.append(slurp(out))
        self.assertEqual(outs[0], outs[1])
        self.assertNotEqual(outs[0][12:16], outs[2][12:16])
        self.assertEqual(read_archive(os.path.join(self.dir, "d2.dat")), {1: b"abcabcabc"})

    def test_refuses_bad_manifests(self):
        self.write("a.bin", b"a")
        self.write("empty.bin", b"")
        cases = {
            "id 0": "0 a.bin\n",
            "duplicate id": "5 a.bin\n6 a.bin\n0x5 a.bin\n",
            "empty entry": "5 empty.bin\n",
            "missing file": "5 nothing.bin\n",
            "bad id": "five a.bin\n",
        }
        for what, manifest in cases.items():
            out = os.path.join(self.dir, "bad.dat")
            result = run(self.assetpack, "build", out, self.write("bad.txt", manifest), check=False)
            self.assertNotEqual(result.returncode, 0, what)
            self.assertTrue(result.stderr, what)
            self.assertFalse(os.path.exists(out), what)
            self.assertFalse(os.path.exists(out + ".tmp"), what)

    def test_verify_reports_a_damaged_archive(self):
        self.write("a.bin", b"x" * 1000)
        out = os.path.join(self.dir, "v.dat")
        run(self.assetpack, "build", out, self.write("m.txt", "1 a.bin\n"))
        blob = bytearray(slurp(out))
        blob[17] ^= 0xFF  # inside the entry's stream
        with open(out, "wb") as f:
            f.write(bytes(blob))
        self.assertNotEqual(run(self.assetpack, "verify", out, check=False).returncode, 0)

    def test_localec_builds_a_table_and_reports_collisions(self):
        source = self.write("l.tsv", "# test\nHELLO\ttext\tHello\\tthere\n0x00000007\tasset\t0x1234\n"
                                     "NUM\tnumber\t42\nAGAIN\ttext\tHello\\tthere\n")
        out = os.path.join(self.dir, "locale.dat")
        run(self.localec, out, source)
        blob = read_archive(out)[1]
        version, _header, count = struct.unpack_from("<3I", blob, 0)
        self.assertEqual((version, count), (2, 4))
        records = [struct.unpack_from("<3I", blob, 12 + 12 * i) for i in range(count)]
        self.assertEqual([r[0] for r in records], sorted(r[0] for r in records))
        strings = blob[12 + 12 * count:].split(b"\0")
        by_key = {r[0]: r for r in records}
        hello = by_key[zlib.crc32(b"HELLO") & 0x7FFFFFFF]
        self.assertEqual(strings[hello[2]], b"Hello\tthere")
        self.assertEqual(by_key[zlib.crc32(b"AGAIN") & 0x7FFFFFFF][2], hello[2])  # shared text
        self.assertEqual(by_key[7][1:], (1, 0x1234))
        self.assertEqual(by_key[zlib.crc32(b"NUM") & 0x7FFFFFFF][1:], (2, 42))

        # "plumless" and "buckeroo" share a CRC-32.
        bad = {
            "hash collision": "plumless\ttext\ta\nbuckeroo\ttext\tb\n",
            "raw key equal to a name's hash": "HELLO\ttext\ta\n0x%08X\ttext\tb\n"
                                              % (zlib.crc32(b"HELLO") & 0x7FFFFFFF),
            "key given twice": "X\ttext\ta\nX\ttext\tb\n",
            "raw key with the top bit": "0x80000000\ttext\ta\n",
            "unknown kind": "X\tcolour\tred\n",
        }
        for what, text in bad.items():
            result = run(self.localec, out + "2", self.write("bad.tsv", text), check=False)
            self.assertNotEqual(result.returncode, 0, what)
            self.assertFalse(os.path.exists(out + "2"), what)
        result = run(self.localec, out + "2", self.write("bad.tsv", bad["hash collision"]), check=False)
        self.assertIn("collision", result.stderr)

    def test_demo_assets_are_complete_and_readable(self):
        assets = os.path.join(BUILD, "assets")
        for name in ("texture", "mesh", "map", "bsp", "light", "anim", "font", "sound", "music",
                     "morph", "locale"):
            read_archive(os.path.join(assets, name + ".dat"))
        blob = read_archive(os.path.join(assets, "locale.dat"))[1]
        count = struct.unpack_from("<I", blob, 8)[0]
        records = {struct.unpack_from("<I", blob, 12 + 12 * i)[0]:
                   struct.unpack_from("<2I", blob, 16 + 12 * i) for i in range(count)}
        strings = blob[12 + 12 * count:].split(b"\0")
        kind, index = records[400901405]
        self.assertEqual((kind, strings[index]), (0, b"127.0.0.1"))
        listing = run(self.assetpack, "list", os.path.join(assets, "locale.dat")).stdout
        self.assertIn("0x00000001", listing)


if __name__ == "__main__":
    BUILD, SOURCE = sys.argv[1], sys.argv[2]
    archive_reader.SOURCE = SOURCE
    unittest.main(argv=sys.argv[:1], verbosity=2)
