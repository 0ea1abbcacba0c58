#!/usr/bin/python3
"""The headless harness against the local server with other players and creatures.

Usage: world_harness_test.py PATH_TO_LOGIN_HARNESS SOURCE_DIR ASSETS_DIR

The server logs every movement sample and creature path as the client decodes it; the
harness reports where it shows each entity every second. Each player must be shown on the
polyline of its own logged samples (playback only ever moves between two samples it was
sent), each creature on one of its logged path legs, and the closing counts must match what
was spawned, a repeated spawn leaving one entity. With the built archives the local player
carries the humanoid's mesh and the creatures the four-legged one, each with the height of
its mesh's bounds (read here from mesh.dat), not the unit cube's. A scripted walk's movement
reports must reach the server exactly as the harness sent them, advance along the heading, and
after the server's teleport start again from the new point. playground_walk_test.py runs its
walk with run() and reads it with movement_reports() from here.
"""
import math
import os
import re
import struct
import subprocess
import sys
import tempfile
import time

HARNESS, SOURCE, ASSETS = sys.argv[1], sys.argv[2], sys.argv[3]
failures = []


def check(ok, message):
    if not ok:
        failures.append(message)
        print('FAIL', message)


def distance_to_segment(p, a, b):
    ab = [b[i] - a[i] for i in range(3)]
    ap = [p[i] - a[i] for i in range(3)]
    length2 = sum(v * v for v in ab)
    t = 0.0 if length2 == 0 else max(0.0, min(1.0, sum(ab[i] * ap[i] for i in range(3)) / length2))
    return math.dist(p, [a[i] + t * ab[i] for i in range(3)])


def run(knobs, seconds, extra=()):
    """(server lines, harness lines, harness exit code); extra: more harness arguments."""
    # The log goes to a file: a pipe nobody reads while the harness runs would fill and stall
    # the server. The test reads it through its own handle, so its reading never moves the
    # position the server writes at.
    with tempfile.TemporaryDirectory(prefix='ostrevane-world-') as folder:
        path = os.path.join(folder, 'server.log')

        def lines():
            with open(path) as f:
                return f.read().splitlines()

        with open(path, 'w') as log:
            # The harness has no locale: the bare credentials form (no prefix, a line feed).
            server = subprocess.Popen([sys.executable, '-m', 'devserver', '--login-port', '0', '--world-port',
                                       '0', '--world-scenario', knobs, '--credential-prefix', '',
                                       '--credential-separator', '\n'], cwd=SOURCE, stdout=log, text=True)
        try:
            port = None
            for _ in range(200):
                words = (lines()[:1] or [''])[0].split()
                if words and words[0] == 'listening':
                    port = words[1]
                    break
                time.sleep(0.05)  # polling the log, with a deadline
            harness = subprocess.run([HARNESS, '--port', str(port), '--seconds', str(seconds), '--report', '1',
                                      *extra],
                                     capture_output=True, text=True, timeout=seconds + 60)
            # Everything the server sent is logged once it has seen the world session close.
            deadline = time.time() + 10
            while time.time() < deadline:
                if any(re.match(r'event \d{4,} closed', line) for line in lines()):
                    break
                time.sleep(0.05)  # polling the log, with a deadline
        finally:
            server.terminate()
            server.wait(timeout=20)
        return lines(), harness.stdout.splitlines(), harness.returncode


def sent(log, opcode):
    """{id: [[numbers], ...]} of the server's "sent OPCODE ID ..." lines, in order."""
    out = {}
    for line in log:
        words = line.split()
        if len(words) > 4 and words[2] == 'sent' and words[3] == str(opcode):
            out.setdefault(int(words[4]), []).append([float(w) for w in words[5:]])
    return out


def shown(lines):
    """[(id, space, (x, y, z))] of every report."""
    out = []
    for line in lines:
        words = line.split()
        if words and words[0] == 'entity':
            out.append((int(words[1]), int(words[2]), tuple(float(w) for w in words[3:6])))
    return out


def clean_run():
    players = creatures = 50
    log, lines, code = run('players=%d,creatures=%d' % (players, creatures), 10)
    check(code == 0, 'harness exit code %d' % code)
    check(any(line.startswith('spawned in zone 3') for line in lines), 'no spawn line')
    check(any(' game 5 ' in line for line in log), 'entering not logged')
    check('count local 1 players %d creatures %d objects 0' % (players, creatures) in lines,
          'closing counts: %s' % [line for line in lines if line.startswith('count')])
    samples = {**sent(log, 19), **{}}
    for ident, more in sent(log, 20).items():
        samples.setdefault(ident, []).extend(more)
    paths = sent(log, 37)
    entities = shown(lines)
    check(len([e for e in entities if e[1] == 8]) >= players * 9, 'too few player reports')
    worst_player = worst_creature = 0.0
    for ident, space, p in entities:
        if space == 8:
            points = [s[:3] for s in samples.get(ident, [])]
            d = min((distance_to_segment(p, a, b) for a, b in zip(points, points[1:])), default=1e9)
            worst_player = max(worst_player, d)
        elif space == 9:
            legs = [(leg[0:3], leg[3:6]) for leg in paths.get(ident, [])]
            legs += [(leg[3:6], leg[6:9]) for leg in paths.get(ident, [])]
            d = min((distance_to_segment(p, a, b) for a, b in legs), default=1e9)
            worst_creature = max(worst_creature, d)
    print('worst player distance %.5f, worst creature distance %.5f' % (worst_player, worst_creature))
    check(worst_player <= 0.01, 'a player was shown %.4f off its samples' % worst_player)
    check(worst_creature <= 0.05, 'a creature was shown %.4f off its route' % worst_creature)
    # Players walk all the time; creatures walk 0.8 s of every 1.5 s.
    moved = {}
    for ident, space, p in entities:
        if space in (8, 9):
            moved.setdefault((space, ident), set()).add(p)
    stiff = [key for key, ps in moved.items() if len(ps) < (6 if key[0] == 8 else 2)]
    check(not stiff, 'entities that hardly moved: %s' % [(key, len(moved[key])) for key in stiff[:5]])


def repeated_spawns_and_churn():
    log, lines, code = run('players=3,creatures=2,objects=6,duplicate-spawn,churn', 5)
    check(code == 0, 'harness exit code %d' % code)
    counts = [line for line in lines if line.startswith('count')]
    check(len(counts) == 1 and counts[0].startswith('count local 1 players 3 creatures 2 objects '),
          'counts after repeated spawns: %s' % counts)
    removed = {int(line.split()[4]) for line in log if ' sent 33 ' in line}
    check(len(removed) >= 1, 'churn removed nothing')
    objects = int(counts[0].split()[-1]) if counts else -1
    check(6 - len(removed) <= objects <= 6 - len(removed) + 1, 'objects left %d, removed %d' % (objects, len(removed)))
    last_report = lines[max(i for i, line in enumerate(lines) if line.startswith('report')):]
    ids = [e[0] for e in shown(last_report)]
    check(len(ids) == len(set(ids)), 'an id is shown twice')


def mesh_heights():
    """{mesh id: bounds height} of mesh.dat, or None without the archive reader's cipher."""
    sys.path.insert(0, os.path.join(SOURCE, 'tests'))
    import archive_reader
    archive_reader.SOURCE = SOURCE
    if archive_reader.botan2 is None:
        check(os.environ.get('CI') != 'true', 'python3-botan is missing')
        return None
    heights = {}
    for ident, blob in archive_reader.read_archive(os.path.join(ASSETS, 'mesh.dat')).items():
        low, high = struct.unpack_from('<3f', blob, 12), struct.unpack_from('<3f', blob, 24)
        heights[ident] = high[1] - low[1]
    return heights


def meshes_carry_their_bounds():
    log, lines, code = run('creatures=2', 3, ['--assets', ASSETS])
    check(code == 0, 'harness exit code %d' % code)
    # The periodic block opens with "report SECONDS"; movement reports are longer lines.
    last_report = lines[max(i for i, line in enumerate(lines) if line.startswith('report') and len(line.split()) == 2):]
    rows = [line.split() for line in last_report if line.startswith('entity ')]
    found = {(int(w[2]), int(w[8])): float(w[10]) for w in rows if len(w) == 12}
    check(len(rows) == 3 and len(found) == 2, 'entity lines with meshes: %s' % rows)
    check((7, 1) in found, 'the local player does not carry mesh 1: %s' % rows)
    check((9, 2) in found, 'the creatures do not carry mesh 2: %s' % rows)
    heights = mesh_heights()
    for (space, mesh), height in found.items():
        check(abs(height - 1.0) > 0.01, 'space %d shows the cube\'s height' % space)
        if heights is not None:
            check(abs(height - heights.get(mesh, -1)) < 1e-3,
                  'space %d height %.4f, mesh %d is %.4f high' % (space, height, mesh, heights.get(mesh, -1)))


# Run, turn right while running, strafe, stop, jump; after the server's teleport, run again.
WALK = """0.3 key W down
1.3 key D down
1.8 key D up
1.8 key E down
2.3 key E up
2.8 key W up
3.1 key SPACE down
3.2 key SPACE up
5.0 key W down
5.5 key W up
"""


def movement_reports(lines, prefix):
    """[(opcode, state, direction, x, y, z, heading)] of the lines "PREFIX... report OPCODE ..."."""
    out = []
    for line in lines:
        words = line.split()
        if len(words) == 9 and words[0] == 'report' and prefix == 'harness':
            words = words[2:]
        elif len(words) == 10 and words[2] == 'report' and prefix == 'server':
            words = words[3:]
        else:
            continue
        out.append(tuple(int(w) for w in words[:3]) + tuple(float(w) for w in words[3:]))
    return out


def scripted_walk():
    with tempfile.TemporaryDirectory(prefix='ostrevane-walk-') as folder:
        script = os.path.join(folder, 'walk.input')
        with open(script, 'w') as f:
            f.write(WALK)
        log, lines, code = run('teleport=4.5', 6.5, ('--input', script))
    check(code == 0, 'harness exit code %d' % code)
    sent, received = movement_reports(lines, 'harness'), movement_reports(log, 'server')
    check(sent == received, 'the server decoded other reports than the harness sent:\n%s\n%s' % (sent, received))
    teleports = [[float(w) for w in line.split()[5:]] for line in log if ' sent 31 1 ' in line]
    check(len(teleports) == 1, 'teleports logged: %s' % teleports)
    if not sent or len(teleports) != 1:
        return
    # The stretches of pure forward running advance along the heading.
    for a, b in zip(sent, sent[1:]):
        if a[0] == b[0] == 10 and a[1] == b[1] == 4 and a[2] == b[2] == 1 and a[6] == b[6]:
            h = math.radians(a[6])
            along = (b[3] - a[3]) * -math.sin(h) + (b[5] - a[5]) * -math.cos(h)
            across = (b[3] - a[3]) * math.cos(h) - (b[5] - a[5]) * math.sin(h)
            # The server's run speed 6, times 5, for 0.1 s.
            check(abs(along - 3.0) < 0.05 and abs(across) < 0.02,
                  'a forward step of %.3f along and %.3f across the heading' % (along, across))
    kinds = {'forward': any(r[2] == 1 for r in sent), 'turning': any(r[2] & 48 and r[1] & 128 for r in sent),
             'strafing': any(r[2] & 12 for r in sent), 'jump': any(r[0] == 11 and r[1] & 16 for r in sent),
             'falling': any(r[1] & 32 for r in sent)}
    check(all(kinds.values()), 'report kinds seen: %s' % kinds)
    # Standing again before the teleport; the next report starts from the teleport point.
    x, y, z, heading = teleports[0]
    after = [r for r in sent if abs(r[3] - x) < 1.5 and abs(r[5] - z) < 1.5]
    check(after and after[0][6] == 90.0 and abs(after[0][4] - y) < 0.01,
          'no report from the teleport point %s: %s' % (teleports[0], sent[-3:]))
    before = sent[:sent.index(after[0])] if after else sent
    check(before and before[-1][1] == 1, 'the walk before the teleport did not end standing: %s' % before[-2:])
    check(sent[-1][1] == 1, 'the run did not end standing: %s' % sent[-1:])


def bad_input_file():
    with tempfile.TemporaryDirectory(prefix='ostrevane-walk-') as folder:
        script = os.path.join(folder, 'bad.input')
        with open(script, 'w') as f:
            f.write('0.5 key W down\n0.7 key W sideways\n')
        done = subprocess.run([HARNESS, '--input', script], capture_output=True, text=True, timeout=30)
    check(done.returncode == 2, 'a bad input file gave exit code %d' % done.returncode)
    check('line 2' in done.stderr, 'the bad line is not named: %r' % done.stderr)


def described_props(zone):
    with open(os.path.join(SOURCE, 'content', 'zones', 'zone%d.txt' % zone)) as f:
        return sum(1 for line in f if line.split()[:1] == ['prop'])


def zone_runs(knobs, seconds):
    """(spawned zones, {zone: (cells, props)} loaded, payloads of the 6s the server got)."""
    log, lines, code = run(knobs, seconds, ['--assets', ASSETS])
    spawns = [int(line.split()[3].rstrip(',')) for line in lines if line.startswith('spawned in zone ')]
    loaded = {}
    for line in lines:
        m = re.match(r'zone (\d+) loaded: (\d+) cells, (\d+) props, [\d.]+ ms$', line)
        if m:
            loaded[int(m[1])] = (int(m[2]), int(m[3]))
    sixes = [line.split()[-1] for line in log if re.match(r'event \d+ game 6 ', line)]
    return spawns, loaded, sixes, code


def zones_load_and_change():
    # With the archives the zones load as in the client: the spawn waits for the 6 the loaded
    # zone sends, and a change moves the player to the other demo zone.
    spawns, loaded, sixes, code = zone_runs('zone-change=1', 5)
    check(code == 0, 'zone change: harness exit code %d' % code)
    check(spawns == [3, 4], 'zone change: spawned in zones %s' % spawns)
    check(sixes == ['01000000', '02000000'], 'zone change: the server got 6 with %s' % sixes)
    for zone, cells in ((3, 16), (4, 4)):
        check(loaded.get(zone) == (cells, described_props(zone)),
              'zone %d loaded as %s, described with %d cells and %d props' %
              (zone, loaded.get(zone), cells, described_props(zone)))
    for knobs, want, want_sixes in (('change-during-load', [4], ['02000000']), ('enter-twice', [3], ['01000000'])):
        spawns, loaded, sixes, code = zone_runs(knobs, 1)
        check(spawns == want and sixes == want_sixes, '%s: spawned in %s, 6 with %s' % (knobs, spawns, sixes))


if __name__ == '__main__':
    bad_input_file()
    zones_load_and_change()
    clean_run()
    repeated_spawns_and_churn()
    scripted_walk()
    meshes_carry_their_bounds()
    sys.exit(1 if failures else 0)
