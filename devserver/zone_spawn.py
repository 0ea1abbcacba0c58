"""Where players enter a zone: the `spawn X Y Z HEADING` line of the zone's description in
content/zones/zone<N>.txt, read with a parser of this server's own (it shares no code with
the content tools). The world server sends it in the zone message (14) and the local
player's spawn (17)."""
import math
import os

ZONES_FOLDER = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), 'content', 'zones')


class SpawnError(Exception):
    """The description is missing, or its spawn line is missing or malformed."""


def zone_file(zone_number, folder=ZONES_FOLDER):
    return os.path.join(folder, 'zone%d.txt' % zone_number)


def read_spawn(path):
    """(x, y, z, heading) of the one spawn line; raises SpawnError naming the file."""
    try:
        with open(path, encoding='utf-8') as f:
            lines = f.read().splitlines()
    except (OSError, UnicodeDecodeError) as error:
        raise SpawnError('%s: cannot read the zone description (%s)' % (path, error)) from None
    found = []
    for number, line in enumerate(lines, 1):
        words = line.split('#', 1)[0].split()
        if words and words[0] == 'spawn':
            found.append((number, words[1:]))
    if not found:
        raise SpawnError('%s: no spawn line' % path)
    if len(found) > 1:
        raise SpawnError('%s:%d: a second spawn line' % (path, found[1][0]))
    number, values = found[0]
    try:
        spawn = tuple(float(v) for v in values)
    except ValueError:
        spawn = ()
    if len(spawn) != 4 or not all(math.isfinite(v) for v in spawn):
        raise SpawnError('%s:%d: expected `spawn X Y Z HEADING` with four finite numbers' % (path, number))
    return spawn
