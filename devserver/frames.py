"""Session frames, server side.

A frame is a 20-byte header (1, u16 payload length, 8-byte nonce, u16 type, u16 opcode,
u32 CRC-32, 2), the payload and a trailer byte 3. The CRC covers header and payload in plain
text with the CRC field zero. Under encryption the header bytes 11-18 are XTEA-CFB with the
nonce as IV, and an enciphered payload continues that stream with the enciphered header
bytes as IV.
"""
import os
import struct

from . import crypto

HEADER = 20
MAX_PAYLOAD = 65535

KEEPALIVE, KEY_OFFER, KEY_REPLY, ENCRYPT, CRED_REQUEST, CREDENTIALS, ACCEPTED = 2, 3, 4, 5, 6, 7, 8
GAME, GAME_ENCIPHERED, GOODBYE = 0, 1, 15
REJECTIONS = (9, 10, 11, 12, 13, 14, 16)


def encode(ftype, opcode, payload=b'', key=None, encipher_payload=False, nonce=None,
           corrupt_crc=False, corrupt_header=False):
    """Bytes of one frame. key (four words) enciphers the header part, and the payload too
    when encipher_payload is set."""
    if len(payload) > MAX_PAYLOAD:
        raise ValueError('payload too long')
    if nonce is None:
        nonce = os.urandom(8)
    head = struct.pack('<BH8sHHIB', 1, len(payload), nonce, ftype, opcode, 0, 2)
    crc = crypto.crc32(head + payload)
    if corrupt_crc:
        crc ^= 0x00010000
    head = head[:15] + struct.pack('<I', crc) + head[19:]
    body = payload
    if key is not None:
        sealed = crypto.cfb_encrypt(head[11:19], key, nonce)
        head = head[:11] + sealed + head[19:]
        if encipher_payload and payload:
            body = crypto.cfb_encrypt(payload, key, sealed)
    if corrupt_header:
        head = b'\x07' + head[1:]
    return head + body + b'\x03'


def decode(frame, key=None, encipher_payload_types=()):
    """(type, opcode, payload) of a collected frame (header + payload, no trailer), or None
    when its CRC does not match. key: deciphers the header part first."""
    frame = bytearray(frame)
    nonce = bytes(frame[3:11])
    sealed = bytes(frame[11:19])
    if key is not None:
        frame[11:19] = crypto.cfb_decrypt(sealed, key, nonce)
    ftype, opcode, crc = struct.unpack_from('<HHI', frame, 11)
    if key is not None and ftype in encipher_payload_types and len(frame) > HEADER:
        frame[HEADER:] = crypto.cfb_decrypt(bytes(frame[HEADER:]), key, sealed)
    frame[15:19] = b'\0\0\0\0'
    if crypto.crc32(bytes(frame)) != crc:
        return None
    return ftype, opcode, bytes(frame[HEADER:])


class Collector:
    """Cuts a byte stream into frames whatever the chunking. A header without its markers is
    dropped with everything up to the next byte 3; after each frame the trailer (and anything
    up to the next byte 3) is skipped the same way."""

    def __init__(self):
        self.pending = bytearray()
        self.skipping = False

    def feed(self, data):
        self.pending += data
        frames = []
        while True:
            if self.skipping:
                at = self.pending.find(3)
                if at < 0:
                    self.pending.clear()
                    return frames
                del self.pending[:at + 1]
                self.skipping = False
            if len(self.pending) < HEADER:
                return frames
            if self.pending[0] != 1 or self.pending[19] != 2:
                del self.pending[:HEADER]
                self.skipping = True
                continue
            size = HEADER + struct.unpack_from('<H', self.pending, 1)[0]
            if len(self.pending) < size:
                return frames
            frames.append(bytes(self.pending[:size]))
            del self.pending[:size]
            self.skipping = True
