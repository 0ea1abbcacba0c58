#!/usr/bin/python3
"""The scripted walk over zone 3's movement playground, against the local server.

Usage: playground_walk_test.py PATH_TO_LOGIN_HARNESS SOURCE_DIR ASSETS_DIR

The harness loads zone 3 from the built archives and plays tests/data/playground.input for
40 s; the server logs every movement report it decodes. From those reports alone the walk
must show each feature it crosses: the 50-degree ramp refusing the player, the climb of the
30-degree ramp and of the stairs, a fall (the falling bit) off the ramp's platform and off
the 1.0 ledge but none off the 0.2 ledge, the jump rising onto the 1.0 platform, and the
in-water and under-water bits only inside the pool's volume.

Then, by brute force over every collidable triangle of zone 3's cells and every solid prop's
box, read here with the independent readers of archive_reader.py and zone_content_test.py,
no reported position may sink the player's capsule more than 0.01 into solid geometry, and
no report on foot may hover above the ground by more than the snap distance.
"""
import math
import os
import re
import struct
import sys

import numpy as np

import archive_reader
import world_harness_test as world
from world_harness_test import check
from zone_content_test import read_bsp, read_map

HARNESS, SOURCE, ASSETS = sys.argv[1], sys.argv[2], sys.argv[3]
archive_reader.SOURCE = SOURCE
SCRIPT = os.path.join(SOURCE, 'tests', 'data', 'playground.input')
ZONE = 3
SECONDS = 40
PENETRATION_MAX = 0.01
# On foot the capsule rests on the ground; showing a position between two ticks (a step up or
# down) may lift it a little.
HOVER_MAX = 0.1
RISING, FALLING, IN_WATER, UNDER_WATER = 16, 32, 8, 64


def player_capsule():
    """(radius, height, centre offset) of the local player's capsule, as the client sets them."""
    with open(os.path.join(SOURCE, 'src', 'game', 'move_track.cpp')) as f:
        text = f.read()
    body = text[text.index('void motion_state_reset'):]
    value = {name: float(re.search(r'motion->%s = ([\d.]+)f;' % name, body)[1])
             for name in ('radius', 'height', 'centre_offset')}
    return value['radius'], value['height'], value['centre_offset']


RADIUS, HEIGHT, CENTRE = player_capsule()
# Feet that stand on a surface are this far below it: the capsule's bottom sits on it.
FEET = CENTRE - HEIGHT / 2


def axis(report):
    """The capsule's axis (bottom, top) at a reported position."""
    x, y, z = report[3:6]
    reach = HEIGHT / 2 - RADIUS
    return np.array([x, y + CENTRE - reach, z]), np.array([x, y + CENTRE + reach, z])


# Geometry, read from the built archives.

def prop_records(blob, m):
    """(id, kind, flag byte, position, y rotation, scale, local min, local max) of a map entry."""
    at = 104 + 4 * m['materials']
    for k in range(m['props']):
        record = blob[at + 140 * k:at + 140 * (k + 1)]
        ident, _, kind = struct.unpack_from('<3I', record, 0)
        rotation = struct.unpack_from('<3f', record, 26)
        # Solid props in the demo turn about y only; a tilted one needs a fuller box here.
        assert rotation[0] == 0 and rotation[2] == 0, 'prop %d is tilted' % ident
        yield (ident, kind, record[12], np.array(struct.unpack_from('<3f', record, 14)), rotation[1],
               np.array(struct.unpack_from('<3f', record, 38)), np.array(struct.unpack_from('<3f', record, 74)),
               np.array(struct.unpack_from('<3f', record, 86)))


def world_box(position, yaw, scale, low, high):
    """The axis-aligned box around the prop's local box turned about y, scaled and placed."""
    c, s = math.cos(math.radians(yaw)), math.sin(math.radians(yaw))
    corners = []
    for i in range(8):
        p = np.where([i & 1, i & 2, i & 4], high, low) * scale
        corners.append(position + [c * p[0] + s * p[2], p[1], -s * p[0] + c * p[2]])
    return np.min(corners, axis=0), np.max(corners, axis=0)


def box_triangles(low, high):
    corners = [np.where([i & 1, i & 2, i & 4], high, low) for i in range(8)]
    faces = ((0, 1, 3, 2), (4, 5, 7, 6), (0, 1, 5, 4), (2, 3, 7, 6), (0, 2, 6, 4), (1, 3, 7, 5))
    return [[corners[f[0]], corners[f[i]], corners[f[i + 1]]] for f in faces for i in (1, 2)]


def zone_geometry():
    """(collidable triangles as an (N, 3, 3) array, the water volume's box) of the zone."""
    maps = {i: (b, read_map(b)) for i, b in archive_reader.read_archive(os.path.join(ASSETS, 'map.dat')).items()
            if i == ZONE or i >> 16 == ZONE}
    bsps = archive_reader.read_archive(os.path.join(ASSETS, 'bsp.dat'))
    triangles = {}
    props = {}
    for ident, (blob, m) in maps.items():
        for prop in prop_records(blob, m):
            props[prop[0]] = prop
        if ident == ZONE:
            continue
        bsp = read_bsp(bsps[m['bsp']])
        positions = bsp['vertices']['pos'].astype(np.float64)
        # A triangle is listed in every leaf it crosses; each counts once.
        for t in bsp['triangles']:
            if not t['flags'] & 1:
                corners = positions[t['corners']]
                triangles.setdefault(corners.tobytes(), corners)
    found = list(triangles.values())
    water = []
    for _, kind, flag, position, yaw, scale, low, high in props.values():
        box = world_box(position, yaw, scale, low, high)
        if not flag & 1:
            found.extend(np.array(box_triangles(*box)))
        elif kind == 4:
            water.append(box)
    assert len(water) == 1, 'the playground has one pool'
    return np.array(found), water[0]


# Distances from a capsule's axis to many triangles at once, in float64.

def dot(u, v):
    return np.einsum('...k,...k->...', u, v)


def point_segment(p, a, b):
    ab = b - a
    length2 = dot(ab, ab)
    t = np.clip(dot(p - a, ab) / np.where(length2 > 0, length2, 1), 0, 1)
    return np.linalg.norm(p - (a + ab * t[..., None]), axis=-1)


def inside(p, a, b, c, n):
    """p (in the plane of a b c) lies inside the triangle."""
    return ((dot(np.cross(b - a, p - a), n) >= 0) & (dot(np.cross(c - b, p - b), n) >= 0) &
            (dot(np.cross(a - c, p - c), n) >= 0))


def point_triangle(p, a, b, c):
    n = np.cross(b - a, c - a)
    length = np.linalg.norm(n, axis=-1)
    flat = length > 1e-12
    height = dot(p - a, n) / np.where(flat, length, 1)
    foot = p - n * (height / np.where(flat, length, 1))[..., None]
    edges = np.minimum(np.minimum(point_segment(p, a, b), point_segment(p, b, c)), point_segment(p, c, a))
    return np.where(flat & inside(foot, a, b, c, n), np.abs(height), edges)


def segment_segment(p, q, a, b):
    """Distance from the segment p q to each segment a b (the closest points clamped to both)."""
    d1, d2, r = q - p, b - a, p - a
    aa, e, f = dot(d1, d1), dot(d2, d2), dot(d2, r)
    c, bb = dot(d1, r), dot(d1, d2)
    denominator = aa * e - bb * bb
    s = np.where(denominator > 1e-12, np.clip((bb * f - c * e) / np.where(denominator > 1e-12, denominator, 1),
                                               0, 1), 0)
    t = (bb * s + f) / np.where(e > 0, e, 1)
    s = np.where(t < 0, np.clip(-c / aa, 0, 1), np.where(t > 1, np.clip((bb - c) / aa, 0, 1), s))
    t = np.clip(t, 0, 1)
    return np.linalg.norm((p + d1 * s[..., None]) - (a + d2 * t[..., None]), axis=-1)


def axis_distance(p, q, tris):
    """The shortest distance from the segment p q to each triangle."""
    a, b, c = tris[:, 0], tris[:, 1], tris[:, 2]
    d = np.minimum(point_triangle(p, a, b, c), point_triangle(q, a, b, c))
    for u, v in ((a, b), (b, c), (c, a)):
        d = np.minimum(d, segment_segment(p, q, u, v))
    # A segment through the triangle touches it.
    n = np.cross(b - a, c - a)
    sp, sq = dot(p - a, n), dot(q - a, n)
    crossing = (sp * sq < 0)
    w = (sp / np.where(crossing, sp - sq, 1))[..., None]
    d[crossing & inside(p + (q - p) * w, a, b, c, n)] = 0
    return d


class Solid:
    def __init__(self, tris):
        self.tris = tris
        self.low, self.high = tris.min(axis=1), tris.max(axis=1)

    def clearance(self, report):
        """Distance from the capsule's surface to the nearest solid triangle (negative: sunk in)."""
        p, q = axis(report)
        reach = RADIUS + HOVER_MAX + 0.5
        near = np.all((self.high >= np.minimum(p, q) - reach) & (self.low <= np.maximum(p, q) + reach), axis=1)
        if not near.any():
            return math.inf
        return float(axis_distance(p, q, self.tris[near]).min()) - RADIUS


# The walk and what it must show.

def lane(reports, x0, x1, z0, z1):
    return [r for r in reports if x0 < r[3] < x1 and z0 < r[5] < z1]


def stands_at(report, height):
    return abs(report[4] + FEET - height) < 0.03


def airborne(report):
    return report[1] & (RISING | FALLING)


def check_features(reports, pool):
    # The foot of the 50-degree ramp (x 177..181, z 90..94) stops the player on the ground.
    fifty = lane(reports, 177, 181, 90, 100)
    check(len(fifty) >= 3 and max(r[4] for r in fifty) < 0.1 and min(r[5] for r in fifty) > 94,
          'the 50-degree ramp carried the player: %s' % fifty[-3:])
    # Up the 30-degree ramp (x 170..174, from z 94 up to 2.309 at z 90) onto its platform.
    ramp = [r for r in lane(reports, 170, 174, 80, 95) if not airborne(r)]
    heights = [r[4] for r in ramp]
    check(ramp and all(b >= a - 0.01 for a, b in zip(heights, heights[1:])) and stands_at(ramp[0], 0) and
          stands_at(ramp[-1], 2.309), 'the climb of the 30-degree ramp: %s' % [(r[5], r[4]) for r in ramp])
    slope = [r for r in ramp if 91 < r[5] < 93.5]
    check(len(slope) >= 2, 'no report on the 30-degree slope')
    # The stairs (x 148..160, risers of 0.25), each step stood on.
    stairs = [r for r in lane(reports, 147, 160, 52, 64) if not airborne(r)]
    steps = sorted({round((r[4] + FEET) * 4) / 4 for r in stairs if any(stands_at(r, h / 4) for h in range(6))})
    check(steps == [0.25, 0.5, 0.75, 1.0, 1.25], 'the stairs stood on: %s' % steps)
    # Falls: off the ramp's platform at z 80 and off the 1.0 ledge at z 92; walking off the 0.2
    # ledge at z 106 stays on the ground.
    off_ramp = [r for r in lane(reports, 170, 174, 72, 80) if r[1] & FALLING]
    check(any(0.05 < r[4] < 2.2 for r in off_ramp), 'no fall off the ramp\'s platform: %s' % off_ramp)
    off_ledge = [r for r in lane(reports, 191, 195, 86, 92) if r[1] & FALLING]
    check(any(0.05 < r[4] < 0.95 for r in off_ledge), 'no fall off the 1.0 ledge: %s' % off_ledge)
    low = lane(reports, 184, 188, 92, 110)
    check(any(stands_at(r, 0.2) for r in low) and not any(airborne(r) for r in low),
          'the 0.2 ledge: %s' % low)
    # The jump: reported at once, rising, then standing on the 1.0 platform.
    jumps = [i for i, r in enumerate(reports) if r[0] == 11 and r[1] & RISING]
    check(len(jumps) == 1, 'jump reports: %d' % len(jumps))
    if jumps:
        start = reports[jumps[0]]
        flight = reports[jumps[0]:jumps[0] + 12]
        peak = max(r[4] for r in flight)
        check(any(r[0] == 10 and r[1] & RISING for r in flight) and peak - start[4] > 1.4,
              'the jump from %.3f peaked at %.3f' % (start[4], peak))
        check(any(stands_at(r, 1.0) and not airborne(r) for r in lane(reports, 191, 195, 92, 106)),
              'the jump did not land on the 1.0 platform')
    # Water: the bits only where the capsule meets the pool's volume (the water state follows
    # the move, so a report carries the previous frame's: up to one frame's swim past it);
    # swimming at the surface, then under it.
    low, high = pool
    margin = RADIUS + 0.2
    wet = [r for r in reports if r[1] & (IN_WATER | UNDER_WATER)]
    outside = [r for r in wet if not (low[0] - margin <= r[3] <= high[0] + margin and
                                      low[2] - margin <= r[5] <= high[2] + margin)]
    check(not outside, 'water bits outside the pool: %s' % outside[:3])
    swimming = [r for r in wet if r[1] & IN_WATER and not r[1] & UNDER_WATER]
    under = [r for r in wet if r[1] & UNDER_WATER]
    check(len(swimming) >= 3 and max(r[3] for r in swimming) - min(r[3] for r in swimming) > 3,
          'swimming at the surface: %s' % swimming)
    check(len(under) >= 3 and all(r[1] & IN_WATER and r[4] + HEIGHT <= high[1] + 0.01 for r in under),
          'under water: %s' % under)
    check(max(r[3] for r in wet) - min(r[3] for r in wet) > 10 if wet else False, 'no swim across the pool')
    return steps, off_ramp, off_ledge, swimming, under


def walk():
    log, lines, code = world.run('', SECONDS, ('--assets', ASSETS, '--input', SCRIPT))
    check(code == 0, 'harness exit code %d' % code)
    check(any(line.startswith('spawned in zone 3') for line in lines), 'no spawn in zone 3')
    sent, reports = world.movement_reports(lines, 'harness'), world.movement_reports(log, 'server')
    check(sent == reports and len(reports) > 200, 'the server decoded %d reports, the harness sent %d' %
          (len(reports), len(sent)))
    if not reports:
        return
    last = reports[-1]
    check(last[1] == 1 and math.dist((last[3], last[5]), (192.8, 85.8)) < 1,
          'the walk ended at %s, not standing beyond the 1.0 ledge' % (last,))
    if archive_reader.botan2 is None:
        check(os.environ.get('CI') != 'true', 'python3-botan is missing')
        return
    tris, pool = zone_geometry()
    steps, off_ramp, off_ledge, swimming, under = check_features(reports, pool)
    solid = Solid(tris)
    clearances = [(solid.clearance(r), r) for r in reports]
    deepest = min(clearances)
    check(deepest[0] >= -PENETRATION_MAX, 'the capsule sank %.4f into solid geometry at %s' % (-deepest[0],
                                                                                             deepest[1]))
    on_foot = [c for c in clearances if not c[1][1] & (RISING | FALLING | IN_WATER | UNDER_WATER)]
    hover = max(on_foot)
    check(hover[0] <= HOVER_MAX, 'a report on foot hovers %.4f above the ground at %s' % hover)
    print('%d reports, %d collidable triangles; the ramp climbed to %.3f; stairs stood on %s' %
          (len(reports), len(tris), max(r[4] for r in lane(reports, 170, 174, 80, 90)), steps))
    print('falls off the platform at y %s and off the 1.0 ledge at y %s' %
          ([r[4] for r in off_ramp], [r[4] for r in off_ledge]))
    print('water bits: %d reports swimming (states %s), %d under water (states %s)' %
          (len(swimming), sorted({r[1] for r in swimming}), len(under), sorted({r[1] for r in under})))
    print('deepest capsule %.5f (at %s), highest hover on foot %.5f' % (-deepest[0], deepest[1][3:6], hover[0]))


if __name__ == '__main__':
    walk()
    sys.exit(1 if world.failures else 0)
