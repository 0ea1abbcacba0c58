"""The world knobs and what the world server shows after the spawn: every logged sample and
path is what the client decodes from the payload that was sent; spawns, losses, the extra
share, duplicates and churn; a bad knob stops the program with one line."""
import asyncio
import heapq
import subprocess
import sys
import unittest

from devserver import opcodes
from devserver.scenario import Scenario
from devserver.world import spawn_payload, world_time_ms
from devserver.world_scene import WorldScene


class FakeSession:
    def __init__(self):
        self.sent = []
        self.events = []
        self.closed = False

    def log(self, name, detail=''):
        self.events.append((name, detail))

    async def send_game(self, opcode, payload=b'', enciphered=False):
        self.sent.append((opcode, payload))


def play(knobs, seconds):
    """Runs the scene on a simulated clock for `seconds`; the session it talked to. Each sleep
    waits for the simulated time to reach its end; time moves to the earliest waiting end once
    every task is waiting."""
    session = FakeSession()
    now = [0.0]
    waiting = []

    async def sleep(delay):
        future = asyncio.get_running_loop().create_future()
        heapq.heappush(waiting, (now[0] + delay, len(waiting) + id(future) % 997 * 1e-9, future))
        await future

    async def drive():
        scene = WorldScene(Scenario(knobs), (10.0, 2.0, -4.0, 0.0), session, sleep=sleep, clock=lambda: now[0])
        task = asyncio.ensure_future(scene.run())
        while not task.done():
            for _ in range(5):
                await asyncio.sleep(0)
            if not waiting:
                continue
            wake, _, future = heapq.heappop(waiting)
            now[0] = wake
            if wake > seconds:
                session.closed = True
                future.set_result(None)
                while waiting:
                    heapq.heappop(waiting)[2].set_result(None)
            else:
                future.set_result(None)
        await task

    asyncio.run(drive())
    return session


def logged(session, opcode):
    return [d.split()[1:] for name, d in session.events if name == 'sent' and d.split()[0] == str(opcode)]


def decoded(session, opcode):
    out = []
    for op, payload in session.sent:
        if op == opcode:
            result = opcodes.decode_in(op, payload)
            assert result is not None, 'the client would drop this message'
            out.append(result[0])
    return out


class KnobTest(unittest.TestCase):
    def test_values_and_flags(self):
        s = Scenario('players=3,creatures=2,objects=1,interval=0.2,jitter=0.05,loss=0.2,extra=0.5,seed=9,'
                     'duplicate-spawn,churn')
        self.assertEqual((s.players, s.creatures, s.objects, s.seed), (3, 2, 1, 9))
        self.assertEqual((s.interval, s.jitter, s.loss, s.extra), (0.2, 0.05, 0.2, 0.5))
        self.assertTrue(s.duplicate_spawn and s.churn)
        s = Scenario('')
        self.assertEqual((s.players, s.interval, s.loss), (0, 0.1, 0.0))

    def test_bad_knobs(self):
        for text in ('players=x', 'players=-1', 'loss=1.5', 'extra=-0.1', 'interval=0', 'jitter=nan',
                     'seed=1.5', 'crowds=3'):
            with self.assertRaises(ValueError, msg=text):
                Scenario(text)

    def test_a_bad_knob_in_either_option_exits_2_with_one_line(self):
        for option in ('--scenario', '--world-scenario'):
            result = subprocess.run([sys.executable, '-m', 'devserver', '--login-port', '0', '--world-port', '0',
                                     option, 'players=many'], capture_output=True, text=True, timeout=20)
            self.assertEqual(result.returncode, 2, option)
            self.assertEqual(len(result.stderr.strip().splitlines()), 1, result.stderr)
            self.assertIn('players', result.stderr)


class SceneTest(unittest.TestCase):
    def test_every_logged_sample_is_what_the_client_decodes(self):
        session = play('players=3,extra=0.3,seed=4', 2.0)
        self.assertGreater(len(decoded(session, 20)), 0)
        self.assertGreater(len(decoded(session, 19)), 0)
        records = [opcodes.decode_in(op, p)[0] for op, p in session.sent if op in (19, 20)]
        lines = [d.split()[1:] for name, d in session.events if name == 'sent' and d.split()[0] in ('19', '20')]
        self.assertEqual(len(records), len(lines))
        for r, words in zip(records, lines):
            self.assertEqual(r['id'], int(words[0]))
            x, y, z, h = (float(w) for w in words[1:])
            self.assertAlmostEqual(r['x'], x, places=5)
            self.assertAlmostEqual(r['y'], y, places=5)
            self.assertAlmostEqual(r['z'], z, places=5)
            self.assertAlmostEqual((r['heading'] - h + 180) % 360 - 180, 0, places=3)
            self.assertAlmostEqual(y, 2.0, places=2, msg='at the spawn height')
        # 0.1 s apart for 2 s: about 20 samples a player, each 2.5 units a second along its loop.
        self.assertGreaterEqual(len(lines), 3 * 19)

    def test_loss_and_jitter_thin_the_samples(self):
        full = len(logged(play('players=4,seed=1', 5.0), 19))
        lossy = len(logged(play('players=4,loss=0.5,seed=1', 5.0), 19))
        slow = len(logged(play('players=4,jitter=0.1,seed=1', 5.0), 19))
        self.assertLess(lossy, full * 0.7)
        self.assertGreater(lossy, full * 0.3)
        self.assertLess(slow, full * 0.8)

    def test_spawns_duplicates_and_paths(self):
        session = play('players=2,creatures=3,objects=2,duplicate-spawn', 5.0)
        self.assertEqual(sorted(r['id'] for r in decoded(session, 18)), [1000, 1000, 1001, 1001])
        self.assertEqual(sorted(r['id'] for r in decoded(session, 36)), [2000, 2001, 2002])
        self.assertEqual(sorted(r['id'] for r in decoded(session, 26)), [3000, 3001])
        paths = decoded(session, 37)
        self.assertGreaterEqual(len(paths), 3 * 3)
        lines = [w for w in logged(session, 37)]
        per_creature = {}
        for words in lines:
            per_creature.setdefault(int(words[0]), []).append([float(w) for w in words[1:]])
        for r in paths:
            route = per_creature[r['id']]
            m = r['motion']
            sent = list(m['a']) + list(m['b']) + list(m['c'])
            self.assertTrue(any(max(abs(p - q) for p, q in zip(sent, leg)) < 1e-6 for leg in route), sent)
        for ident, route in per_creature.items():
            for before, after in zip(route, route[1:]):
                self.assertEqual(before[3:6], after[0:3], 'each path starts where the last one ended')
            for leg in route[1:]:
                length = sum((leg[i + 3] - leg[i]) ** 2 for i in range(3)) ** 0.5
                self.assertAlmostEqual(length, 4.0, places=4)

    def test_churn_messages_reach_the_client(self):
        session = play('creatures=2,objects=4,churn', 6.5)
        for opcode in (31, 38, 39, 41, 42, 33):
            self.assertGreater(len(decoded(session, opcode)), 0, opcode)
        removed = [r['id'] for r in decoded(session, 33)]
        self.assertEqual(len(removed), len(set(removed)), 'each object is removed once')
        self.assertEqual([int(w[0]) for w in logged(session, 33)], removed)

    def test_chat_lines_reach_the_client_in_order(self):
        session = play('players=1,chat-lines', 0.5)
        chats = decoded(session, 50)
        self.assertEqual([c['kind'] for c in chats], list(range(9)))
        self.assertTrue(all(c['value'] == 1000 and c['sender'] == b'N1000' for c in chats))
        self.assertEqual([[int(w[0]), int(w[1]), bytes.fromhex(w[2])] for w in logged(session, 50)],
                         [[c['kind'], c['value'], c['text']] for c in chats])
        self.assertIn('\U000F0004yes\uE000'.encode(), chats[8]['text'])
        order = [op for op, _ in session.sent if op not in (18, 19, 20)]
        self.assertEqual(order, [50] * 9 + list(range(201, 209)) + [83, 84, 86])
        self.assertEqual(decoded(session, 83)[0]['name'], b'N1000')
        for opcode in list(range(201, 209)) + [84, 86]:
            self.assertEqual(len(decoded(session, opcode)), 1, opcode)

    def test_spawn_carries_the_world_time(self):
        record = opcodes.decode_in(17, spawn_payload({'name': 'Hero'}, world_time=world_time_ms(86400 * 3 + 3723.5)))
        self.assertEqual(record[0]['extra'], 3723500)


if __name__ == '__main__':
    unittest.main()
