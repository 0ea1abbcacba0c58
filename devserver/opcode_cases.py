"""Prints the message cases that the client's dispatch tests check, one per line:

  slots N OP...                      the incoming opcodes that have a handler
  ignored N OP...                    those whose payload is read and then dropped
  in OP HEX KEY FORM TOKENS...       the client must decode HEX (or '-', empty) to TOKENS
  in OP HEX drop                     the client must ignore the message
  out SESSION OP TOKENS... = HEX     writing the record TOKENS must give exactly HEX
  outcount SESSION N                 the number of opcodes the client sends on that session

Every incoming opcode gets a full message built from a description (which must decode back
to the description), every prefix of it, byte mutations and random payloads. The expected
results come from this server's own schemas and decoder (devserver/opcodes.py).

python3 -m devserver.opcode_cases
"""
import random
import struct
import sys

from . import opcodes as o

UTF8_PIECES = [b'a', b'Z', b'7', b' ', '\u00e9'.encode(), '\u20ac'.encode(), '\U0001F600'.encode()]


def text_value(rng, limit=None):
    n = rng.randrange(0, 12)
    s = b''.join(rng.choice(UTF8_PIECES) for _ in range(n))
    if limit is not None:
        s = o.cut_text(s, limit)
    return s


def float_value(rng):
    return o.f32(rng.randrange(-400000, 400000) / 64.0)


def value(rng, kind, name):
    if name == 'slot' and kind == 'u8':
        return rng.randrange(24)
    if name == 'kind' and kind == 'i32':
        return rng.randrange(0, 12)
    if kind == 'bool':
        return rng.randrange(2)
    if kind == 'u8':
        return rng.randrange(256)
    if kind == 'u16':
        return rng.randrange(65536)
    if kind == 'i16':
        return rng.randrange(-32768, 32768)
    if kind == 'u32':
        return rng.randrange(1 << 32)
    if kind == 'i32':
        return rng.randrange(-(1 << 31), 1 << 31)
    if kind == 'f32':
        return float_value(rng)
    if kind in ('vec3', 'pos'):
        return [float_value(rng) for _ in range(3)]
    if kind == 'fix24':
        return rng.randrange(-(1 << 23), 1 << 23) / 256.0
    if kind == 'angle16':
        deg = rng.randrange(65536) * 360.0 / 65536.0
        return o.f32(deg - 360.0 if deg > 180.0 else deg)
    if kind == 'str':
        return text_value(rng)
    if kind[0] == 'text':
        return text_value(rng, kind[1])
    if kind[0] == 'list':
        _, _, entry, keep, accept = kind
        items = []
        for _ in range(rng.randrange(0, (keep or 4) + 1)):
            for _attempt in range(100):
                item = describe(rng, entry)
                if accept is None or accept(item):
                    break
            items.append(item)
        return items
    if kind[0] == 'struct':
        return describe(rng, kind[1])
    raise ValueError(kind)


def describe(rng, fields):
    rec = {}
    for name, kind in fields or []:
        if isinstance(kind, tuple) and kind[0] == 'opt':
            rec[name] = describe(rng, kind[2]) if rec.get(kind[1]) else o.decode(kind[2], o.Reader(b''))
        else:
            rec[name] = value(rng, kind, name)
    return rec


def valid_description(rng, opcode):
    schema = o.IN[opcode]
    for _ in range(1000):
        rec = describe(rng, schema['fields'])
        for idx_name in ('index', 'kind', 'slot'):
            if idx_name in rec and schema['check'] and opcode not in (9,):
                rec[idx_name] = rng.randrange(0, 10) if idx_name != 'kind' else rng.randrange(1, 11)
        if opcode in (41, 42):
            rec['slot'] = rng.randrange(0, 12) if rec['first'] else rng.randrange(12, 24)
        payload = o.encode(schema['fields'], rec)
        if schema['check'] and not schema['check'](payload, rec):
            continue
        return rec, payload
    raise RuntimeError(opcode)


def in_line(opcode, payload):
    result = o.decode_in(opcode, payload)
    hexed = payload.hex() or '-'
    if result is None:
        return f'in {opcode} {hexed} drop'
    rec, key, form = result
    toks = o.tokens(o.IN[opcode]['fields'], rec)
    return ' '.join([f'in {opcode} {hexed} {key:08x} {form}'] + toks)


def out_lines():
    lines = []
    for session, table in ((0, o.OUT_LOGIN), (1, o.OUT_WORLD)):
        lines.append(f'outcount {session} {len(table)}')
        for opcode, fields in sorted(table.items()):
            rng = random.Random(1000 * session + opcode)
            cases = [describe(rng, fields) for _ in range(3)]
            if opcode in (10, 11) and session == 1:
                # Rounding halves away from zero, saturation, and the -90 degree heading.
                cases.append({'state': 1, 'direction': 0, 'x': o.f32(0.5 / 256), 'y': o.f32(-1.5 / 256),
                              'z': 40000.0, 'heading': -90.0})
                cases.append({'state': 2, 'direction': 5, 'x': -40000.0, 'y': o.f32(12.3456),
                              'z': o.f32(-0.001), 'heading': 179.999})
            if opcode == 2 and session == 1:
                cases.append({'name': '\u00e9'.encode() * 40, 'choice0': 1, 'choice1': 2, 'choice2': 3,
                              'choice3': 4, 'flag': 1, 'choice': 2, 'one': 1})
            for rec in cases:
                toks = o.tokens(fields, rec) if fields else []
                payload = o.encode(fields, rec)
                # The server reads back what it would receive.
                back = o.decode(fields, o.Reader(payload))
                assert o.tokens(fields, back) == o.tokens(fields, o.decode(fields, o.Reader(o.encode(fields, back))))
                lines.append(' '.join([f'out {session} {opcode}'] + toks + ['=', payload.hex() or '-']))
    return lines


def edge_lines():
    """The cases the dispatch must get right whatever the random ones happen to cover."""
    lines = []
    move = struct.pack('<IBB', 7, 1, 0)
    lines.append(in_line(19, move + bytes([0, 0, 0xFF]) + bytes(6) + struct.pack('<H', 0x8000)))
    lines.append(in_line(9, b'x' * 1100))                 # no terminator in the first 1024 bytes
    lines.append(in_line(9, b'x' * 1030 + b'\0'))         # terminator too late
    lines.append(in_line(9, b'account\0password\0'))
    member = lambda i: o.encode(o.MEMBER, {'id': i, 'f1': 1, 'f2': 0, 'name': b'm%d' % i, 'value': i,
                                           'v0': 1, 'v1': 2, 'v2': 3, 'v3': 4, 'position': [1.0, 2.0, 3.0]})
    snapshot = struct.pack('<i', 8) + b''.join(member(i) for i in range(8)) + member(99)
    lines.append(in_line(88, snapshot))                   # keeps 6, still reads the subject
    lines.append(in_line(41, struct.pack('<IBif', 5, 12, 3, 1.0) + b'\1'))  # slot 12, first half
    lines.append(in_line(52, struct.pack('<iii', 30, 1, 2)))                 # bag slot out of range
    lines.append(in_line(52, struct.pack('<iii', -1, 1, 2)))
    lines.append(in_line(35, struct.pack('<IBi', 3, 0, 0x7FFFFFFF) + bytes(11)))  # 20 bytes, huge count
    nan = struct.pack('<f', float('nan'))
    lines.append(in_line(30, struct.pack('<I', 3) + nan + bytes(16)))
    lines.append(in_line(14, struct.pack('<i', 1) + struct.pack('<f', float('inf')) + bytes(8)))
    lines.append(in_line(80, struct.pack('<f', float('inf'))))
    lines.append(in_line(1, struct.pack('<I', 1) + b'\xc3\xa9' * 40 + b'\0' + b'L\0' + bytes(3) + b'h' * 200 + b'\0'
                         + struct.pack('<H', 7000)))
    return lines


def main():
    out = [' '.join(['slots', str(len(o.IN))] + [str(k) for k in sorted(o.IN)])]
    quiet = sorted(k for k, v in o.IN.items() if not v['effect'])
    out.append(' '.join(['ignored', str(len(quiet))] + [str(k) for k in quiet]))
    for opcode in sorted(o.IN):
        rng = random.Random(opcode)
        schema = o.IN[opcode]
        if schema['fields']:
            rec, payload = valid_description(rng, opcode)
            back = o.decode(schema['fields'], o.Reader(payload))
            assert o.tokens(schema['fields'], back) == o.tokens(schema['fields'], rec), opcode
        else:
            payload = b''
        out.append(in_line(opcode, payload))
        for k in range(len(payload)):
            out.append(in_line(opcode, payload[:k]))
        for _ in range(6 if payload else 0):
            mutated = bytearray(payload)
            for _ in range(rng.randrange(1, 4)):
                mutated[rng.randrange(len(mutated))] = rng.choice([0, 0xFF, 0x7F, 0x80, rng.randrange(256)])
            out.append(in_line(opcode, bytes(mutated)))
        for _ in range(3):
            out.append(in_line(opcode, bytes(rng.randrange(256) for _ in range(rng.randrange(1, 48)))))
    out += edge_lines()
    out += out_lines()
    sys.stdout.write('\n'.join(out) + '\n')


if __name__ == '__main__':
    main()
