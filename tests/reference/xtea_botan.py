"""Reference XTEA blocks and XTEA-CFB streams computed with python3-botan.

Botan reads XTEA blocks and keys as big-endian words, the client as little-endian words, so
every 4-byte group is swapped on the way in and out (streams are padded to whole words for
that; CFB output does not depend on later bytes). Prints lines:
  block KEY0 KEY1 KEY2 KEY3 Y Z CY CZ        (hex words)
  cfb KEY0 KEY1 KEY2 KEY3 IV PLAIN CIPHER    (IV, PLAIN, CIPHER as hex bytes; '-' empty)
Exit code 3 when python3-botan is missing.
"""
import random
import struct
import sys

try:
    import botan2
except ImportError:
    sys.exit(3)


def swap_words(data):
    return b''.join(data[i:i + 4][::-1] for i in range(0, len(data), 4))


def main():
    rng = random.Random(int(sys.argv[1]) if len(sys.argv) > 1 else 1)
    block = botan2.BlockCipher('XTEA')
    for _ in range(64):
        key = [rng.getrandbits(32) for _ in range(4)]
        y, z = rng.getrandbits(32), rng.getrandbits(32)
        block.set_key(struct.pack('>4I', *key))
        cy, cz = struct.unpack('>2I', block.encrypt(struct.pack('>2I', y, z)))
        print('block %08x %08x %08x %08x %08x %08x %08x %08x' % (*key, y, z, cy, cz))
    for n in list(range(0, 41)) + [255, 1000, 4099]:
        key = [rng.getrandbits(32) for _ in range(4)]
        iv = bytes(rng.getrandbits(8) for _ in range(8))
        plain = bytes(rng.getrandbits(8) for _ in range(n))
        padded = plain + bytes(-n % 4)
        c = botan2.SymmetricCipher('XTEA/CFB', encrypt=True)
        c.set_key(struct.pack('>4I', *key))
        c.start(swap_words(iv))
        cipher = swap_words(c.finish(swap_words(padded)))[:n]
        print('cfb %08x %08x %08x %08x %s %s %s' % (*key, iv.hex(), plain.hex() or '-', cipher.hex() or '-'))
    return 0


if __name__ == '__main__':
    sys.exit(main())
