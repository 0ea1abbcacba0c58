"""python3 -m devserver [--login-port N] [--scenario TEXT] [--data DIR]

Listens on 127.0.0.1. The first line on stdout is "listening PORT" (port 0 picks a free
one); every line after it is "event CONNECTION NAME [DETAIL]" so tests can follow what the
server saw. Ends on SIGTERM or SIGINT.
"""
import argparse
import asyncio
import signal
import sys

from .scenario import ScenarioPlan
from .session import ServerSession


def parse_arguments(argv):
    p = argparse.ArgumentParser(prog='devserver', description='Local game server.')
    p.add_argument('--host', default='127.0.0.1', choices=['127.0.0.1'],
                   help='address to listen on (loopback only)')
    p.add_argument('--login-port', type=int, default=3550, help='login port; 0 picks a free port')
    p.add_argument('--data', default=None, help='folder for accounts and characters')
    p.add_argument('--scenario', default='', help='test knobs, see devserver/scenario.py')
    p.add_argument('--keepalive', type=float, default=5.0, help='seconds between keep-alives')
    p.add_argument('--idle-timeout', type=float, default=30.0,
                   help='seconds without a frame from the client before hanging up')
    return p.parse_args(argv)


def emit(*words):
    print(' '.join(str(w) for w in words), flush=True)


async def serve(options):
    plan = ScenarioPlan(options.scenario)
    connections = 0

    async def on_connection(reader, writer):
        nonlocal connections
        index = connections
        connections += 1

        def log(name, detail=''):
            emit('event', index, name, detail) if detail else emit('event', index, name)

        session = ServerSession(reader, writer, plan.for_connection(index), log,
                                keepalive=options.keepalive, idle=options.idle_timeout)
        await session.run()

    server = await asyncio.start_server(on_connection, options.host, options.login_port)
    port = server.sockets[0].getsockname()[1]
    emit('listening', port)
    stop = asyncio.get_running_loop().create_future()
    for sig in (signal.SIGTERM, signal.SIGINT):
        asyncio.get_running_loop().add_signal_handler(sig, lambda: stop.done() or stop.set_result(None))
    async with server:
        await stop


def main(argv=None):
    options = parse_arguments(sys.argv[1:] if argv is None else argv)
    try:
        ScenarioPlan(options.scenario)
    except ValueError as error:
        print('devserver: %s' % error, file=sys.stderr)
        return 2
    asyncio.run(serve(options))
    return 0


if __name__ == '__main__':
    sys.exit(main())
