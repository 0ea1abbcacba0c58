"""Prints golden session frames with fixed keys and nonces, one "name hex" per line.

python3 -m devserver.golden > src/net/testdata/golden_frames.txt

The client's tests decode the server frames and, with their random source pinned to the
same secret and nonces, must produce the client frames byte for byte.
"""
import struct
import sys

from . import crypto, frames
from .session import LOW_ORDER_POINT

SERVER_SECRET = bytes(range(0x40, 0x60))
CLIENT_SECRET = bytes(range(0xA0, 0xC0))
CREDENTIALS = b'account\0password\0'
GAME_PAYLOAD = bytes.fromhex('0100000080ff7f00123456ab')


def nonce(n):
    return bytes((n * 16 + i) & 0xFF for i in range(8))


def lines():
    server_public, _ = crypto.keypair(SERVER_SECRET)
    client_public, _ = crypto.keypair(CLIENT_SECRET)
    shared = crypto.shared_key(client_public, SERVER_SECRET)
    assert shared == crypto.shared_key(server_public, CLIENT_SECRET)
    key = crypto.key_words(shared[:16])
    out = [
        ('server_secret', SERVER_SECRET),
        ('server_public', server_public),
        ('client_secret', CLIENT_SECRET),
        ('client_public', client_public),
        ('session_key', shared[:16]),
        ('credentials', CREDENTIALS),
        ('game_payload', GAME_PAYLOAD),
        # server -> client
        ('s_key_offer', frames.encode(3, 0, struct.pack('<I', 32) + server_public, nonce=nonce(1))),
        ('s_encrypt', frames.encode(5, 0, b'', nonce=nonce(2))),
        ('s_cred_request', frames.encode(6, 0, b'', key=key, nonce=nonce(3))),
        ('s_accepted', frames.encode(8, 0, b'', key=key, nonce=nonce(4))),
        ('s_game_plain', frames.encode(0, 77, GAME_PAYLOAD, key=key, nonce=nonce(5))),
        ('s_game_sealed', frames.encode(1, 78, GAME_PAYLOAD, key=key, encipher_payload=True,
                                        nonce=nonce(6))),
        ('s_keepalive', frames.encode(2, 0, b'', key=key, nonce=nonce(7))),
        ('s_key_offer_short', frames.encode(3, 0, (struct.pack('<I', 32) + server_public)[:35],
                                            nonce=nonce(8))),
        ('s_key_offer_low_order', frames.encode(3, 0, struct.pack('<I', 32) + LOW_ORDER_POINT,
                                                nonce=nonce(8))),
        # client -> server (nonces 9 onwards, in the order the client draws them)
        ('c_key_reply', frames.encode(4, 0, struct.pack('<I', 32) + client_public, nonce=nonce(9))),
        ('c_credentials', frames.encode(7, 0, struct.pack('<I', len(CREDENTIALS)) + CREDENTIALS,
                                        key=key, encipher_payload=True, nonce=nonce(10))),
        ('c_game', frames.encode(0, 10, GAME_PAYLOAD, key=key, nonce=nonce(11))),
        ('c_keepalive', frames.encode(2, 0, b'', key=key, nonce=nonce(12))),
        ('c_goodbye', frames.encode(15, 0, b'', key=key, nonce=nonce(13))),
    ]
    # Every other control type, plain (before the switch) and sealed (after it).
    for ftype in (9, 10, 11, 12, 13, 14, 15, 16):
        out.append(('p_type_%d' % ftype, frames.encode(ftype, 0, b'', nonce=nonce(ftype + 16))))
        out.append(('s_type_%d' % ftype, frames.encode(ftype, 0, b'', key=key, nonce=nonce(ftype + 16))))
    return ['%s %s' % (name, value.hex()) for name, value in out]


def main():
    sys.stdout.write('\n'.join(lines()) + '\n')
    return 0


if __name__ == '__main__':
    sys.exit(main())
