"""Server half of the session protocol over one TCP connection.

Handshake: key offer (3) -> key reply (4) -> encryption switch (5) -> credentials request (6)
-> credentials (7) -> accepted (8), a rejection (9-14, 16) or goodbye (15). Keep-alives (2)
every few seconds; the connection is dropped after its idle time without any frame from the
client. From the switch on, the server enciphers the header part of everything it sends and
the payload of type 1; it reads the client's frames with or without encryption, whichever
checks (a client may still send a plain keep-alive before it has seen the switch).

Later servers build on ServerSession through its handler: on_accepted(session, credentials)
and on_game(session, opcode, payload); an optional check(session, credentials) answers None to
accept or a rejection frame type.
"""
import asyncio
import struct

from . import crypto, frames

# A point of order 8 on the curve: X25519 with any secret gives the all-zero secret.
LOW_ORDER_POINT = bytes.fromhex('e0eb7a7c3b41b8ae1656e3faf19fc46ada098deb9c32b1fd866205165f49b800')


class ServerSession:
    def __init__(self, reader, writer, scenario, log, handler=None, keepalive=5.0, idle=30.0):
        self.reader = reader
        self.writer = writer
        self.scenario = scenario
        self.log = log
        self.handler = handler
        self.keepalive_seconds = keepalive
        self.idle_seconds = idle
        self.collector = frames.Collector()
        self.public, self.secret = crypto.keypair()
        self.key = None            # four words once the client answered the key offer
        self.sending_sealed = False
        self.credentials_asked = 0
        self.accepted = False
        self.closed = False
        self.write_lock = asyncio.Lock()

    # ---- sending ----

    async def write(self, data):
        async with self.write_lock:
            if self.closed:
                return
            try:
                if self.scenario.byte_by_byte:
                    for i in range(len(data)):
                        self.writer.write(data[i:i + 1])
                        await self.writer.drain()
                        await asyncio.sleep(0.0005)
                else:
                    self.writer.write(data)
                    await self.writer.drain()
            except (ConnectionError, OSError):
                self.closed = True

    async def send(self, ftype, opcode=0, payload=b'', **damage):
        key = self.key if self.sending_sealed else None
        data = frames.encode(ftype, opcode, payload, key=key,
                             encipher_payload=(ftype == frames.GAME_ENCIPHERED), **damage)
        await self.write(data)

    async def send_game(self, opcode, payload=b'', enciphered=False):
        await self.send(frames.GAME_ENCIPHERED if enciphered else frames.GAME, opcode, payload)

    async def close(self):
        if self.closed:
            return
        self.closed = True
        try:
            self.writer.close()
            await self.writer.wait_closed()
        except (ConnectionError, OSError):
            pass

    # ---- receiving ----

    def decode(self, frame):
        if self.key is not None:
            decoded = frames.decode(frame, self.key, encipher_payload_types=(frames.CREDENTIALS,))
            if decoded is not None:
                return decoded
        return frames.decode(frame)

    async def keepalive_loop(self):
        while not self.closed:
            await asyncio.sleep(self.keepalive_seconds)
            if not self.closed:
                await self.send(frames.KEEPALIVE)

    async def offer_key(self):
        s = self.scenario
        if s.low_order_key:
            offered = LOW_ORDER_POINT
        else:
            offered = self.public
        payload = struct.pack('<I', 32) + offered
        if s.short_key:
            payload = payload[:35]
        if s.bad_crc:
            await self.send(frames.KEY_OFFER, 0, payload, corrupt_crc=True)
        if s.bad_header:
            # The client drops a damaged header and skips to the next byte 3; a 3 inside this
            # frame's payload would leave it mid-frame and cost it the good copy that follows,
            # so the damaged copy carries none.
            damaged = bytes(4 if b == 3 else b for b in payload)
            await self.send(frames.KEY_OFFER, 0, damaged, corrupt_header=True)
        await self.send(frames.KEY_OFFER, 0, payload)
        self.log('key-offer', payload.hex())

    async def on_frame(self, ftype, opcode, payload):
        s = self.scenario
        if ftype == frames.KEY_REPLY:
            self.log('key-reply', payload.hex())
            if self.key is not None or len(payload) < 36:
                return
            try:
                shared = crypto.shared_key(payload[4:36], self.secret)
            except Exception:
                self.log('bad-key-reply')
                return
            self.key = crypto.key_words(shared[:16])
            await self.send(frames.ENCRYPT)
            self.sending_sealed = True
            self.credentials_asked = 1
            await self.send(frames.CRED_REQUEST)
        elif ftype == frames.CREDENTIALS:
            length = struct.unpack_from('<I', payload)[0] if len(payload) >= 4 else 0
            credentials = payload[4:4 + length]
            self.log('credentials', credentials.hex() or '-')
            if s.creds_twice and self.credentials_asked == 1:
                self.credentials_asked = 2
                await self.send(frames.CRED_REQUEST)
                return
            await self.verdict(credentials)
        elif ftype in (frames.GAME, frames.GAME_ENCIPHERED):
            if len(payload) <= 256:
                self.log('game', '%d %s' % (opcode, payload.hex() or '-'))
            else:
                self.log('game', '%d len=%d crc=%08x' % (opcode, len(payload), crypto.crc32(payload)))
            if self.handler is not None:
                await self.handler.on_game(self, opcode, payload)
            elif s.echo and self.accepted:
                await self.send_game(opcode, payload)
                await self.send_game(opcode, payload, enciphered=True)
        elif ftype == frames.KEEPALIVE:
            self.log('keepalive')
        elif ftype == frames.GOODBYE:
            self.log('goodbye')
            await self.close()
        else:
            self.log('frame', '%d %d' % (ftype, opcode))

    async def verdict(self, credentials):
        s = self.scenario
        refused = None
        if s.reject is None and not s.goodbye and self.handler is not None and hasattr(self.handler, 'check'):
            refused = self.handler.check(self, credentials)
        if s.reject is not None or refused is not None:
            rejection = s.reject if s.reject is not None else refused
            await self.send(rejection)
            self.log('rejected', str(rejection))
        elif s.goodbye:
            await self.send(frames.GOODBYE)
            self.log('said-goodbye')
        else:
            await self.send(frames.ACCEPTED)
            self.accepted = True
            self.log('accepted')
            if self.handler is not None:
                await self.handler.on_accepted(self, credentials)
        if s.then_goodbye:
            await self.send(frames.GOODBYE)
            self.log('said-goodbye')
        if s.hangup == 'accepted':
            self.log('hangup')
            await self.close()
        elif s.slow_read > 0:
            await asyncio.sleep(s.slow_read)

    async def run(self):
        s = self.scenario
        self.log('connected')
        keepalive = None
        try:
            if s.hangup == 'connect':
                self.log('hangup')
                return
            if not s.silent:
                await self.offer_key()
                if s.hangup == 'offer':
                    self.log('hangup')
                    return
                if not s.no_keepalive:
                    keepalive = asyncio.ensure_future(self.keepalive_loop())
            while not self.closed:
                try:
                    if s.silent:
                        data = await self.reader.read(65536)
                    else:
                        data = await asyncio.wait_for(self.reader.read(65536), self.idle_seconds)
                except asyncio.TimeoutError:
                    self.log('idle-timeout')
                    break
                except (ConnectionError, OSError):
                    self.log('reset')
                    break
                if not data:
                    self.log('end-of-stream')
                    break
                for frame in self.collector.feed(data):
                    decoded = self.decode(frame)
                    if decoded is None:
                        self.log('bad-frame')
                        continue
                    await self.on_frame(*decoded)
                    if self.closed:
                        break
        finally:
            if keepalive is not None:
                keepalive.cancel()
            await self.close()
            self.log('closed')
