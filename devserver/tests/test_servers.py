"""Login and world servers through their handlers, with a recording stand-in for the session:
credentials and passwords, the world list and ticket, characters kept across restarts."""
import asyncio
import json
import os
import struct
import subprocess
import sys
import tempfile
import unittest

from devserver import opcodes
from devserver import locale_texts
from devserver.login import LoginHandler, split_credentials
from devserver.scenario import Scenario
from devserver.store import Store
from devserver import world
from devserver.world import WorldHandler


def decoded(opcode, payload):
    result = opcodes.decode_in(opcode, payload)
    assert result is not None, 'the client would drop this message'
    return result[0]


class FakeSession:
    def __init__(self, scenario=''):
        self.scenario = Scenario(scenario)
        self.accepted = True
        self.sent = []
        self.events = []

    def log(self, name, detail=''):
        self.events.append((name, detail))

    async def send_game(self, opcode, payload=b'', enciphered=False):
        self.sent.append((opcode, payload))


def run(coroutine):
    return asyncio.run(coroutine)


class LoginTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.store = Store(self.folder.name)

    def tearDown(self):
        self.folder.cleanup()

    def test_credentials_format(self):
        self.assertEqual(split_credentials(b'alice\npw\0'), (b'alice', b'pw'))
        self.assertEqual(split_credentials(b'L:bob\x01p\nq\0', b'L:', b'\x01'), (b'bob', b'p\nq'))
        for bad in (b'alice\npw', b'alicepw\0', b'\npw\0', b'a\0b\npw\0'):
            self.assertIsNone(split_credentials(bad), bad)

    def test_first_login_remembers_a_hashed_password_across_restarts(self):
        handler = LoginHandler(self.store, 4000)
        session = FakeSession()
        self.assertIsNone(handler.check(session, b'Jos\xe9\nsecret\0'))
        with open(os.path.join(self.folder.name, 'accounts.json'), 'rb') as f:
            self.assertNotIn(b'secret', f.read())
        again = LoginHandler(Store(self.folder.name), 4000)
        self.assertIsNone(again.check(FakeSession(), b'Jos\xe9\nsecret\0'))
        self.assertEqual(again.check(FakeSession(), b'Jos\xe9\nwrong\0'), 10)
        self.assertEqual(again.check(FakeSession(), b'garbage'), 9)

    def test_world_list_and_ticket(self):
        handler = LoginHandler(self.store, 4321)
        session = FakeSession()
        handler.check(session, b'a\nb\0')
        run(handler.on_game(session, 1, b''))
        opcode, payload = session.sent[-1]
        self.assertEqual(opcode, 2)
        record = decoded(2, payload)
        self.assertEqual(len(record['worlds']), 1)
        self.assertEqual(record['worlds'][0]['host'], b'127.0.0.1')
        self.assertEqual(record['worlds'][0]['port'], 4321)
        run(handler.on_game(session, 3, record['worlds'][0]['name'] + b'\0'))
        opcode, payload = session.sent[-1]
        self.assertEqual(opcode, 10)
        ticket = payload[:-1]
        self.assertNotIn(b'\0', ticket)
        self.assertEqual(self.store.redeem_ticket(ticket.decode()), 'a')
        self.assertIsNone(self.store.redeem_ticket(ticket.decode()), 'a ticket is used once')

    def test_huge_list_scenario(self):
        handler = LoginHandler(self.store, 1)
        session = FakeSession('huge-list')
        run(handler.on_game(session, 2, b''))
        self.assertEqual(struct.unpack_from('<I', session.sent[-1][1])[0], 0xFFFFFFFF)


class WorldTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.store = Store(self.folder.name)
        self.ticket = self.store.issue_ticket('alice')

    def tearDown(self):
        self.folder.cleanup()

    def enter(self, scenario=''):
        handler = WorldHandler(self.store)
        session = FakeSession(scenario)
        self.assertIsNone(handler.check(session, self.ticket.encode()))
        run(handler.on_accepted(session, b''))
        run(handler.on_game(session, 1, b''))
        return handler, session

    def test_unknown_ticket_is_rejected(self):
        self.assertEqual(WorldHandler(self.store).check(FakeSession(), b'nope'), 11)

    def test_create_enter_zone_spawn_and_persistence(self):
        handler, session = self.enter()
        self.assertEqual(decoded(3, session.sent[-1][1])['n'], 0)
        create = opcodes.encode(opcodes.OUT_WORLD[2], {'name': b'Hero', 'choice0': 65, 'choice1': 35, 'choice2': 40,
                                                       'choice3': 20, 'flag': 0, 'choice': 0, 'one': 1})
        run(handler.on_game(session, 2, create))
        self.assertEqual(session.sent[-1][0], 7)
        run(handler.on_game(session, 1, b''))
        summary = decoded(3, session.sent[-1][1])
        self.assertEqual((summary['name'], summary['n']), (b'Hero', 1))
        stored = Store(self.folder.name).characters_of('alice')
        self.assertEqual([(c['id'], c['name']) for c in stored], [(summary['details']['id'], 'Hero')])
        self.assertEqual(summary['details']['name'], b'Hero')
        hero = summary['details']['id']
        self.assertGreater(hero, 0)
        run(handler.on_game(session, 5, struct.pack('<i', hero)))
        zone = decoded(14, session.sent[-1][1])
        self.assertEqual(session.sent[-1][0], 14)
        self.assertEqual(zone['zone'], 1)
        run(handler.on_game(session, 6, struct.pack('<i', 1)))
        self.assertEqual(session.sent[-1][0], 17)
        spawn = decoded(17, session.sent[-1][1])
        self.assertGreater(spawn['walk'], 0)
        self.assertGreater(spawn['run'], 0)
        self.assertGreater(spawn['health'], 0)
        run(handler.on_game(session, 9, struct.pack('<i', 2) + b'hello\0'))
        chat = decoded(50, session.sent[-1][1])
        self.assertEqual((chat['channel'], chat['text'], chat['sender']), (2, b'hello', b'Hero'))
        # The echo names the character by its spawn id, so the client shows its own line.
        self.assertEqual((chat['value'], chat['kind']), (spawn['id'], 2))
        self.assertNotEqual(chat['value'], 0)
        run(handler.on_game(session, 60, struct.pack('<i', 1)))
        self.assertEqual(session.sent[-1][0], 146)
        self.assertEqual(decoded(146, session.sent[-1][1])['name'], b'Bread')
        run(handler.on_game(session, 3, struct.pack('<i', hero)))
        self.assertEqual(decoded(3, session.sent[-1][1])['n'], 0)

    def test_movement_reports_are_decoded_into_the_log(self):
        handler, session = self.enter()

        def fix24(bits):
            return struct.pack('<i', bits)[:3]
        # State 4, direction 5; x at the largest code, y -1.5, z 0.25; heading code 49152.
        report = bytes([4, 5]) + fix24(8388607) + fix24(-384) + fix24(64) + struct.pack('<H', 49152)
        run(handler.on_game(session, 10, report))
        run(handler.on_game(session, 11, bytes([17, 0]) + report[2:]))
        self.assertEqual([e for e in session.events if e[0] == 'report'], [
            ('report', '10 4 5 32767.9961 -1.5 0.25 -90'),
            ('report', '11 17 0 32767.9961 -1.5 0.25 -90')])
        self.assertEqual(session.sent[-1][0], 3, 'nothing is sent back')

    def test_teleport_knob_moves_the_local_player_after_the_spawn(self):
        self.store.save_characters('alice', [{'id': 7, 'name': 'Hero', 'choices': [0, 0, 0, 0]}])
        handler, session = self.enter('teleport=0.01')

        async def spawn_and_wait():
            await handler.on_game(session, 5, struct.pack('<i', 7))
            await handler.on_game(session, 6, struct.pack('<i', 1))
            await asyncio.sleep(0.2)
        run(spawn_and_wait())
        opcode, payload = session.sent[-1]
        self.assertEqual(opcode, 31)
        moved = decoded(31, payload)
        spawn = handler.spawn
        self.assertEqual(moved['id'], decoded(17, session.sent[-2][1])['id'])
        self.assertEqual(list(moved['position']), [spawn[0] + 10, spawn[1], spawn[2] + 10])
        self.assertEqual(moved['heading'], 90)
        self.assertIn(('sent', '31 1 %s 90' % ' '.join('%.9g' % v for v in moved['position'])), session.events)

    def test_command_messages_are_logged_decoded(self):
        handler, session = self.enter()
        cases = [
            (9, struct.pack('<i', 3) + 'h\u00e9llo'.encode() + b'\0', {'channel': 3, 'text': 'h\u00e9llo'}),
            (8, b'Bob\0hi there\0', {'a': 'Bob', 'b': 'hi there'}),
            (51, b'\x01busy\0', {'flag': 1, 's': 'busy'}),
            (63, struct.pack('<I', 77), {'v': 77}),
            (83, struct.pack('<II', 1000, 4), {'a': 1000, 'b': 4}),
            (53, b'', {}),
        ]
        for opcode, payload, fields in cases:
            run(handler.on_game(session, opcode, payload))
            name, detail = [e for e in session.events if e[0] == 'command'][-1]
            number, _, text = detail.partition(' ')
            self.assertEqual((int(number), json.loads(text)), (opcode, fields))
        run(handler.on_game(session, 60, struct.pack('<i', 1)))  # not a command: not logged
        self.assertEqual(len([e for e in session.events if e[0] == 'command']), len(cases))

    def test_zone_and_spawn_back_to_back_and_return_to_login(self):
        self.store.save_characters('alice', [{'id': 7, 'name': 'Hero', 'choices': [0, 0, 0, 0]}])
        handler, session = self.enter('zone-and-spawn')
        run(handler.on_game(session, 5, struct.pack('<i', 7)))
        self.assertEqual([op for op, _ in session.sent[-2:]], [14, 17])
        run(handler.on_game(session, 4, b''))
        opcode, payload = session.sent[-1]
        self.assertEqual(opcode, 9)
        login = LoginHandler(self.store, 1)
        self.assertIsNone(login.check(FakeSession(), payload))
        self.assertEqual(login.account, 'alice')

    def test_zone_knobs_and_each_demo_zone_spawns_at_its_point(self):
        self.store.save_characters('alice', [{'id': 7, 'name': 'Hero', 'choices': [0, 0, 0, 0]}])
        cases = (('', [14], 1), ('enter-twice', [14, 14], 1), ('change-during-load', [14, 16], 1),
                 ('missing-zone', [14], world.MISSING_ZONE))
        for scenario, opcodes_sent, zone in cases:
            self.ticket = self.store.issue_ticket('alice')
            handler, session = self.enter(scenario)
            session.sent.clear()
            run(handler.on_game(session, 5, struct.pack('<i', 7)))
            self.assertEqual([op for op, _ in session.sent], opcodes_sent, scenario)
            self.assertEqual(struct.unpack_from('<i', session.sent[0][1])[0], zone, scenario)
            if 16 in opcodes_sent:
                self.assertEqual(session.sent[1][1], struct.pack('<i', 2))
        handler = WorldHandler(self.store, 1, (1.0, 0.0, 1.0, 0.0), {2: (64.0, 0.1, 64.0, 90.0)})
        session = FakeSession()
        self.assertIsNone(handler.check(session, self.store.issue_ticket('alice').encode()))
        run(handler.on_game(session, 5, struct.pack('<i', 7)))
        for zone, point in ((2, (64.0, 0.1, 64.0)), (1, (1.0, 0.0, 1.0))):
            run(handler.on_game(session, 6, struct.pack('<i', zone)))
            opcode, payload = session.sent[-1]
            self.assertEqual(opcode, 17)
            position = decoded(17, payload)['position']
            self.assertEqual(tuple(round(v, 3) for v in position), point)

    def test_zone_change_knob_sends_16_to_the_other_zone_after_the_first_spawn(self):
        self.store.save_characters('alice', [{'id': 7, 'name': 'Hero', 'choices': [0, 0, 0, 0]}])
        self.assertEqual(Scenario('zone-change=1.5').zone_change, 1.5)
        with self.assertRaises(ValueError):
            Scenario('zone-change=-1')

        handler, session = self.enter('zone-change=0.01')

        async def scenario():
            await handler.on_game(session, 5, struct.pack('<i', 7))
            await handler.on_game(session, 6, struct.pack('<i', 1))
            await asyncio.sleep(0.1)
        run(scenario())
        self.assertEqual(session.sent[-1], (16, struct.pack('<i', 2)))
        self.assertIn(('sent', '16 2'), session.events)

    def test_enter_and_delete_only_with_an_id_of_the_account(self):
        self.store.save_characters('alice', [{'id': 5, 'name': 'Hero', 'choices': [0, 0, 0, 0]}])
        self.store.save_characters('bob', [{'id': 6, 'name': 'Other', 'choices': [0, 0, 0, 0]}])
        handler, session = self.enter()
        self.assertEqual(decoded(3, session.sent[-1][1])['details']['id'], 5)
        for opcode, event in ((5, 'enter-refused'), (3, 'delete-refused')):
            for wrong in (b'', struct.pack('<i', 0), struct.pack('<i', 6), struct.pack('<i', -5)):
                session.sent.clear()
                session.events.clear()
                run(handler.on_game(session, opcode, wrong))
                ident = struct.unpack('<i', wrong)[0] if wrong else 0
                self.assertEqual(session.sent, [(4, b'')], (opcode, wrong))
                self.assertEqual(session.events, [(event, str(ident))], (opcode, wrong))
        self.assertIsNone(handler.character)
        self.assertEqual([c['id'] for c in Store(self.folder.name).characters_of('alice')], [5])
        self.assertEqual([c['id'] for c in Store(self.folder.name).characters_of('bob')], [6])
        # The refusal is a character notice whose text the demo locale holds.
        key = opcodes.IN[world.REFUSED_NOTICE]['key']
        with open(os.path.join(os.path.dirname(__file__), '..', '..', 'content', 'locale', 'english.tsv')) as f:
            self.assertIn('0x%08X\ttext\t' % key, f.read())
        run(handler.on_game(session, 5, struct.pack('<i', 5)))
        self.assertEqual(session.sent[-1][0], 14)
        self.assertEqual(handler.character['name'], 'Hero')
        run(handler.on_game(session, 3, struct.pack('<i', 5)))
        self.assertEqual(decoded(3, session.sent[-1][1])['n'], 0)
        self.assertEqual(Store(self.folder.name).characters_of('alice'), [])


def creation(name=b'Hero', klass=0, sex=0, added=(25, 5, 0, 0)):
    base = world.CLASS_BASE[klass] if klass < len(world.CLASS_BASE) else (0, 0, 0, 0)
    values = {'name': name, 'flag': sex, 'choice': klass, 'one': 1}
    values.update({'choice%d' % i: (base[i] + added[i]) & 0xFF for i in range(4)})
    return opcodes.encode(opcodes.OUT_WORLD[2], values)


class CreationTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.store = Store(self.folder.name)

    def tearDown(self):
        self.folder.cleanup()

    def create(self, account, payload):
        handler = WorldHandler(self.store)
        session = FakeSession()
        self.assertIsNone(handler.check(session, self.store.issue_ticket(account).encode()))
        run(handler.on_game(session, 2, payload))
        return session

    def test_each_class_at_its_extremes_is_accepted_and_one_point_over_refused(self):
        accepted = [(k, added) for k in range(5) for added in ((25, 5, 0, 0), (0, 0, 5, 25), (5, 0, 25, 0))]
        for n, (klass, added) in enumerate(accepted):
            session = self.create('acct%d' % n, creation(b'Hero' + bytes([97 + n]), klass, n % 2, added))
            self.assertEqual(session.sent, [(7, b'')], (klass, added))
        refused = [
            ('two letters', creation(b'Al'), 6, 'name'),
            ('sixteen letters', creation(b'A' * 16), 6, 'name'),
            ('a digit', creation(b'Hero1'), 6, 'name'),
            ('an attribute one over', creation(b'Zed', 0, 0, (26, 4, 0, 0)), 8, 'attribute'),
            ('a point unspent', creation(b'Zed', 0, 0, (25, 4, 0, 0)), 8, 'points'),
            ('a point too many', creation(b'Zed', 0, 0, (25, 5, 1, 0)), 8, 'points'),
            ('below the base', creation(b'Zed', 2, 0, (255, 25, 5, 1)), 8, 'attribute'),
            ('class 5', creation(b'Zed', 5, 0, (25, 5, 0, 0)), 8, 'class-or-sex'),
            ('sex 2', creation(b'Zed', 0, 2), 8, 'class-or-sex'),
            ('a name another account holds, in other case', creation(b'HEROA'), 5, 'name-taken'),
        ]
        for what, payload, notice, reason in refused:
            session = self.create('other', payload)
            self.assertEqual(session.sent, [(notice, b'')], what)
            self.assertEqual(session.events[-1], ('create-refused', reason), what)
        # One character per account.
        self.assertEqual(self.create('acct0', creation(b'Second')).sent, [(13, b'')])
        # Every notice answered has its text in the demo locale.
        texts = locale_texts.read_texts()
        for opcode in (5, 6, 8, 13):
            self.assertIn(opcodes.IN[opcode]['key'], texts, opcode)


class WorldsAndKnobsTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.store = Store(self.folder.name)

    def tearDown(self):
        self.folder.cleanup()

    def test_the_second_world_is_dead_but_still_gets_a_ticket(self):
        handler = LoginHandler(self.store, 4321, dead_port=9)
        session = FakeSession()
        handler.check(session, b'a\nb\0')
        run(handler.on_game(session, 1, b''))
        worlds = decoded(2, session.sent[-1][1])['worlds']
        self.assertEqual([(w['name'], w['port']) for w in worlds], [(b'Ostrevane', 4321), (b'Farreach', 9)])
        run(handler.on_game(session, 3, b'Farreach\0'))
        self.assertEqual(session.sent[-1][0], 10)
        self.assertIn(('pick-world', 'Farreach'), session.events)

    def test_an_empty_list_comes_with_an_unasked_ticket(self):
        handler = LoginHandler(self.store, 4321, dead_port=9)
        session = FakeSession('empty-ticket')
        handler.check(session, b'a\nb\0')
        run(handler.on_game(session, 1, b''))
        self.assertEqual([op for op, _ in session.sent], [2, 10])
        self.assertEqual(decoded(2, session.sent[0][1])['worlds'], [])

    def test_unasked_relogin_follows_the_summary_and_back_comes_after_the_spawn(self):
        self.store.save_characters('alice', [{'id': 7, 'name': 'Hero', 'choices': [0, 0, 0, 0]}])
        handler = WorldHandler(self.store)
        session = FakeSession('unasked-relogin,back=0.01')
        self.assertIsNone(handler.check(session, self.store.issue_ticket('alice').encode()))
        run(handler.on_game(session, 1, b''))
        self.assertEqual([op for op, _ in session.sent], [3, 9])

        async def enter_and_wait():
            await handler.on_game(session, 5, struct.pack('<i', 7))
            await handler.on_game(session, 6, struct.pack('<i', 1))
            await asyncio.sleep(0.1)
        run(enter_and_wait())
        self.assertEqual(session.sent[-1][0], 49)


class LocaleTextsTest(unittest.TestCase):
    def test_credential_texts_come_unescaped_from_the_locale_file(self):
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, 'l.tsv')
            with open(path, 'w') as f:
                f.write('# comment\n0x038D8B88\ttext\tA\\tB\\\\\n0x13F47486\ttext\t\\n\nname\ttext\tx\n')
            self.assertEqual(locale_texts.credential_texts(path), ('A\tB\\', '\n'))
            with open(path, 'w') as f:
                f.write('0x1\ttext\tx\n')
            self.assertEqual(locale_texts.credential_texts(path), ('', '\n'))
        prefix, separator = locale_texts.credential_texts()
        self.assertTrue(separator, 'the demo locale has a separator')


class StoreTest(unittest.TestCase):
    def test_characters_stored_without_ids_get_lasting_ones_on_load(self):
        with tempfile.TemporaryDirectory() as folder:
            old = {'alice': [{'name': 'A', 'choices': []}, {'name': 'B', 'choices': [], 'id': 3}],
                   'bob': [{'name': 'C', 'choices': [], 'id': 3}, {'name': 'D', 'choices': [], 'id': 0}],
                   'carol': [{'name': 'E', 'choices': [], 'id': True}, {'name': 'F', 'id': 2 ** 31}]}
            with open(os.path.join(folder, 'characters.json'), 'w') as f:
                json.dump(old, f)
            store = Store(folder)
            ids = [c['id'] for account in ('alice', 'bob', 'carol') for c in store.characters_of(account)]
            self.assertEqual(len(set(ids)), 6, ids)
            self.assertTrue(all(isinstance(i, int) and 0 < i < 2 ** 31 for i in ids), ids)
            self.assertEqual(store.characters_of('alice')[1]['id'], 3, 'a valid id is kept')
            again = Store(folder)
            self.assertEqual([c['id'] for account in ('alice', 'bob', 'carol')
                              for c in again.characters_of(account)], ids, 'saved on load')
            self.assertGreater(again.new_character_id(), max(ids))


class CommandTest(unittest.TestCase):
    def test_busy_port_is_reported(self):
        import socket
        with socket.socket() as taken:
            taken.bind(('127.0.0.1', 0))
            taken.listen()
            port = taken.getsockname()[1]
            result = subprocess.run([sys.executable, '-m', 'devserver', '--login-port', str(port),
                                     '--world-port', '0'], capture_output=True, text=True, timeout=20)
        self.assertEqual(result.returncode, 3)
        self.assertIn('already in use', result.stderr)


if __name__ == '__main__':
    unittest.main()
