"""World server: takes a ticket from the login server as its credentials and runs the
character screen and the entry into the world.

Rejection (frame type 11, client status -4): a ticket that the login server did not issue
or that was already used. Game messages it answers (client opcode -> server opcode):
  1 summary request            -> 3 summary of the first character (empty name, n = 0: none)
  2 create                     -> 7, then (after the client's 1) the summary again; a refused
                                  creation answers a character notice saying why (event
                                  create-refused REASON): 6 a name not of 3-15 ASCII letters,
                                  5 a name any account holds, 8 a class outside 0-4, a sex other
                                  than 0 or 1, an attribute outside base .. base + 25 of the
                                  class (CLASS_BASE, as the client's table) or not all 30 points
                                  spent, 13 an account that already has its one character
  3 delete (int32 id)          -> 3 summary; an id not of this account: 4 (event delete-refused ID)
  4 back to the login server   -> 9 with fresh login credentials (a ticket-like text)
  5 enter (int32 id)           -> 14 zone (ZONE, the zone's described spawn position); an id
                                  not of this account: 4 (event enter-refused ID)
  6 zone ready (int32)         -> 17 local-player spawn at the described spawn, with speeds,
                                  health and the world time (milliseconds of the day); then
                                  what the world knobs ask for (devserver/world_scene.py)
  9 chat (channel, text)       -> 50 the same text echoed from the character (its spawn id as
                                  the sender's entity, the channel as the type)
  Command messages (8, 9, 25-28, 40-58, 63-65, 70-83) are logged decoded with their OUT_WORLD
  schemas as `command OPCODE {json fields}` (texts as UTF-8 strings).
  10, 11 movement              logged as "report OPCODE STATE DIR X Y Z HEADING", nothing sent
  59, 60, 61 definition ask    -> 145, 146, 147 from small tables (unknown ids: nothing)
  The demo zones 3 and 4 (wire numbers 1 and 2) each spawn at their own described point: a
  6 naming zone N is answered with 17 at N's point.
Scenario knobs: zone-and-spawn sends 14 and 17 back to back on 5; zone-change=S sends 16 to
the other demo zone S seconds after the first spawn; change-during-load sends 16 to the other
zone right after the 14; enter-twice sends the 14 twice; missing-zone names a zone no
archive holds in the 14 (the client gives up on it and sends no 6); unasked-relogin follows
every summary with a 9 nobody asked for; back=T sends 49 T seconds after the local spawn.
Characters are kept per account in the data folder.
"""
import asyncio
import json
import struct
import time

from . import opcodes
from .world_scene import WorldScene

REJECT_TICKET = 11
REFUSED_NOTICE = 4        # a character notice: the character named is not this account's
NOTICE_NAME_TAKEN = 5
NOTICE_BAD_NAME = 6
NOTICE_BAD_CHOICES = 8
NOTICE_HAS_CHARACTER = 13
# The base value of each attribute per class; the client's table (src/ui/character_classes.h)
# holds the same numbers. A creation adds 0 .. ADDED_MAX to each, POOL in all.
CLASS_BASE = ((40, 30, 40, 20), (30, 40, 30, 30), (20, 30, 30, 50), (25, 35, 30, 40), (35, 35, 35, 25))
ADDED_MAX = 25
POOL = 30
DEFAULT_ZONE = 1          # the client loads zone number max(zone + 2, 1) = 3
MISSING_ZONE = 1000       # zone file 1002: no demo archive holds it
SPAWN = (16.0, 2.0, 16.0, 0.0)  # x, y, z, heading when no description is given
LOCAL_PLAYER_ID = 1       # the entity id the local spawn gives the character
COMMAND_OPCODES = frozenset([8, 9] + list(range(25, 29)) + list(range(40, 59)) + [63, 64, 65] +
                            list(range(70, 84)))
ABILITIES = {1: (b'Strike', b'A plain blow.')}
ITEMS = {1: (b'Bread', b'Fresh from the oven.')}
FACTIONS = {1: (b'Townsfolk', b'The people of the town.')}


def defaults(fields):
    """A record of zeros and empty texts for a schema."""
    values = {}
    for name, kind in fields or []:
        if kind in ('bool', 'u8', 'u16', 'i16', 'u32', 'i32', 'fix24'):
            values[name] = 0
        elif kind in ('f32', 'angle16'):
            values[name] = 0.0
        elif kind in ('pos', 'vec3'):
            values[name] = (0.0, 0.0, 0.0)
        elif kind == 'str' or kind[0] == 'text':
            values[name] = b''
        elif kind[0] == 'list':
            values[name] = []
        elif kind[0] == 'struct':
            values[name] = defaults(kind[1])
        elif kind[0] == 'opt':
            values[name] = defaults(kind[2])
    return values


def creation_refusal(record, taken):
    """(notice opcode, reason) for a creation request that breaks a rule, else None.
    taken(name) answers whether any account holds the name."""
    name = record['name']
    if not 3 <= len(name) <= 15 or not all(65 <= b <= 90 or 97 <= b <= 122 for b in name):
        return NOTICE_BAD_NAME, 'name'
    if record['choice'] >= len(CLASS_BASE) or record['flag'] not in (0, 1):
        return NOTICE_BAD_CHOICES, 'class-or-sex'
    base = CLASS_BASE[record['choice']]
    added = [record['choice%d' % i] - base[i] for i in range(4)]
    if any(not 0 <= a <= ADDED_MAX for a in added):
        return NOTICE_BAD_CHOICES, 'attribute'
    if sum(added) != POOL:
        return NOTICE_BAD_CHOICES, 'points'
    if taken(name.decode('ascii').lower()):
        return NOTICE_NAME_TAKEN, 'name-taken'
    return None


def summary_payload(characters):
    fields = opcodes.IN[3]['fields']
    if not characters:
        return opcodes.encode(fields, {'name': b'', 'value': 0, 'n': 0})
    c = characters[0]
    details = defaults(opcodes.DETAILS)
    details.update({'id': c['id'], 'name': c['name'].encode('latin-1'), 'value_b': len(characters),
                    'class': c.get('class', 0), 'appearance0': c.get('class', 0) + 1,
                    'line': b'Level 1'})
    return opcodes.encode(fields, {'name': c['name'].encode('latin-1'), 'value': len(characters), 'n': 1,
                                   'details': details})


def world_time_ms(now=None):
    """Milliseconds since the day began (UTC)."""
    return int(((time.time() if now is None else now) % 86400.0) * 1000.0)


LOCAL_PLAYER_ID = 1


def spawn_payload(character, spawn=SPAWN, world_time=0):
    position = tuple(spawn[:3])
    values = defaults(opcodes.SPAWN_LOCAL)
    values.update({'id': LOCAL_PLAYER_ID, 'extra': world_time, 'position': position, 'heading': spawn[3], 'scale': 1.0, 'name': character['name'].encode('latin-1'),
                   'health_max': 100.0, 'health': 100.0, 'walk': 2.5, 'run': 6.0, 'swim': 2.0})
    values['motion'].update({'a': position, 'b': position, 'c': position})
    return opcodes.encode(opcodes.SPAWN_LOCAL, values)


def definition_payload(opcode, table, ident):
    fields = opcodes.IN[opcode]['fields']
    values = defaults(fields)
    name, text = table[ident]
    values.update({'id': ident, 'name': name, 'text': text})
    return opcodes.encode(fields, values)


class WorldHandler:
    def __init__(self, store, zone=DEFAULT_ZONE, spawn=SPAWN, spawns=None):
        self.store = store
        self.zone = zone
        self.spawn = spawn
        # Spawn point per wire zone number; the entry zone's is the one given.
        self.spawns = dict(spawns or {})
        self.spawns[zone] = spawn
        self.changer = None
        self.account = None
        self.character = None
        self.scene = None
        self.teleport = None
        self.back = None

    def check(self, session, credentials):
        ticket = credentials.split(b'\0', 1)[0]
        try:
            account = self.store.redeem_ticket(ticket.decode('ascii'))
        except UnicodeDecodeError:
            account = None
        session.log('ticket', 'ok' if account is not None else 'unknown')
        if account is None:
            return REJECT_TICKET
        self.account = account
        return None

    async def on_accepted(self, session, credentials):
        pass  # the client asks for the summary (1) once it sees the acceptance

    async def send_summary(self, session):
        await session.send_game(3, summary_payload(self.store.characters_of(self.account)))
        if session.scenario.unasked_relogin:
            await session.send_game(9, self.store.relogin_credentials(self.account) + b'\0')

    def name_taken(self, lowered):
        return any(c['name'].lower() == lowered for c in self.store.all_characters())

    async def create(self, session, characters, record):
        refusal = creation_refusal(record, self.name_taken)
        if refusal is None and characters:
            refusal = NOTICE_HAS_CHARACTER, 'has-character'
        if refusal is not None:
            session.log('create-refused', refusal[1])
            await session.send_game(refusal[0])
            return
        characters.append({'id': self.store.new_character_id(), 'name': record['name'].decode('ascii'),
                           'choices': [record['choice%d' % i] for i in range(4)],
                           'sex': record['flag'], 'class': record['choice']})
        self.store.save_characters(self.account, characters)
        session.log('created', record['name'].decode('ascii'))
        await session.send_game(7)

    async def back_later(self, session, seconds):
        """Sends the player back to the character screen (49)."""
        await asyncio.sleep(seconds)
        if getattr(session, 'closed', False):
            return
        self.character = None
        await session.send_game(49)
        session.log('sent', '49')

    @staticmethod
    def own_character(characters, record):
        """The account's character whose id the client sent, or None."""
        ident = record['id'] if record is not None else None
        return next((c for c in characters if c['id'] == ident), None)

    async def refuse(self, session, event, record):
        session.log(event, str(record['id'] if record is not None else '-'))
        await session.send_game(REFUSED_NOTICE)

    def other_zone(self, zone):
        """The demo zone a change goes to: the other one of wire numbers 1 and 2."""
        return 2 if zone == 1 else 1

    async def change_later(self, session, seconds, zone):
        await asyncio.sleep(seconds)
        if getattr(session, 'closed', False):
            return
        await self.send_change(session, zone)

    async def send_change(self, session, zone):
        await session.send_game(16, struct.pack('<i', zone))
        session.log('sent', '16 %d' % zone)

    async def send_spawn(self, session, zone=None):
        spawn = self.spawns.get(zone, self.spawn) if zone is not None else self.spawn
        await session.send_game(17, spawn_payload(self.character, spawn, world_time_ms()))
        if session.scenario.zone_change is not None and self.changer is None:
            self.changer = asyncio.ensure_future(
                self.change_later(session, session.scenario.zone_change, self.other_zone(zone or self.zone)))
        if session.scenario.teleport is not None and self.teleport is None:
            self.teleport = asyncio.ensure_future(self.teleport_later(session, session.scenario.teleport))
        if session.scenario.back is not None:
            self.back = asyncio.ensure_future(self.back_later(session, session.scenario.back))
        scene = WorldScene(session.scenario, self.spawn, session)
        if self.scene is None and scene.busy():
            self.scene = asyncio.ensure_future(scene.run())

    async def teleport_later(self, session, seconds):
        """Moves the local player 10 units along x and z, facing 90 degrees."""
        await asyncio.sleep(seconds)
        if getattr(session, 'closed', False):
            return
        point = (self.spawn[0] + 10.0, self.spawn[1], self.spawn[2] + 10.0, 90.0)
        await session.send_game(31, opcodes.encode(opcodes.IN[31]['fields'], {
            'id': LOCAL_PLAYER_ID, 'position': point[:3], 'heading': point[3]}))
        session.log('sent', '31 %d %s' % (LOCAL_PLAYER_ID, ' '.join('%.9g' % v for v in point)))

    @staticmethod
    def log_command(session, opcode, record):
        """A command message as its fields, so tests compare values rather than bytes."""
        fields = {k: (v.decode('utf-8', 'replace') if isinstance(v, bytes) else v)
                  for k, v in (record or {}).items()}
        session.log('command', '%d %s' % (opcode, json.dumps(fields, sort_keys=True)))

    async def echo_chat(self, session, record):
        name = self.character['name'].encode('latin-1') if self.character else b''
        await session.send_game(50, opcodes.encode(opcodes.IN[50]['fields'], {
            'channel': record['channel'], 'sender': name, 'value': LOCAL_PLAYER_ID,
            'kind': record['channel'], 'text': record['text']}))

    async def on_game(self, session, opcode, payload):
        if not session.accepted:
            return
        try:
            record = opcodes.decode(opcodes.OUT_WORLD.get(opcode), opcodes.Reader(payload))
        except Exception:
            record = None
        characters = self.store.characters_of(self.account)
        if opcode in COMMAND_OPCODES:
            self.log_command(session, opcode, record)
        if opcode == 1:
            await self.send_summary(session)
        elif opcode == 2 and record is not None:
            await self.create(session, characters, record)
        elif opcode == 3:
            chosen = self.own_character(characters, record)
            if chosen is None:
                await self.refuse(session, 'delete-refused', record)
                return
            characters.remove(chosen)
            self.store.save_characters(self.account, characters)
            await self.send_summary(session)
        elif opcode == 4:
            relogin = self.store.relogin_credentials(self.account)
            await session.send_game(9, relogin + b'\0')
        elif opcode == 5:
            chosen = self.own_character(characters, record)
            if chosen is None:
                await self.refuse(session, 'enter-refused', record)
                return
            self.character = chosen
            scenario = session.scenario
            zone = MISSING_ZONE if scenario.missing_zone else self.zone
            for _ in range(2 if scenario.enter_twice else 1):
                await session.send_game(14, struct.pack('<i3f', zone, *self.spawn[:3]))
            if scenario.change_during_load:
                await self.send_change(session, self.other_zone(self.zone))
            if scenario.zone_and_spawn:
                await self.send_spawn(session)
        elif opcode == 6 and self.character is not None:
            zone = record['zone'] if record is not None and 'zone' in record else None
            session.log('zone-ready', str(zone))
            await self.send_spawn(session, zone)
        elif opcode == 9 and record is not None:
            await self.echo_chat(session, record)
        elif opcode in (10, 11) and record is not None:
            # The movement and jump reports, decoded by the server's own schema.
            session.log('report', '%d %d %d %s' % (opcode, record['state'], record['direction'], ' '.join(
                '%.9g' % record[k] for k in ('x', 'y', 'z', 'heading'))))
        elif opcode in (59, 60, 61) and record is not None:
            table = {59: ABILITIES, 60: ITEMS, 61: FACTIONS}[opcode]
            if record['id'] in table:
                await session.send_game(opcode + 86, definition_payload(opcode + 86, table,
                                                                        record['id']))
