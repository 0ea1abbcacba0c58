"""Login server: checks the credentials, sends the world list, hands out world tickets.

Credentials: PREFIX + account + SEPARATOR + password + one zero byte, one byte per character
(Latin-1), or a one-time text from a world server's return message (9). The defaults are an empty prefix and "\\n" as separator; the client takes both from
its locale (keys 0x038D8B88 and 0x13F47486), which must hold the same texts.

Rejections (frame types; the client shows status -2 .. -8): 9 credentials without the
separator or zero byte or with an empty account, 10 wrong password for a known account.

Game messages: outgoing 1 (or 2) asks for the world list, answered by incoming 2 (clear
and add) with the world on 127.0.0.1 and the world port and, when a dead port is given, a
second world on that port where nothing listens (its ticket is still issued, so the client
shows the connection's failure); outgoing 3 names a world, answered by incoming 10 with a
ticket the world server accepts once as its credentials. The knob empty-ticket answers the
list request with an empty list followed at once by an unasked ticket.
"""
import struct

from . import opcodes

REJECT_MALFORMED = 9
REJECT_WRONG_PASSWORD = 10
WORLD_NAME = b'Ostrevane'
DEAD_WORLD_NAME = b'Farreach'


def split_credentials(credentials, prefix=b'', separator=b'\n'):
    """(account, password) as bytes, or None when the format does not hold."""
    if not credentials.endswith(b'\0') or not credentials.startswith(prefix):
        return None
    body = credentials[len(prefix):-1]
    account, found, password = body.partition(separator)
    if not found or not account or b'\0' in body:
        return None
    return account, password


class LoginHandler:
    def __init__(self, store, world_port, scenario_of=None, prefix=b'', separator=b'\n', dead_port=None):
        self.store = store
        self.world_port = world_port
        self.dead_port = dead_port
        self.prefix = prefix
        self.separator = separator
        self.account = None

    def check(self, session, credentials):
        relogin = self.store.redeem_relogin(credentials)
        if relogin is not None:
            session.log('login', 'relogin')
            self.account = relogin
            return None
        parts = split_credentials(credentials, self.prefix, self.separator)
        if parts is None:
            session.log('login', 'malformed')
            return REJECT_MALFORMED
        result = self.store.login(*parts)
        session.log('login', result)
        if result == 'wrong-password':
            return REJECT_WRONG_PASSWORD
        self.account = parts[0].decode('latin-1')
        return None

    async def on_accepted(self, session, credentials):
        pass

    def world_list(self, scenario):
        worlds = [{'name': WORLD_NAME, 'label': b'Local', 'v1': 1, 'v2': 0, 'v3': 0,
                   'host': b'127.0.0.1', 'port': self.world_port}]
        if self.dead_port is not None:
            worlds.append({'name': DEAD_WORLD_NAME, 'label': b'Farreach (closed)', 'v1': 0, 'v2': 0, 'v3': 0,
                           'host': b'127.0.0.1', 'port': self.dead_port})
        if scenario.empty_ticket:
            worlds = []
        payload = opcodes.encode(opcodes.IN[2]['fields'], {'worlds': worlds})
        if scenario.huge_list:
            payload = struct.pack('<I', 0xFFFFFFFF) + payload[4:]
        return payload

    async def on_game(self, session, opcode, payload):
        if not session.accepted:
            return
        if opcode in (1, 2):
            await session.send_game(2, self.world_list(session.scenario))
            if session.scenario.empty_ticket:
                ticket = self.store.issue_ticket(self.account)
                await session.send_game(10, ticket.encode('ascii') + b'\0')
        elif opcode == 3:
            name = payload.split(b'\0', 1)[0]
            session.log('pick-world', name.decode('latin-1') or '-')
            if name not in (WORLD_NAME, DEAD_WORLD_NAME) or (name == DEAD_WORLD_NAME and self.dead_port is None):
                session.log('unknown-world', name.hex() or '-')
                return
            ticket = self.store.issue_ticket(self.account)
            await session.send_game(10, ticket.encode('ascii') + b'\0')
