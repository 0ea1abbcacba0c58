"""Cipher and checksum pieces of the session protocol, server side.

XTEA with 32 cycles on two little-endian words, XTEA in 64-bit cipher feedback mode (a
trailing 1-7 bytes use the first bytes of one more key-stream block), CRC-32 from zlib, and
X25519 + HSalsa20 key agreement (NaCl's crypto_box_beforenm) from python3-nacl.
"""
import struct
import zlib

from nacl import bindings as _nacl

MASK = 0xFFFFFFFF
DELTA = 0x9E3779B9


def xtea_encipher(y, z, key):
    """One 64-bit block as words (y, z); key is four words."""
    s = 0
    for _ in range(32):
        y = (y + ((((z << 4) ^ (z >> 5)) + z) ^ (s + key[s & 3]))) & MASK
        s = (s + DELTA) & MASK
        z = (z + ((((y << 4) ^ (y >> 5)) + y) ^ (s + key[(s >> 11) & 3]))) & MASK
    return y, z


def _cfb(data, key, iv, decipher):
    y, z = struct.unpack('<II', iv)
    out = bytearray(data)
    whole = len(out) - len(out) % 8
    for at in range(0, whole, 8):
        ky, kz = xtea_encipher(y, z, key)
        cy, cz = struct.unpack_from('<II', out, at)
        py, pz = cy ^ ky, cz ^ kz
        struct.pack_into('<II', out, at, py, pz)
        y, z = (cy, cz) if decipher else (py, pz)
    if whole < len(out):
        ky, kz = xtea_encipher(y, z, key)
        stream = struct.pack('<II', ky, kz)
        for i in range(whole, len(out)):
            out[i] ^= stream[i - whole]
    return bytes(out)


def cfb_encrypt(data, key, iv):
    return _cfb(data, key, iv, False)


def cfb_decrypt(data, key, iv):
    return _cfb(data, key, iv, True)


def crc32(data):
    return zlib.crc32(data) & MASK


def key_words(session_key16):
    return list(struct.unpack('<4I', session_key16))


def keypair(secret=None):
    """(public, secret); a given secret is used as is (golden frames)."""
    if secret is None:
        import os
        secret = os.urandom(32)
    return _nacl.crypto_scalarmult_base(secret), secret


def shared_key(peer_public, secret):
    """crypto_box_beforenm; raises for a peer key that gives an all-zero secret."""
    return _nacl.crypto_box_beforenm(peer_public, secret)
