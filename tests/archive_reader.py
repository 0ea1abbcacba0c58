"""An archive reader written from the file layout alone, shared by the tests that read what
the tools build: the directory is deciphered with Botan's XTEA, keys are rebuilt from the
header with a lowbias32 written here, and entries are decompressed by the LZSS decoder below,
which keeps the 2048-byte window explicitly as the format describes it. Only the seed
constants are taken from the shared header, since they are the project's choice.

SOURCE must be set to the source folder before read_archive is called."""
import os
import re
import struct

SOURCE = None

try:
    import botan2
except ImportError:  # a missing reference is a failure on CI, a skip elsewhere
    botan2 = None


def require_botan(test):
    """Fails the unittest case under CI and skips it elsewhere when python3-botan is missing."""
    if botan2 is None:
        if os.environ.get("CI") == "true":
            test.fail("python3-botan is missing")
        test.skipTest("python3-botan is missing")


def slurp(path):
    with open(path, "rb") as f:
        return f.read()


def lowbias32(x):
    x ^= x >> 16
    x = (x * 0x7FEB352D) & 0xFFFFFFFF
    x ^= x >> 15
    x = (x * 0x846CA68B) & 0xFFFFFFFF
    x ^= x >> 16
    return x


def seed_constants():
    with open(os.path.join(SOURCE, "src/assets/archive_keys.h")) as f:
        text = f.read()
    values = dict(re.findall(r"ARCHIVE_(SEED_\d|STEP) = (0x[0-9A-Fa-f]+)u", text))
    seeds = [int(values["SEED_%d" % i], 16) for i in range(1, 9)]
    return seeds, int(values["STEP"], 16)


def xtea_decipher(words, key):
    cipher = botan2.BlockCipher("XTEA")
    cipher.set_key(b"".join(k.to_bytes(4, "big") for k in key))
    plain = bytes(cipher.decrypt(words[0].to_bytes(4, "big") + words[1].to_bytes(4, "big")))
    return int.from_bytes(plain[:4], "big"), int.from_bytes(plain[4:], "big")


def lzss_decode(data, size):
    """Window of 2048: spaces at 0..2030, zeros at 2031..2047, writing from 2031. Bits most
    significant first; flag 1 = 8-bit literal, flag 0 = 11-bit position + 4-bit length,
    copying length + 2 bytes one at a time. Ends when the next read needs more bits than
    remain. Returns None when more than size bytes come out."""
    window = bytearray(b" " * 2031 + b"\0" * 17)
    r = 2031
    total_bits = len(data) * 8
    pos = 0
    out = bytearray()

    def read(n):
        nonlocal pos
        if pos + n > total_bits:
            return None
        v = 0
        for _ in range(n):
            v = (v << 1) | ((data[pos >> 3] >> (7 - (pos & 7))) & 1)
            pos += 1
        return v

    while True:
        flag = read(1)
        if flag is None:
            break
        if flag == 1:
            byte = read(8)
            if byte is None:
                break
            out.append(byte)
            window[r] = byte
            r = (r + 1) % 2048
        else:
            position = read(11)
            if position is None:
                break
            length = read(4)
            if length is None:
                break
            for k in range(length + 2):
                byte = window[(position + k) % 2048]
                out.append(byte)
                window[r] = byte
                r = (r + 1) % 2048
        if len(out) > size:
            return None
    return bytes(out)


def read_archive(path):
    """{id: bytes} of an archive, first entry winning; raises on any fault."""
    seeds, step = seed_constants()
    S = [None] + seeds
    blob = slurp(path)
    magic, n, directory, salt = struct.unpack_from("<4I", blob, 0)
    assert magic == 0xDA7AF11E, hex(magic)
    a = lowbias32(n ^ S[1])
    b = lowbias32(directory ^ S[2])
    w = lowbias32(salt ^ S[3])
    p, q = S[4], 0
    entries = {}
    for i in range(n):
        e = struct.unpack_from("<4I", blob, directory + 16 * i)
        key = [
            lowbias32(i ^ p ^ S[5]),
            lowbias32((a + n + i + S[6]) & 0xFFFFFFFF),
            lowbias32(((i << 16) & 0xFFFFFFFF) ^ directory ^ b ^ S[7]),
            lowbias32((q + w + salt + S[8]) & 0xFFFFFFFF),
        ]
        ident, offset = xtea_decipher(e[0:2], key)
        stored, size = xtea_decipher(e[2:4], key)
        p, a, b, w = e
        q = (q + step) & 0xFFFFFFFF
        start = 16 + offset
        assert start + stored <= directory, "entry runs into the directory"
        data = lzss_decode(blob[start:start + stored], size)
        assert data is not None and len(data) == size, "entry %d decodes to the wrong size" % ident
        entries.setdefault(ident, data)
    assert directory + 16 * n == len(blob) or n == 0
    return entries
