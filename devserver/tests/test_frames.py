"""Server-side checks: the cipher against published vectors and python3-botan, frames through
the collector however the stream is split."""
import os
import random
import struct
import unittest
import zlib

from devserver import crypto, frames


def botan_module():
    try:
        import botan2
        return botan2
    except ImportError:
        if os.environ.get('CI') == 'true':
            raise
        return None


class CipherTest(unittest.TestCase):
    def test_published_word_vectors(self):
        key = [0x00010203, 0x04050607, 0x08090a0b, 0x0c0d0e0f]
        self.assertEqual(crypto.xtea_encipher(0x41424344, 0x45464748, key), (0x497df3d0, 0x72612cb5))
        self.assertEqual(crypto.xtea_encipher(0, 0, [0, 0, 0, 0]), (0xdee9d4d8, 0xf7131ed9))

    def test_blocks_against_botan(self):
        botan2 = botan_module()
        if botan2 is None:
            self.skipTest('python3-botan missing')
        rng = random.Random(5)
        cipher = botan2.BlockCipher('XTEA')
        for _ in range(50):
            key = [rng.getrandbits(32) for _ in range(4)]
            y, z = rng.getrandbits(32), rng.getrandbits(32)
            cipher.set_key(struct.pack('>4I', *key))
            out = cipher.encrypt(struct.pack('>2I', y, z))
            self.assertEqual(crypto.xtea_encipher(y, z, key), struct.unpack('>2I', out))

    def test_cfb_round_trip_and_continuation(self):
        rng = random.Random(9)
        key = [rng.getrandbits(32) for _ in range(4)]
        iv = bytes(rng.getrandbits(8) for _ in range(8))
        for n in range(0, 40):
            data = bytes(rng.getrandbits(8) for _ in range(n))
            sealed = crypto.cfb_encrypt(data, key, iv)
            self.assertEqual(crypto.cfb_decrypt(sealed, key, iv), data)
            if n >= 8:
                head = crypto.cfb_encrypt(data[:8], key, iv)
                self.assertEqual(head + crypto.cfb_encrypt(data[8:], key, head), sealed)


class CollectorTest(unittest.TestCase):
    def test_any_split_gives_the_same_frames(self):
        key = [1, 2, 3, 4]
        good = [frames.encode(0, 5, b'\x55' * 7), frames.encode(1, 6, b'', key=key),
                frames.encode(7, 0, b'\x44' * 300, key=key, encipher_payload=True)]
        damaged = frames.encode(0, 9, b'\x66' * 5, corrupt_header=True)
        stream = good[0] + damaged + good[1] + good[2]
        want = [f[:-1] for f in good]
        for cut in range(len(stream) + 1):
            c = frames.Collector()
            got = c.feed(stream[:cut]) + c.feed(stream[cut:])
            self.assertEqual(got, want, cut)
        c = frames.Collector()
        got = []
        for i in range(len(stream)):
            got += c.feed(stream[i:i + 1])
        self.assertEqual(got, want)

    def test_decode_checks_crc_and_deciphers(self):
        key = [5, 6, 7, 8]
        f = frames.encode(7, 0, b'secret', key=key, encipher_payload=True)
        self.assertEqual(frames.decode(f[:-1], key, (7,)), (7, 0, b'secret'))
        self.assertIsNone(frames.decode(f[:-1]))
        plain = frames.encode(2, 0)
        self.assertEqual(zlib.crc32(plain[:15] + b'\0\0\0\0' + plain[19:20]) & 0xFFFFFFFF,
                         struct.unpack_from('<I', plain, 15)[0])


if __name__ == '__main__':
    unittest.main()
