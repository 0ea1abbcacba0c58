#!/usr/bin/python3
"""Checks the zone builders and the demo zones from the outside.

Map, BSP and texture entries are read with a reader written here from the file layouts
(numpy record types), archives with archive_reader.py, textures with PIL, and the normal
table from tests/data/normal_table.txt. Every guarantee the builders give is checked
against the bytes: ascending material keys, face groups in exactly one leaf and at most 256
vertices, indices inside their group, node bounds holding everything below them, collision
triangles in every leaf whose region they cross (by clipping the triangle against the
leaf's half-spaces), normals near the faces that use them, cells whose BSP and textures
exist and agree in material count, seamless terrain, and the demo zones' promises.

usage: zone_content_test.py BUILD_DIR SOURCE_DIR
"""
import io
import math
import os
import struct
import subprocess
import sys
import unittest

import numpy as np

import archive_reader
from archive_reader import botan2, read_archive, slurp
from checks import private_folder

try:
    from PIL import Image
except ImportError:
    Image = None

BUILD = SOURCE = None

NODE = np.dtype([("leaf", "<i4"), ("back", "<i4"), ("front", "<i4"), ("plane", "<f4", 4), ("min", "<f4", 3),
                 ("max", "<f4", 3), ("gcount", "<u4"), ("gfirst", "<u4"), ("tcount", "<u4"), ("tfirst", "<u4")])
GROUP = np.dtype([("material", "<u2"), ("vcount", "<u2"), ("tcount", "<u4"), ("vfirst", "<u4"), ("ifirst", "<u4"),
                  ("min", "<f4", 3), ("max", "<f4", 3)])
TRIANGLE = np.dtype([("material", "<u2"), ("flags", "<u4"), ("surface", "<u4"), ("corners", "<u4", 3),
                     ("vectors", "<f4", 6)])
VERTEX = np.dtype([("pos", "<f4", 3), ("colour", "<u4"), ("light", "<u4"), ("normal", "<u4"), ("uv", "<f4", 2)])
assert (NODE.itemsize, GROUP.itemsize, TRIANGLE.itemsize, VERTEX.itemsize) == (68, 40, 46, 32)

MAP_HEADER = struct.Struct("<I32s3f4fII2f6I")
assert MAP_HEADER.size == 104


def normal_table():
    rows = []
    with open(os.path.join(SOURCE, "tests/data/normal_table.txt")) as f:
        for line in f:
            if line.strip() and not line.startswith("#"):
                rows.append([int(v) for v in line.split()[1:]])
    table = np.array(rows, dtype=np.float64)
    assert table.shape == (256, 3)
    return table / np.linalg.norm(table, axis=1)[:, None]


def read_map(blob):
    fields = MAP_HEADER.unpack_from(blob, 0)
    m = dict(zip(("id", "name", "r", "g", "b", "near", "far", "fog_start", "nominal_far", "word", "bsp",
                  "origin_x", "origin_z", "columns", "rows", "cell_size", "reserved", "materials", "props"), fields))
    assert len(blob) == 104 + 4 * m["materials"] + 140 * m["props"], "map length"
    m["textures"] = list(struct.unpack_from("<%dI" % m["materials"], blob, 104))
    m["name"] = m["name"].split(b"\0")[0].decode()
    return m


def read_bsp(blob):
    magic, version, M, N, G, K, V, I = struct.unpack_from("<4s7I", blob, 0)
    assert magic == b"BSP2" and version == 4
    assert len(blob) == 32 + 2 * M + 68 * N + 40 * G + 46 * K + 32 * V + 2 * I, "BSP length"
    at = 32
    bsp = {}
    for name, dtype, count in (("keys", np.dtype("<u2"), M), ("nodes", NODE, N), ("groups", GROUP, G),
                               ("triangles", TRIANGLE, K), ("vertices", VERTEX, V), ("indices", np.dtype("<u2"), I)):
        bsp[name] = np.frombuffer(blob, dtype=dtype, count=count, offset=at)
        at += dtype.itemsize * count
    return bsp


def clip(polygon, normal, d, sign):
    """The part of a polygon where sign * (normal . p + d) >= 0.001."""
    out = []
    n = len(polygon)
    for i in range(n):
        a, b = polygon[i], polygon[(i + 1) % n]
        sa = sign * (np.dot(normal, a) + d) - 1e-3
        sb = sign * (np.dot(normal, b) + d) - 1e-3
        if sa >= 0:
            out.append(a)
        if (sa >= 0) != (sb >= 0):
            out.append(a + (b - a) * (sa / (sa - sb)))
    return out


def check_bsp(test, bsp, table, label):
    """Every guarantee of the BSP builder, against the bytes."""
    keys, nodes, groups, tris, verts, indices = (bsp[k] for k in ("keys", "nodes", "groups", "triangles",
                                                                   "vertices", "indices"))
    test.assertTrue(np.all(np.diff(keys.astype(int)) > 0), label + ": keys ascend")
    pos = verts["pos"].astype(np.float64)
    # The tree: walk from the root with each leaf's region.
    owner = np.full(len(groups), -1)
    leaves = []
    stack = [(0, 1, [])]
    seen = 0
    while stack:
        index, depth, region = stack.pop()
        seen += 1
        test.assertLessEqual(depth, 1024, label)
        node = nodes[index]
        if node["back"] < 0 and node["front"] < 0:
            leaves.append((index, region))
            for g in range(node["gfirst"], node["gfirst"] + node["gcount"]):
                test.assertEqual(owner[g], -1, label + ": a group in two leaves")
                owner[g] = index
            continue
        test.assertEqual((node["gcount"], node["tcount"]), (0, 0), label + ": internal nodes hold nothing")
        plane = node["plane"].astype(np.float64)
        if node["front"] >= 0:
            stack.append((node["front"], depth + 1, region + [(plane, 1.0)]))
        if node["back"] >= 0:
            stack.append((node["back"], depth + 1, region + [(plane, -1.0)]))
    test.assertEqual(seen, len(nodes), label + ": one tree")
    test.assertTrue(np.all(owner >= 0), label + ": every group in a leaf")

    # Groups: size, indices, bounds, normals near every face using a vertex.
    cos40 = math.cos(math.radians(40))
    for g in groups:
        test.assertLessEqual(g["vcount"], 256, label)
        idx = indices[g["ifirst"]:g["ifirst"] + 3 * g["tcount"]].astype(np.int64)
        test.assertTrue(np.all(idx < g["vcount"]), label + ": index inside its group")
        p = pos[g["vfirst"]:g["vfirst"] + g["vcount"]]
        test.assertTrue(np.allclose(p.min(axis=0), g["min"]) and np.allclose(p.max(axis=0), g["max"]), label)
        corners = p[idx.reshape(-1, 3)]
        # Front faces run clockwise seen from their front: the renderer culls the others.
        face = np.cross(corners[:, 2] - corners[:, 0], corners[:, 1] - corners[:, 0])
        face /= np.linalg.norm(face, axis=1)[:, None]
        normals = table[verts["normal"][g["vfirst"]:g["vfirst"] + g["vcount"]][idx.reshape(-1, 3)]]
        dots = np.einsum("tk,tck->tc", face, normals)
        test.assertTrue(np.all(dots > cos40), label + ": normal index near the faces (min %.3f)" % dots.min())

    # Bounds contain everything below: check each leaf's contents against all its ancestors
    # by checking node bounds against children and leaves against their contents.
    def inside(lo, hi, node):
        return np.all(lo >= node["min"] - 1e-4) and np.all(hi <= node["max"] + 1e-4)
    for node in nodes:
        for child in (node["back"], node["front"]):
            if child >= 0 and (nodes[child]["gcount"] or nodes[child]["tcount"] or
                               nodes[child]["back"] >= 0 or nodes[child]["front"] >= 0):
                test.assertTrue(inside(nodes[child]["min"], nodes[child]["max"], node), label + ": child bounds")
    for index, _ in leaves:
        node = nodes[index]
        for g in groups[node["gfirst"]:node["gfirst"] + node["gcount"]]:
            test.assertTrue(inside(g["min"], g["max"], node), label + ": group bounds")
        for t in tris[node["tfirst"]:node["tfirst"] + node["tcount"]]:
            c = pos[t["corners"]]
            test.assertTrue(inside(c.min(axis=0), c.max(axis=0), node), label + ": triangle bounds")

    # Collision triangles: every leaf whose region a triangle crosses lists it.
    unique = {}
    for t in tris:
        unique.setdefault((tuple(t["corners"]), t["flags"]), t)
    listed = {index: set((tuple(t["corners"]), t["flags"]) for t in tris[nodes[index]["tfirst"]:
                         nodes[index]["tfirst"] + nodes[index]["tcount"]]) for index, _ in leaves}
    for key, t in unique.items():
        c = pos[t["corners"]]
        for index, region in leaves:
            polygon = list(c)
            for plane, sign in region:
                s = sign * (c @ plane[:3] + plane[3])
                if np.all(s >= 1e-3):
                    continue
                if np.all(s < 1e-3):
                    polygon = []
                    break
                polygon = clip(polygon, plane[:3], plane[3], sign)
                if not polygon:
                    break
            if polygon:
                test.assertIn(key, listed[index], label + ": collision triangle missing from a leaf it crosses")
    # Corners point at positions of the render vertices, shade bytes at their shades.
    for t in unique.values():
        shades = [(verts["light"][v] >> 24) for v in t["corners"]]
        test.assertEqual(t["surface"] & 0xFFFFFF, shades[0] | shades[1] << 8 | shades[2] << 16, label)


def run(*args, check=True):
    result = subprocess.run([str(a) for a in args], capture_output=True, text=True)
    if check and result.returncode != 0:
        raise AssertionError("%s failed: %s" % (args, result.stderr))
    return result


def needs_references(test):
    missing = [name for name, module in (("python3-botan", botan2), ("python3-pil", Image)) if module is None]
    if missing:
        if os.environ.get("CI") == "true":
            test.fail("missing: " + ", ".join(missing))
        test.skipTest("missing: " + ", ".join(missing))


class DemoZones(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        assets = os.path.join(BUILD, "assets")
        cls.maps = cls.bsps = cls.textures = None
        if botan2 is not None:
            cls.maps = {i: read_map(b) for i, b in read_archive(os.path.join(assets, "map.dat")).items()}
            cls.bsps = {i: read_bsp(b) for i, b in read_archive(os.path.join(assets, "bsp.dat")).items()}
            cls.textures = read_archive(os.path.join(assets, "texture.dat"))
        cls.table = normal_table()

    def setUp(self):
        needs_references(self)

    def cells(self, zone):
        z = self.maps[zone]
        for c in range(z["columns"]):
            for r in range(z["rows"]):
                yield c, r, zone << 16 | c << 8 | r

    def test_every_cell_has_its_bsp_and_textures(self):
        self.assertTrue({1, 2, 3} <= set(self.maps))
        for zone in (1, 2, 3):
            z = self.maps[zone]
            self.assertEqual(z["id"], zone)
            for c, r, ident in self.cells(zone):
                cell = self.maps[ident]
                self.assertEqual(cell["id"], ident)
                self.assertIn(cell["bsp"], self.bsps, "cell %d,%d" % (c, r))
                bsp = self.bsps[cell["bsp"]]
                self.assertEqual(len(bsp["keys"]), cell["materials"], "material counts agree")
                for t in cell["textures"]:
                    self.assertIn(t, self.textures)
                    self.assertTrue(1000 <= t <= 1999)
        for ident, blob in self.textures.items():
            image = Image.open(io.BytesIO(blob))
            w, h = image.size
            self.assertTrue(w & (w - 1) == 0 and h & (h - 1) == 0, "texture %d is %dx%d" % (ident, w, h))

    def test_every_bsp_keeps_the_builders_guarantees(self):
        for ident, bsp in sorted(self.bsps.items()):
            check_bsp(self, bsp, self.table, "bsp 0x%08X" % ident)

    def test_placeholder_zone(self):
        z = self.maps[1]
        self.assertEqual((z["cell_size"], z["materials"], z["props"]), (0, 0, 0))
        self.assertEqual((z["r"], z["g"], z["b"]), (0, 0, 0))

    def surface_under(self, zone, x, z, below):
        """The highest collidable surface under (x, z) at or below `below`."""
        best = -math.inf
        for _, _, ident in self.cells(zone):
            bsp = self.bsps[self.maps[ident]["bsp"]]
            pos = bsp["vertices"]["pos"].astype(np.float64)
            for t in bsp["triangles"]:
                if t["flags"] & 1:
                    continue
                a, b, c = pos[t["corners"]]
                det = (b[0] - a[0]) * (c[2] - a[2]) - (c[0] - a[0]) * (b[2] - a[2])
                if abs(det) < 1e-9:
                    continue
                u = ((x - a[0]) * (c[2] - a[2]) - (c[0] - a[0]) * (z - a[2])) / det
                v = ((b[0] - a[0]) * (z - a[2]) - (x - a[0]) * (b[2] - a[2])) / det
                if u < -1e-6 or v < -1e-6 or u + v > 1 + 1e-6:
                    continue
                y = a[1] + u * (b[1] - a[1]) + v * (c[1] - a[1])
                if y <= below + 0.01:
                    best = max(best, y)
        return best

    def test_login_background_floor_and_low_surroundings(self):
        z = self.maps[2]
        self.assertEqual(z["word"] & 1, 1)
        self.assertLess(max(z["r"], z["g"], z["b"]), 0.8, "night colours")
        self.assertAlmostEqual(self.surface_under(2, 55, -75, 11.025), 11.025, places=4)
        highest = max(float(self.bsps[self.maps[i]["bsp"]]["vertices"]["pos"][:, 1].max())
                      for _, _, i in self.cells(2))
        self.assertLess(highest, 13, "nothing towers over the preview")

    def test_demo_zone_promises(self):
        z = self.maps[3]
        self.assertGreaterEqual((z["columns"], z["rows"]), (4, 4))
        self.assertEqual(z["cell_size"], 64)
        self.assertEqual(z["word"], 3)
        keys = set()
        alphas = set()
        shades = []
        lights = 0
        for c, r, ident in self.cells(3):
            bsp = self.bsps[self.maps[ident]["bsp"]]
            keys |= set(int(k) for k in bsp["keys"])
            alphas |= set(int(a) for a in bsp["vertices"]["colour"] >> 24)
            shades.extend(int(s) for s in bsp["vertices"]["light"] >> 24)
            lights += int(np.count_nonzero(bsp["vertices"]["light"] & 0xFFFFFF))
        self.assertTrue({0x10, 0x20, 0x30, 0x40} <= keys, "meadow, path, rock and building materials")
        self.assertIn(0x8020, keys, "a transition material")
        self.assertTrue({0, 128} <= alphas, "the transition fades")
        self.assertLess(min(shades), 140, "shadows")
        self.assertGreater(max(shades), 220, "sunlit ground")
        self.assertGreater(lights, 20, "lamp light")
        # Textures: each material key has one texture in every cell that uses it.
        by_key = {}
        for _, _, ident in self.cells(3):
            cell = self.maps[ident]
            for k, t in zip(self.bsps[cell["bsp"]]["keys"], cell["textures"]):
                by_key.setdefault(int(k), set()).add(t)
        self.assertTrue(all(len(t) == 1 for t in by_key.values()), by_key)

    def test_movement_playground(self):
        """The playground's slopes, flags and winding, from the triangles of zone 3 alone."""
        slopes, flags = [], set()
        for c, r, ident in self.cells(3):
            bsp = self.bsps[self.maps[ident]["bsp"]]
            pos = bsp["vertices"]["pos"].astype(np.float64)
            for t in bsp["triangles"]:
                a, b, c3 = (pos[i] for i in t["corners"])
                n = np.cross(b - a, c3 - a)
                length = np.linalg.norm(n)
                centre = (a + b + c3) / 3
                if length < 1e-9 or not (136 <= centre[0] <= 200 and 50 <= centre[2] <= 107):
                    continue
                flags.add(int(t["flags"]))
                # Clockwise seen from the front: the front of the ramps faces up, so the
                # corners' normal points down.
                if n[1] < 0:
                    slopes.append(round(math.degrees(math.acos(-n[1] / length))))
        self.assertIn(30, slopes, "the 30-degree ramp")
        self.assertIn(50, slopes, "the 50-degree ramp")
        self.assertIn(1, flags, "an uncollidable wall")
        self.assertIn(8, flags, "a square left out of shade sampling")

    def test_terrain_is_continuous_across_seams(self):
        z = self.maps[3]
        size = z["cell_size"]
        seams = 0
        for c, r, ident in self.cells(3):
            here = self.bsps[self.maps[ident]["bsp"]]["vertices"]
            for dc, dr, axis in ((1, 0, 0), (0, 1, 2)):
                if c + dc >= z["columns"] or r + dr >= z["rows"]:
                    continue
                there = self.bsps[self.maps[3 << 16 | (c + dc) << 8 | (r + dr)]["bsp"]]["vertices"]
                edge = (z["origin_x"], z["origin_z"])[axis // 2] + size * ((c, r)[axis // 2] + 1)

                def on_edge(vertices):
                    points = {}
                    for v in vertices:
                        if v["pos"][axis] == edge and v["colour"] >> 24 == 128:
                            points.setdefault((float(v["pos"][0]), float(v["pos"][2])), set()).add(float(v["pos"][1]))
                    return points
                a, b = on_edge(here), on_edge(there)
                shared = set(a) & set(b)
                self.assertGreaterEqual(len(shared), size // 4, "edge vertices on both sides")
                for key in shared:
                    self.assertTrue(a[key] & b[key], "equal heights at %s" % (key,))
                seams += 1
        self.assertEqual(seams, 2 * 4 * 3)

    def test_spawn_lies_on_the_ground(self):
        with open(os.path.join(SOURCE, "content/zones/zone3.txt")) as f:
            spawn = [l.split()[1:] for l in f if l.startswith("spawn ")]
        self.assertEqual(len(spawn), 1)
        x, y, zz, heading = (float(v) for v in spawn[0])
        ground = self.surface_under(3, x, zz, y)
        self.assertTrue(0 <= y - ground <= 0.5, "spawn %.3f above ground %.3f" % (y, ground))


class Builders(unittest.TestCase):
    def setUp(self):
        needs_references(self)
        self.dir = private_folder("zone_builders")
        self.bspbuild = os.path.join(BUILD, "tools/bspbuild")
        self.zonebuild = os.path.join(BUILD, "tools/zonebuild")
        self.table = normal_table()

    def write(self, name, text):
        path = os.path.join(self.dir, name)
        with open(path, "w") as f:
            f.write(text)
        return path

    def bsp(self, text):
        out = os.path.join(self.dir, "out.bsp")
        run(self.bspbuild, out, self.write("in.txt", text))
        bsp = read_bsp(slurp(out))
        check_bsp(self, bsp, self.table, "bspbuild")
        return bsp

    @staticmethod
    def corner(x, y, z, shade=255, normal=(0, 1, 0), alpha=0x80):
        return "corner %g %g %g 0 0 0x%02XFFFFFF 0x000000 %d %g %g %g\n" % (x, y, z, alpha, shade, *normal)

    def quads(self, key, x0, z0, n, size=1.0):
        text = ""
        for i in range(n):
            for j in range(n):
                x, z = x0 + i * size, z0 + j * size
                text += "triangle %d 0\n" % key + self.corner(x, 0, z) + self.corner(x + size, 0, z + size) + \
                    self.corner(x, 0, z + size)
                text += "triangle %d 0\n" % key + self.corner(x, 0, z) + self.corner(x + size, 0, z) + \
                    self.corner(x + size, 0, z + size)
        return text

    def test_builder_table(self):
        # A long triangle across many small ones: it straddles splits and must be listed in
        # every leaf it crosses (check_bsp clips it against each region).
        straddling = "material 1\n" + self.quads(1, 0, 0, 12) + "triangle 1 0\n" + \
            self.corner(-1, 0.5, -1) + self.corner(13, 0.5, 6) + self.corner(-1, 0.5, 13)
        bsp = self.bsp(straddling)
        self.assertGreater(len(bsp["nodes"]), 1)
        self.assertGreater(len(bsp["triangles"]), 289, "the big triangle in several leaves")

        # 150 separate triangles of one material: 450 vertices, groups of at most 256.
        many = "material 7\n" + "".join(
            "triangle 7 0\n" + self.corner(i * 3, 0, 0) + self.corner(i * 3 + 1, 0, 1) + self.corner(i * 3, 0, 1)
            for i in range(100))
        bsp = self.bsp(many)
        self.assertEqual(int(bsp["groups"]["vcount"].sum()), 300)
        self.assertGreaterEqual(len(bsp["groups"]), 2)

        unsorted = "material 0x8001\nmaterial 3\nmaterial 2\n" + self.quads(0x8001, 0, 0, 1) + \
            self.quads(3, 2, 0, 1) + self.quads(2, 4, 0, 1)
        bsp = self.bsp(unsorted)
        self.assertEqual(list(bsp["keys"]), [2, 3, 0x8001])
        mats = {int(g["material"]) for g in bsp["groups"]}
        self.assertEqual(mats, {0, 1, 2})

        one = self.bsp("material 5\ntriangle 5 9\n" + self.corner(0, 0, 0, 10) + self.corner(1, 0, 1, 20) +
                       self.corner(0, 0, 1, 30))
        self.assertEqual((len(one["nodes"]), len(one["groups"]), len(one["triangles"])), (1, 1, 1))
        self.assertEqual(int(one["triangles"][0]["surface"]), 10 | 20 << 8 | 30 << 16)
        self.assertEqual(int(one["triangles"][0]["flags"]), 9)
        self.assertEqual(len(one["vertices"]), 3)

        empty = self.bsp("# nothing here\n")
        self.assertEqual((len(empty["nodes"]), len(empty["keys"]), len(empty["groups"])), (1, 0, 0))

    def test_bad_lines_are_reported_and_nothing_is_written(self):
        good = "material 1\ntriangle 1 0\n" + self.corner(0, 0, 0) + self.corner(0, 0, 1) + self.corner(1, 0, 1)
        lines = good.splitlines(keepends=True)
        cases = {
            "unknown statement": ("material 1\nsquare 1\n", 2),
            "material key too large": ("material 65536\n", 1),
            "material twice": ("material 1\nmaterial 0x1\n", 2),
            "undeclared material": ("material 1\ntriangle 2 0\n", 2),
            "corner without triangle": ("material 1\n" + lines[2], 2),
            "two corners only": ("".join(lines[:4]) + "material 2\n", 2),
            "short corner": ("".join(lines[:2]) + "corner 0 0 0\n", 3),
            "not a number": ("".join(lines[:2]) + lines[2].replace(" 0 0 0 ", " 0 x 0 ", 1), 3),
            "infinite position": ("".join(lines[:2]) + lines[2].replace(" 0 0 0 ", " inf 0 0 ", 1), 3),
            "shade above 255": ("".join(lines[:2]) + lines[2].replace(" 255 ", " 256 "), 3),
            "zero normal": ("".join(lines[:2]) + lines[2].replace(" 0 1 0\n", " 0 0 0\n"), 3),
            "fourth corner": (good + lines[2], 6),
        }
        out = os.path.join(self.dir, "bad.bsp")
        for what, (text, line) in cases.items():
            path = self.write("bad.txt", text)
            result = run(self.bspbuild, out, path, check=False)
            self.assertEqual(result.returncode, 1, what)
            self.assertTrue(result.stderr.startswith("%s:%d: " % (path, line)), "%s: %s" % (what, result.stderr))
            self.assertFalse(os.path.exists(out), what)

    def test_zonebuild_rejects_bad_descriptions(self):
        materials = self.write("materials.txt", "material grass 0x10 1000 noise 0x00FF00 0x008000\n")
        base = "zone 9 Test\ngrid 0 0 2 2 64\nground grass 0 8\n"
        cases = {
            "spawn outside the grid": (base + "spawn 200 0 10 0\n", 4),
            "spawn high above the ground": (base + "spawn 10 0.6 10 0\n", 4),
            "spawn under the ground": (base + "hill 10 10 20 5\nspawn 10 1 10 0\n", 5),
            "box outside the grid": (base + "box grass 120 0 10 140 2 12 0\n", 4),
            "unknown material": (base + "paint sand 0 0 1 1\n", 4),
            "spacing not dividing the cell": ("zone 9 T\ngrid 0 0 2 2 64\nground grass 0 7\n", 3),
            "zone number 0": ("zone 0 T\n", 1),
            "statement before zone": ("grid 0 0 2 2 64\n", 1),
            "257 columns": ("zone 9 T\ngrid 0 0 257 1 64\n", 2),
            "prop with a field missing": (base + "prop 1 2 3\n", 4),
            "quad without area": (base + "quad grass 1 0 1 2 0 2 3 0 3 4 0 4 0\n", 4),
            "quad outside the grid": (base + "quad grass 120 0 10 120 0 12 140 0 12 140 0 10 0\n", 4),
        }
        out = os.path.join(self.dir, "zones")
        for what, (text, line) in cases.items():
            path = self.write("zone.txt", text)
            result = run(self.zonebuild, out, materials, path, check=False)
            self.assertEqual(result.returncode, 1, what)
            self.assertTrue(result.stderr.startswith("%s:%d: " % (path, line)), "%s: %s" % (what, result.stderr))
            self.assertFalse(os.path.exists(out), what)
        # On the ground, exactly 0.5 above it, and a prop with every field: accepted.
        prop = "prop " + " ".join(["7", "8", "4", "1", "2"] + ["10"] * 9 + ["11"] * 6 + ["1"] * 10 +
                                  ["1", "0", "3"] + ["0.5"] * 5) + "\n"
        path = self.write("zone.txt", base + "spawn 10 0.5 10 90\n" + prop)
        run(self.zonebuild, out, materials, path)
        cell = read_map(slurp(os.path.join(out, "map/zone9_c0_r0.map")))
        self.assertEqual(cell["props"], 1)

    def test_two_content_builds_are_identical(self):
        zones = os.path.join(SOURCE, "content/zones")
        descriptions = sorted(os.path.join(zones, n) for n in os.listdir(zones) if n.startswith("zone"))
        archives = []
        for k in range(2):
            out = os.path.join(self.dir, "content%d" % k)
            run(self.zonebuild, out, os.path.join(zones, "materials.txt"), *descriptions)
            archive = os.path.join(self.dir, "bsp%d.dat" % k)
            run(os.path.join(BUILD, "tools/assetpack"), "build", archive,
                os.path.join(SOURCE, "content/bsp/manifest.txt"), os.path.join(out, "bsp/manifest.txt"))
            archives.append(slurp(archive))
            for name in ("map", "texture"):
                with open(os.path.join(out, name, "manifest.txt")) as f:
                    archives.append(f.read())
        self.assertEqual(archives[:3], archives[3:])
        self.assertEqual(archives[0], slurp(os.path.join(BUILD, "assets/bsp.dat")))


if __name__ == "__main__":
    BUILD, SOURCE = sys.argv[1], sys.argv[2]
    archive_reader.SOURCE = SOURCE
    unittest.main(argv=sys.argv[:1], verbosity=2)
