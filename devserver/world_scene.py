"""What the world server shows after the local player's spawn, chosen by the world knobs
(devserver/scenario.py): other players walking loops around the spawn point at its height,
sent as compact movement (19, or 20 for the share `extra`); creatures patrolling squares
around it by paths (37); objects standing around it; and, with `churn`, a steady trickle of
teleports, health, speeds, status effects and removals.

Every movement sample and path is logged as the client will decode it:
  sent 19 ID X Y Z H          (or sent 20 ...) position and heading after quantisation
  sent 37 ID AX AY AZ BX BY BZ CX CY CZ
  sent 18|26|36 ID            spawns; sent 31 ID X Y Z H teleports; sent 33 ID removals
  sent 50 TYPE ID TEXTHEX     chat lines (the text's UTF-8 bytes in hex); sent OPCODE for
                              notices and group lines
so tests can compare what the client shows with what it was told.
"""
import asyncio
import math
import random

from . import opcodes
from . import world

PLAYER_IDS = 1000
CREATURE_IDS = 2000
OBJECT_IDS = 3000
WALK = 2.5            # players' walking speed along their loops, units per second
CREATURE_WALK = 1.0   # creatures' walk speed; the client follows paths five times faster
SIDE = 4.0            # creatures' patrol squares
CREATURE_APPEARANCE = 2  # the client's four-legged creature
LEG_SECONDS = 1.5     # between paths: long enough for each leg to end before the next
MOTION_WALKING = 2
DIRECTION_FORWARD = 1
# Links of the type-8 chat lines: link 4 "yes" and link 5 "no" (opening marker U+F0000 + id,
# closing marker U+E000).
CHAT_LINK = '\U000F0004yes\uE000'.encode()
CHAT_LINK_NO = '\U000F0005no\uE000'.encode()


def fix24(value):
    return opcodes.fix24_bits(value) / 256.0


def angle16(degrees):
    """The heading as the client decodes it: within -180 .. 180."""
    d = opcodes.angle16_bits(degrees) * 360.0 / 65536.0
    return d - 360.0 if d > 180.0 else d


def words(values):
    return ' '.join('%.9g' % v for v in values)


class WorldScene:
    def __init__(self, scenario, spawn, session, sleep=asyncio.sleep, clock=None):
        self.s = scenario
        self.centre = tuple(float(v) for v in spawn[:3])
        self.session = session
        self.sleep = sleep
        self.clock = clock or asyncio.get_event_loop().time
        self.rng = random.Random(scenario.seed)
        self.removed = set()

    def alive(self):
        return not getattr(self.session, 'closed', False)

    async def send(self, opcode, fields, values):
        await self.session.send_game(opcode, opcodes.encode(fields, values))

    # ---- players

    def loop_point(self, index, t):
        """Position and heading (degrees, towards the motion) on player index's loop."""
        radius = 3.0 + (index % 10)
        phase = index * 0.7
        w = WALK / radius
        a = phase + w * t
        x = self.centre[0] + radius * math.cos(a)
        z = self.centre[2] + radius * math.sin(a)
        heading = math.degrees(math.atan2(-math.sin(a), math.cos(a)))
        return (x, self.centre[1], z), heading

    def character(self, fields, ident, position, heading, walk):
        values = world.defaults(fields)
        values.update({'id': ident, 'position': position, 'heading': heading, 'scale': 1.0,
                       'name': b'N%d' % ident, 'health_max': 100.0, 'health': 100.0,
                       'walk': walk, 'run': 6.0, 'swim': 2.0})
        values['motion'].update({'a': position, 'b': position, 'c': position, 'heading': heading,
                                 'flags': MOTION_WALKING})
        return values

    async def walk_player(self, index, start):
        ident = PLAYER_IDS + index
        while self.alive():
            (x, y, z), heading = self.loop_point(index, self.clock() - start)
            if self.rng.random() >= self.s.loss:
                opcode = 20 if self.rng.random() < self.s.extra else 19
                await self.send(opcode, opcodes.IN[19]['fields'], {
                    'id': ident, 'state': MOTION_WALKING, 'direction': DIRECTION_FORWARD,
                    'x': x, 'y': y, 'z': z, 'heading': heading})
                self.session.log('sent', '%d %d %s' % (opcode, ident,
                                                       words((fix24(x), fix24(y), fix24(z), angle16(heading)))))
            await self.sleep(self.s.interval + self.rng.uniform(0.0, self.s.jitter))

    # ---- creatures

    def corner(self, index, k):
        ring = 6.0 + 2.0 * (index % 8)
        a = index * 2.4
        cx = self.centre[0] + ring * math.cos(a)
        cz = self.centre[2] + ring * math.sin(a)
        dx, dz = [(0, 0), (1, 0), (1, 1), (0, 1)][k % 4]
        return (opcodes.f32(cx + SIDE * dx), opcodes.f32(self.centre[1]), opcodes.f32(cz + SIDE * dz))

    async def patrol(self, index):
        ident = CREATURE_IDS + index
        k = 0
        while self.alive():
            await self.sleep(LEG_SECONDS)
            if not self.alive():
                return
            a, b = self.corner(index, k), self.corner(index, k + 1)
            heading = math.degrees(math.atan2(b[0] - a[0], b[2] - a[2]))
            await self.send(37, opcodes.IN[37]['fields'], {'id': ident, 'motion': {
                'a': a, 'heading': heading, 'b': b, 'c': b, 'value': 0.0, 'flags': MOTION_WALKING}})
            self.session.log('sent', '37 %d %s' % (ident, words(a + b + b)))
            k += 1

    # ---- churn

    async def churn(self):
        tick = 0
        while self.alive():
            await self.sleep(1.0)
            if not self.alive():
                return
            if self.s.creatures:
                ident = CREATURE_IDS + tick % self.s.creatures
                await self.send(38, opcodes.IN[38]['fields'], {'id': ident, 'maximum': 100.0,
                                                                'current': 50.0 + tick % 50})
                await self.send(39, opcodes.IN[39]['fields'], {'id': ident, 'walk': CREATURE_WALK,
                                                                'run': 6.0, 'swim': 2.0})
                if tick % 2 == 0:
                    await self.send(41, opcodes.IN[41]['fields'], {'id': ident, 'slot': 1, 'value': 7,
                                                                    'time': 2.0, 'first': True})
                else:
                    await self.send(42, opcodes.IN[42]['fields'], {'id': ident, 'slot': 1, 'unused': 0,
                                                                    'first': True})
                self.session.log('sent', '38 39 %d %d' % (41 if tick % 2 == 0 else 42, ident))
            standing = [i for i in range(self.s.objects) if OBJECT_IDS + i not in self.removed]
            if standing:
                ident = OBJECT_IDS + standing[tick % len(standing)]
                x, y, z = self.centre[0] + self.rng.uniform(-5, 5), self.centre[1], self.centre[2] + 5
                await self.send(31, opcodes.IN[31]['fields'], {'id': ident, 'position': (x, y, z),
                                                                'heading': 90.0})
                self.session.log('sent', '31 %d %s' % (ident, words((x, y, z, 90.0))))
                if tick % 3 == 2:
                    ident = OBJECT_IDS + standing[-1]
                    self.removed.add(ident)
                    await self.send(33, opcodes.IN[33]['fields'], {'id': ident})
                    self.session.log('sent', '33 %d' % ident)
            tick += 1

    # ---- chat

    async def chat_lines(self):
        """One line of each type from the first other player, links in the type-8 lines, then
        the notices shown as chat lines and the group lines."""
        sender = PLAYER_IDS
        for kind in range(9):
            text = ('line of type %d' % kind).encode()
            if kind == 8:
                text = 'Will you help? '.encode() + CHAT_LINK + ' or '.encode() + CHAT_LINK_NO
            await self.send(50, opcodes.IN[50]['fields'], {'channel': 0, 'sender': b'N%d' % sender,
                                                            'value': sender, 'kind': kind, 'text': text})
            self.session.log('sent', '50 %d %d %s' % (kind, sender, text.hex()))
        for opcode in range(201, 209):
            await self.session.send_game(opcode, b'')
            self.session.log('sent', '%d' % opcode)
        await self.send(83, opcodes.IN[83]['fields'], {'name': b'N%d' % sender})
        self.session.log('sent', '83')
        for opcode in (84, 86):
            await self.session.send_game(opcode, b'')
            self.session.log('sent', '%d' % opcode)

    # ---- the whole scene

    async def spawn_all(self):
        s = self.s
        for i in range(s.players):
            position, heading = self.loop_point(i, 0.0)
            values = self.character(opcodes.SPAWN_PLAYER, PLAYER_IDS + i, position, heading, WALK)
            for _ in range(2 if s.duplicate_spawn else 1):
                await self.send(18, opcodes.SPAWN_PLAYER, values)
                self.session.log('sent', '18 %d' % (PLAYER_IDS + i))
        for i in range(s.creatures):
            a = self.corner(i, 0)
            values = self.character(opcodes.SPAWN_CREATURE, CREATURE_IDS + i, a, 0.0, CREATURE_WALK)
            values['appearance'] = CREATURE_APPEARANCE
            await self.send(36, opcodes.SPAWN_CREATURE, values)
            self.session.log('sent', '36 %d' % (CREATURE_IDS + i))
            self.session.log('sent', '37 %d %s' % (CREATURE_IDS + i, words(a + a + a)))
        for i in range(s.objects):
            values = world.defaults(opcodes.SPAWN_OBJECT)
            a = i * 2.0 * math.pi / max(s.objects, 1)
            values.update({'id': OBJECT_IDS + i, 'scale': 1.0, 'name': b'O%d' % i, 'position': (
                self.centre[0] + 8 * math.cos(a), self.centre[1], self.centre[2] + 8 * math.sin(a))})
            await self.send(26, opcodes.SPAWN_OBJECT, values)
            self.session.log('sent', '26 %d' % (OBJECT_IDS + i))

    async def run(self):
        await self.spawn_all()
        if self.s.chat_lines:
            await self.chat_lines()
        start = self.clock()
        tasks = [self.walk_player(i, start) for i in range(self.s.players)]
        tasks += [self.patrol(i) for i in range(self.s.creatures)]
        if self.s.churn:
            tasks.append(self.churn())
        if tasks:
            await asyncio.gather(*tasks)

    def busy(self):
        s = self.s
        return bool(s.players or s.creatures or s.objects or s.chat_lines)
