"""python3 -m devserver [--login-port N] [--world-port N] [--data DIR] [--scenario TEXT]
                      [--world-scenario TEXT] [--role game|session] [--zone N] [--zones DIR]

Listens on 127.0.0.1. The first line on stdout is "listening PORT" for the login port (0
picks a free one); with the game role the second is "world PORT". Every line after them is
"event CONNECTION NAME [DETAIL]" (world connections are numbered from 1000) so tests can
follow what the servers saw, every game message included as "game OPCODE PAYLOAD-HEX".
Role "game" runs the login server and the world server (accounts and characters in the data
folder); role "session" runs only the bare session layer on the login port, for the session
tests. The game role places players at the spawn line of zone<zone + 2>.txt in the zones
folder (content/zones by default); a missing description or a missing or malformed spawn
line ends the program with exit code 2 and one line naming the file. A port already in use
ends the program with exit code 3 and a one-line message.
Ends on SIGTERM or SIGINT.
"""
import argparse
import asyncio
import signal
import socket
import errno
import os
import sys

from .locale_texts import credential_texts
from .login import LoginHandler
from .scenario import ScenarioPlan
from .session import ServerSession
from .store import Store
from .world import DEFAULT_ZONE, WorldHandler
from .zone_spawn import ZONES_FOLDER, SpawnError, read_spawn, zone_file


def parse_arguments(argv):
    p = argparse.ArgumentParser(prog='devserver', description='Local game server.')
    p.add_argument('--host', default='127.0.0.1', choices=['127.0.0.1'],
                   help='address to listen on (loopback only)')
    p.add_argument('--login-port', type=int, default=3550, help='login port; 0 picks a free port')
    p.add_argument('--world-port', type=int, default=3551, help='world port; 0 picks a free port')
    p.add_argument('--data', default=None,
                   help='folder for accounts and characters (default: nothing is kept)')
    p.add_argument('--scenario', default='', help='test knobs, see devserver/scenario.py')
    p.add_argument('--world-scenario', default='', help='test knobs of the world server')
    p.add_argument('--role', default='game', choices=['game', 'session'])
    p.add_argument('--zone', type=int, default=DEFAULT_ZONE, help='zone number sent on entering')
    p.add_argument('--zones', default=ZONES_FOLDER, help='folder of the zone descriptions (spawn lines)')
    p.add_argument('--credential-prefix', default=None,
                   help='text before the account (default: the demo locale\'s, content/locale/english.tsv)')
    p.add_argument('--credential-separator', default=None,
                   help='text between account and password (default: the demo locale\'s)')
    p.add_argument('--keepalive', type=float, default=5.0, help='seconds between keep-alives')
    p.add_argument('--idle-timeout', type=float, default=30.0,
                   help='seconds without a frame from the client before hanging up')
    return p.parse_args(argv)


def free_port(host):
    """A port nothing listens on (bound for a moment, then let go): the closed second world."""
    with socket.socket() as s:
        s.bind((host, 0))
        return s.getsockname()[1]


def emit(*words):
    print(' '.join(str(w) for w in words), flush=True)


async def serve(options, spawn=None, spawns=None):
    plan = ScenarioPlan(options.scenario)
    world_plan = ScenarioPlan(options.world_scenario)
    store = Store(options.data) if options.data else Store(None)
    counters = {'login': 0, 'world': 1000}
    world_port = [0]

    def accept(kind, scenarios, make_handler):
        async def on_connection(reader, writer):
            index = counters[kind]
            counters[kind] += 1

            def log(name, detail=''):
                emit('event', index, name, detail) if detail else emit('event', index, name)

            scenario = scenarios.for_connection(index % 1000)
            session = ServerSession(reader, writer, scenario, log, handler=make_handler(),
                                    keepalive=options.keepalive, idle=options.idle_timeout)
            await session.run()
        return on_connection

    locale_prefix, locale_separator = credential_texts()
    prefix = (locale_prefix if options.credential_prefix is None else options.credential_prefix).encode('latin-1')
    separator = (locale_separator if options.credential_separator is None
                 else options.credential_separator).encode('latin-1')
    game = options.role == 'game'
    dead_port = free_port(options.host) if game else None
    login_handler = (lambda: LoginHandler(store, world_port[0], prefix=prefix, separator=separator,
                                          dead_port=dead_port)) if game else (lambda: None)
    try:
        login = await asyncio.start_server(accept('login', plan, login_handler), options.host,
                                           options.login_port)
        world = None
        if game:
            world = await asyncio.start_server(accept('world', world_plan, lambda: WorldHandler(store, options.zone, spawn, spawns)),
                                               options.host, options.world_port)
    except OSError as error:
        if error.errno == errno.EADDRINUSE:
            print('devserver: a port is already in use on 127.0.0.1 (login %d, world %d): is another '
                  'server running?' % (options.login_port, options.world_port), file=sys.stderr)
            os._exit(3)
        raise
    emit('listening', login.sockets[0].getsockname()[1])
    if world is not None:
        world_port[0] = world.sockets[0].getsockname()[1]
        emit('world', world_port[0])
    stop = asyncio.get_running_loop().create_future()
    for sig in (signal.SIGTERM, signal.SIGINT):
        asyncio.get_running_loop().add_signal_handler(sig, lambda: stop.done() or stop.set_result(None))
    async with login:
        if world is not None:
            async with world:
                await stop
        else:
            await stop


def demo_spawns(options):
    """Spawn points of the demo zones 3 and 4 (wire numbers 1 and 2) whose descriptions can
    be read: a zone change (16) goes between them."""
    spawns = {}
    for wire in (1, 2):
        try:
            spawns[wire] = read_spawn(zone_file(wire + 2, options.zones))
        except SpawnError:
            pass
    return spawns


def main(argv=None):
    options = parse_arguments(sys.argv[1:] if argv is None else argv)
    try:
        ScenarioPlan(options.scenario)
        ScenarioPlan(options.world_scenario)
    except ValueError as error:
        print('devserver: %s' % error, file=sys.stderr)
        return 2
    spawn = None
    if options.role == 'game':
        try:
            # The client loads zone file max(zone + 2, 1) for the zone number it is sent.
            spawn = read_spawn(zone_file(max(options.zone + 2, 1), options.zones))
        except SpawnError as error:
            print('devserver: %s' % error, file=sys.stderr)
            return 2
    asyncio.run(serve(options, spawn, demo_spawns(options) if spawn is not None else None))
    return 0


if __name__ == '__main__':
    sys.exit(main())
