"""The local server's opcode schemas and decoder on values worked out by hand."""
import struct
import unittest

from devserver import opcodes as o


class FieldEncodings(unittest.TestCase):
    def test_fix24_and_angle16(self):
        rec, _, _ = o.decode_in(19, struct.pack('<IBB', 1, 0, 0) + bytes([0, 0, 0xFF]) + bytes(6)
                                + struct.pack('<H', 0x8000))
        self.assertEqual(rec['x'], -256.0)
        self.assertEqual(rec['heading'], 180.0)
        self.assertEqual(o.encode(o.MOVE, {'state': 1, 'direction': 0, 'x': 0.0, 'y': 0.0, 'z': 0.0,
                                           'heading': -90.0})[-2:], struct.pack('<H', 49152))
        self.assertEqual(o.fix24_bits(0.5 / 256), 1)
        self.assertEqual(o.fix24_bits(-0.5 / 256), -1)
        self.assertEqual(o.fix24_bits(1e9), 8388607)

    def test_text_cut_keeps_whole_characters(self):
        self.assertEqual(o.cut_text('\u00e9'.encode() * 40, 65), '\u00e9'.encode() * 32)
        self.assertEqual(o.cut_text(b'a' + '\u20ac'.encode() * 30, 65), b'a' + '\u20ac'.encode() * 21)


class Policy(unittest.TestCase):
    def test_huge_count_is_clamped_to_the_bytes_left(self):
        payload = struct.pack('<IBi', 3, 1, 0x7FFFFFFF) + bytes(11)
        rec, _, _ = o.decode_in(35, payload)
        self.assertEqual(len(rec['ids']), 2)

    def test_group_keeps_six_and_reads_the_subject(self):
        def member(i):
            return o.encode(o.MEMBER, {'id': i, 'f1': 0, 'f2': 0, 'name': b'n', 'value': 0, 'v0': 0, 'v1': 0,
                                       'v2': 0, 'v3': 0, 'position': [0.0, 0.0, 0.0]})
        payload = struct.pack('<i', 8) + b''.join(member(i) for i in range(8)) + member(42)
        rec, key, form = o.decode_in(89, payload)
        self.assertEqual([m['id'] for m in rec['members']], list(range(6)))
        self.assertEqual(rec['subject']['id'], 42)
        self.assertEqual((key, form), (0x4C81FF0C, o.FORMS['chat_named']))

    def test_dropped_messages(self):
        nan = struct.pack('<f', float('nan'))
        self.assertIsNone(o.decode_in(31, struct.pack('<I', 1) + nan + bytes(12)))
        self.assertIsNone(o.decode_in(9, b'x' * 1100))
        self.assertIsNone(o.decode_in(41, struct.pack('<IBif', 1, 12, 0, 0.0) + b'\1'))
        self.assertIsNone(o.decode_in(56, struct.pack('<iii', 10, 0, 0)))

    def test_tables(self):
        self.assertEqual(sorted(o.IN), list(range(1, 213)))
        self.assertEqual(o.decode_in(211, struct.pack('<ii', 0, 137))[1], 0x39232DE4)
        self.assertEqual(o.decode_in(211, struct.pack('<ii', 0, 138))[1], 0x12E9C60A)


if __name__ == '__main__':
    unittest.main()
