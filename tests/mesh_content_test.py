#!/usr/bin/python3
"""Checks meshbuild and the demo meshes from the outside, with a mesh reader written here
from the file layout.

Every mesh.dat entry must have exactly the length its counts give, bounds equal to those of
its vertices, indices below its vertex count, unit normals as signed bytes that face the
same way as their triangles (clockwise seen from the front), and a closed surface that
encloses a positive volume on its outer side. The recipes' ids are all present; characters
are skinned, props are not. meshbuild run twice gives the same bytes as the archive; it
refuses bad descriptions naming file, line and field.

usage: mesh_content_test.py BUILD_DIR SOURCE_DIR
"""
import os
import struct
import subprocess
import sys
import tempfile
import unittest

import numpy as np

import archive_reader
from archive_reader import read_archive, require_botan

BUILD = SOURCE = None


def recipes():
    out = []
    with open(os.path.join(SOURCE, "content/mesh/recipes.txt")) as f:
        for line in f:
            fields = line.split()
            if fields and not fields[0].startswith("#"):
                out.append((int(fields[0], 0), fields[1], fields[2], fields[3:]))
    return out


def read_mesh(blob):
    """The mesh's fields as numpy arrays, from the layout alone; raises on a length fault."""
    flags, v, t = struct.unpack_from("<3I", blob, 0)
    lo = np.array(struct.unpack_from("<3f", blob, 12))
    hi = np.array(struct.unpack_from("<3f", blob, 24))
    fields = []
    if flags & 1:
        fields.append(("uv", "<f4", (2,)))
    if flags & 2:
        fields.append(("colour", "<u4"))
    if flags & 4:
        fields.append(("normal", "i1", (3,)))
    if flags & 8:
        fields += [("bones", "<u2", (4,)), ("weights", "<f4", (4,))]
    fields.append(("position", "<f4", (3,)))
    vertex = np.dtype(fields)
    assert 1 <= v <= 65536 and t <= 0x100000, (v, t)
    assert len(blob) == 36 + v * vertex.itemsize + 12 * t, "length does not match the counts"
    vertices = np.frombuffer(blob, vertex, v, 36)
    indices = np.frombuffer(blob, "<u4", 3 * t, 36 + v * vertex.itemsize).reshape(t, 3)
    return flags, lo, hi, vertices, indices


class MeshContent(unittest.TestCase):
    def setUp(self):
        require_botan(self)
        self.entries = read_archive(os.path.join(BUILD, "assets/mesh.dat"))
        self.meshbuild = os.path.join(BUILD, "tools/meshbuild")

    def test_every_entry_reads_back_whole(self):
        self.assertTrue(self.entries)
        for ident, blob in sorted(self.entries.items()):
            with self.subTest(mesh=ident):
                flags, lo, hi, vertices, indices = read_mesh(blob)
                p = vertices["position"].astype(np.float64)
                np.testing.assert_array_equal(lo, p.min(axis=0))
                np.testing.assert_array_equal(hi, p.max(axis=0))
                self.assertTrue((indices < len(vertices)).all())
                self.assertEqual(flags & 0x16, 0x06 & 0x16, "raw colours and normals, never quantised")
                n = vertices["normal"].astype(np.float64)
                np.testing.assert_allclose(np.linalg.norm(n, axis=1), 127, atol=1.5)
                # Clockwise seen from the front: the right-handed cross product points back.
                a, b, c = p[indices[:, 0]], p[indices[:, 1]], p[indices[:, 2]]
                front = -np.cross(b - a, c - a)
                for k in range(3):
                    facing = (front * n[indices[:, k]]).sum(axis=1)
                    self.assertTrue((facing > 0).all(), "a stored normal faces away from its triangle")
                volume = -(a * np.cross(b, c)).sum() / 6
                self.assertGreater(volume, 0, "the surface is wound inside out")
                if flags & 8:
                    self.assertTrue((vertices["weights"][:, 0] == 1).all())

    def test_recipes_give_the_archive_bytes_twice(self):
        for ident, name, source, params in recipes():
            with self.subTest(mesh=name):
                self.assertIn(ident, self.entries)
                flags = struct.unpack_from("<I", self.entries[ident])[0]
                self.assertEqual(bool(flags & 8), ident < 100, "characters skinned, props static")
                if source.endswith(".txt"):
                    source = os.path.join(SOURCE, "content/mesh", source)
                outputs = []
                with tempfile.TemporaryDirectory() as tmp:
                    for run in range(2):
                        out = os.path.join(tmp, "%d.mesh" % run)
                        subprocess.run([self.meshbuild, out, source] + params, check=True)
                        outputs.append(archive_reader.slurp(out))
                self.assertEqual(outputs[0], outputs[1])
                self.assertEqual(outputs[0], self.entries[ident])

    def test_bad_descriptions_name_line_and_field(self):
        cases = [
            ("v 0 0 0\nv 1 0 0\nv 0 1 0\nt 0 1 3\n", ":4: C:"),
            ("v 0 0 0\nv 1 0 nan\n", ":2: z:"),
            ("# comment\nv 0 0 0 normal 0 0 0\n", ":2: normal:"),
            ("v 0 0 0 bone 70000\n", ":1: bone:"),
            ("v 0 0 0 glow 1\n", ":1: glow:"),
            ("v 0 0 0\nquad 0 0 0 0\n", ":2: quad:"),
            ("", "vertex count 0"),
        ]
        with tempfile.TemporaryDirectory() as tmp:
            source, out = os.path.join(tmp, "bad.txt"), os.path.join(tmp, "bad.mesh")
            for text, expected in cases:
                with self.subTest(text=text):
                    with open(source, "w") as f:
                        f.write(text)
                    r = subprocess.run([self.meshbuild, out, source], capture_output=True, text=True)
                    self.assertEqual(r.returncode, 1)
                    self.assertIn(expected, r.stderr)
                    self.assertFalse(os.path.exists(out))


if __name__ == "__main__":
    BUILD, SOURCE = sys.argv[1], sys.argv[2]
    archive_reader.SOURCE = SOURCE
    unittest.main(argv=sys.argv[:1], verbosity=2)
