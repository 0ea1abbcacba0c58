"""Game message schemas of the local server: every opcode the server sends to the client and
every opcode the client sends to the server, as declarative field lists, with an encoder and
a decoder for each.

Field kinds: 'bool' 'u8' 'u16' 'i16' 'u32' 'i32' 'f32' 'vec3' 'pos' 'fix24' 'angle16' 'str',
('text', size) for a zero-terminated text the client keeps in a buffer of `size` bytes,
('list', count_kind, fields, keep, accept) for a counted list, ('struct', fields) and
('opt', control, fields) for fields present only when the earlier field `control` is not 0.

The decoder reads like the client: values are little-endian, a read past the end sets a
sticky error after which every value is 0 and every text absent; it applies the client's
input-safety rules (list counts clamped to the bytes left, non-finite floats read as 0, a
non-finite 'pos' drops the message, texts cut at a character boundary), so that it predicts
exactly what the client must make of any payload.
"""
import math
import struct


class Dropped(Exception):
    """The client must ignore this message."""


def rep(name, kind, n):
    return [(f'{name}{i}', kind) for i in range(n)]


def lst(name, fields, count='i32', keep=0, accept=None):
    return (name, ('list', count, fields, keep, accept))


# --- incoming (server -> client) -------------------------------------------------------------

WORLD = [('name', ('text', 65)), ('label', ('text', 65)), ('v1', 'u8'), ('v2', 'u8'), ('v3', 'u8'),
         ('host', ('text', 129)), ('port', 'u16')]
MOTION = [('a', 'pos'), ('heading', 'f32'), ('b', 'pos'), ('c', 'pos'), ('value', 'f32'), ('flags', 'u8')]
MEMBER = ([('id', 'u32'), ('f1', 'bool'), ('f2', 'bool'), ('name', ('text', 129)), ('value', 'i32')]
          + rep('v', 'i32', 4) + [('position', 'vec3')])
GROUP = [lst('members', MEMBER, keep=6), ('subject', ('struct', MEMBER))]
STATUS = [('slot', 'u8'), ('value', 'i32'), ('time', 'f32')]


def low_half(entry):
    return entry['slot'] <= 11


def high_half(entry):
    return 12 <= entry['slot'] <= 23


def skill_kind(entry):
    return 1 <= entry['kind'] <= 10


CHAR_HEAD = ([('id', 'u32'), ('position', 'pos'), ('heading', 'f32'), ('scale', 'f32'), ('appearance', 'i32'),
              ('b', 'u32'), ('c', 'u32'), ('d', 'u32'), ('name', 'str'), ('title', 'str'), ('attr_a', 'i32'),
              ('flags', 'i32'), ('motion', ('struct', MOTION))]
             + [('health_max', 'f32'), ('health', 'f32'), ('walk', 'f32'), ('run', 'f32'), ('swim', 'f32')]
             + [('value_a', 'i32'), ('value_b', 'i32'), ('value_c', 'u32')])
CHAR_EFFECT = [('effect_value', 'i32'), ('effect_a', 'f32'), ('effect_b', 'f32'), ('effect', 'u32')]
CHAR_PLAYER = [('slot0', 'i32'), ('slot1', 'i32'), ('slot4', 'bool'), ('slot2', 'bool'), ('slot3', 'i32')]
CHAR_TAIL = [('listed', 'bool'), lst('ids', [('id', 'u32')]),
             lst('status_low', STATUS, accept=low_half), lst('status_high', STATUS, accept=high_half)]
TRIPLE = rep('v', 'i32', 3)
LOCAL_TAIL = ([lst('bag', TRIPLE), lst('worn', TRIPLE), lst('store', TRIPLE),
               lst('named', [('text', 'str'), ('flag', 'bool'), ('value', 'i32')]),
               lst('texts', [('text', 'str')]),
               lst('known_a', [('ability', 'i32')]), lst('known_b', [('ability', 'i32')]),
               lst('ability_values', [('ability', 'i32'), ('value', 'f32')]),
               lst('skills', [('kind', 'i32')] + rep('v', 'i32', 6), accept=skill_kind)]
              + rep('sheet', 'i32', 23) + [('p1', 'f32'), ('p2', 'f32'), ('p3', 'i32')]
              + [lst('pairs', [('a', 'i32'), ('b', 'i32')])] + GROUP + rep('t', 'i32', 3))

SPAWN_OBJECT = [('id', 'u32'), ('secondary', 'u32'), ('position', 'pos'), ('heading', 'f32'), ('scale', 'f32'),
                ('appearance', 'i32'), ('b', 'u32'), ('c', 'u32'), ('d', 'u32'), ('name', 'str'),
                ('title', 'str'), ('attr_a', 'i32'), ('flags', 'i32'), ('listed', 'bool'),
                lst('ids', [('id', 'u32')])]
SPAWN_CREATURE = CHAR_HEAD + CHAR_EFFECT + CHAR_TAIL
SPAWN_PLAYER = CHAR_HEAD + CHAR_EFFECT + CHAR_PLAYER + CHAR_TAIL
SPAWN_LOCAL = (CHAR_HEAD + [('extra', 'i32')] + CHAR_EFFECT + CHAR_PLAYER + [('pair1', 'f32'), ('pair2', 'f32')]
               + CHAR_TAIL + LOCAL_TAIL)

# The account's character: its id (what entering and deleting send back), its name, class,
# appearance words and a second text line.
DETAILS = [('id', 'i32'), ('name', 'str'), ('class', 'u8'), ('value_a', 'u8'), ('appearance0', 'u32'),
           ('appearance1', 'u32'), ('value_b', 'i32'), ('line', 'str'), ('value_c', 'i32'), ('value_d', 'i32'),
           ('flag', 'bool')]

DEF_ABILITY = ([('id', 'i32'), ('name', 'str'), ('text', 'str')] + rep('a', 'i32', 4) + rep('f', 'bool', 4)
               + [('value', 'f32'), ('byte', 'u8')] + rep('b', 'i32', 8) + rep('c', 'f32', 4)
               + [('d', 'i32'), ('e', 'f32')] + rep('g', 'i32', 4)
               + [lst('effects', rep('v', 'i32', 5) + [('kind', 'i32'), ('amount', 'f32'), ('extra', 'i32')])])
DEF_ITEM = ([('id', 'i32'), ('name', 'str'), ('text', 'str')] + rep('a', 'i32', 4) + rep('f', 'bool', 4)
            + [('value', 'f32')] + rep('b', 'i32', 3) + [('short', 'i16')] + rep('c', 'i32', 3) + [('byte', 'u8')]
            + rep('d', 'i32', 6) + [('e', 'i32')] + rep('fl', 'f32', 3) + rep('g', 'i32', 10))
DEF_FACTION = [('id', 'i32'), ('name', 'str'), ('text', 'str'), ('value', 'i32'), ('standing', 'i32'),
               lst('relations', [('faction', 'i32'), ('standing', 'i32'), ('relation', 'i32')])]


def index_below(limit):
    return lambda payload, rec: 0 <= rec['index'] < limit


def status_half(payload, rec):
    return rec['slot'] <= 11 if rec['first'] else 12 <= rec['slot'] <= 23


def relogin_text(payload, rec):
    return 0 in payload[:1024]


FAILURE_KEYS = {109: 0x39FB656C, 129: 0x5BEB1C11, 134: 0x20381CA5, 135: 0x38F95081, 136: 0x7C127FF0,
                137: 0x39232DE4, 139: 0x32899452, 143: 0x01855E5C, 144: 0x7859E6F8, 163: 0x64A67537,
                164: 0x306E49BB}
FAILURE_OTHER = 0x12E9C60A

FORMS = {None: 0, 'announce': 1, 'announce_plain': 2, 'keyed': 3, 'chat': 4, 'chat_named': 5, 'dialog': 6,
         'screen': 7}


def row(fields, key=0, form=None, check=None, effect=True, key_of=None):
    return {'fields': fields, 'key': key, 'form': form, 'check': check, 'effect': effect, 'key_of': key_of}


IN = {
    1: row([lst('worlds', WORLD, count='u32')]),
    2: row([lst('worlds', WORLD, count='u32')]),
    3: row([('name', 'str'), ('value', 'u8'), ('n', 'u32'), ('details', ('opt', 'n', DETAILS))]),
    4: row(None, 0x2BC4A61A, 'dialog'),
    5: row(None, 0x7DA0269D, 'dialog'),
    6: row(None, 0x24C23E89, 'dialog'),
    7: row(None, 0x6777E88D, 'screen'),
    8: row(None, 0x30290395, 'dialog'),
    9: row([('text', 'str')], check=relogin_text),
    10: row([('ticket', 'str')]),
    11: row([('ok', 'bool')], form='dialog', key_of=lambda r: 0x60618602 if r['ok'] else 0x26D8F470),
    12: row(None),
    13: row(None, 0x46EC95A6, 'dialog'),
    15: row(None, 0x452A5B49, 'dialog'),
    49: row(None),
    14: row([('zone', 'i32'), ('position', 'pos')]),
    16: row([('zone', 'i32')]),
    17: row(SPAWN_LOCAL),
    18: row(SPAWN_PLAYER),
    26: row(SPAWN_OBJECT),
    33: row([('id', 'u32')]),
    36: row(SPAWN_CREATURE),
    19: row([('id', 'u32'), ('state', 'u8'), ('direction', 'u8'), ('x', 'fix24'), ('y', 'fix24'), ('z', 'fix24'),
             ('heading', 'angle16')]),
    21: row([('id', 'u32'), ('flag', 'bool')]),
    22: row([('id', 'u32'), ('value', 'i32')]),
    23: row([('id', 'u32'), ('value', 'i32')]),
    24: row([('flag', 'bool')]),
    25: row([('a', 'f32'), ('b', 'f32')]),
    27: row([('id', 'u32'), ('appearance', 'i32'), ('b', 'u32'), ('c', 'u32'), ('d', 'u32')]),
    28: row([('id', 'u32'), ('name', 'str'), ('title', 'str')]),
    29: row([('id', 'u32'), ('flags', 'u32')]),
    30: row([('id', 'u32'), ('position', 'pos'), ('heading', 'f32'), ('scale', 'f32')]),
    31: row([('id', 'u32'), ('position', 'pos'), ('heading', 'f32')]),
    32: row([('id', 'u32'), ('value', 'u32')]),
    34: row([('id', 'u32'), ('value', 'u32'), ('point', 'vec3'), ('a', 'f32'), ('b', 'f32')]),
    35: row([('id', 'u32'), ('flag', 'bool'), lst('ids', [('id', 'u32')])]),
    37: row([('id', 'u32'), ('motion', ('struct', MOTION))]),
    38: row([('id', 'u32'), ('maximum', 'f32'), ('current', 'f32')]),
    39: row([('id', 'u32'), ('walk', 'f32'), ('run', 'f32'), ('swim', 'f32')]),
    40: row([('id', 'u32'), ('value', 'i32')]),
    41: row([('id', 'u32'), ('slot', 'u8'), ('value', 'i32'), ('time', 'f32'), ('first', 'bool')], check=status_half),
    42: row([('id', 'u32'), ('slot', 'u8'), ('unused', 'i32'), ('first', 'bool')], check=status_half),
    43: row([('id', 'u32'), ('value', 'i32')]),
    44: row([('id', 'u32'), ('value', 'u32')]),
    45: row([('id', 'u32'), ('unused', 'u32'), ('ability', 'i32'), ('duration', 'f32'), ('elapsed', 'f32')]),
    46: row([('id', 'u32'), ('unused', 'u32'), ('ability', 'i32'), ('duration', 'f32'), ('elapsed', 'f32')]),
    47: row([('id', 'u32'), ('unused', 'u32'), ('ability', 'i32')]),
    48: row([('id', 'u32'), ('target', 'u32'), ('ability', 'i32')]),
    133: row([('source', 'u32'), ('target', 'u32')] + rep('v', 'i32', 10) + [('amount', 'i16'), ('flag', 'bool')]),
    51: row([('index', 'i32')], check=index_below(30)),
    52: row([('index', 'i32'), ('a', 'i32'), ('b', 'i32')], check=index_below(30)),
    53: row([('index', 'i32')], check=index_below(160)),
    54: row([('index', 'i32'), ('a', 'i32'), ('b', 'i32')], check=index_below(160)),
    55: row([('index', 'i32')], check=index_below(10)),
    56: row([('index', 'i32'), ('a', 'i32'), ('b', 'i32')], check=index_below(10)),
    74: row([('key', 'i32'), ('value', 'i32')]),
    75: row([('a', 'i32'), ('b', 'i32')]),
    76: row([('kind', 'i32')] + rep('v', 'i32', 6), check=lambda p, r: 1 <= r['kind'] <= 10),
    77: row([('ability', 'i32')]),
    78: row([('ability', 'i32'), ('value', 'f32')]),
    79: row([('ability', 'i32')]),
    80: row([('value', 'f32')]),
    81: row(None),
    82: row(rep('v', 'i32', 23)),
    145: row(DEF_ABILITY),
    146: row(DEF_ITEM),
    147: row(DEF_FACTION),
    165: row([('item', 'i32'), ('value', 'i32')], 0x0B1C0135, 'chat'),
    166: row([('ms', 'i32')]),
    168: row([('id', 'u32')]),
    169: row(None),
    172: row([('id', 'u32'), ('a', 'i32'), ('b', 'i32'), ('c', 'i32')]),
    173: row([('id', 'u32'), ('value', 'i32')]),
    174: row([('id', 'u32'), ('flag', 'bool')]),
    189: row([('a', 'f32'), ('b', 'f32'), ('c', 'i32')]),
    190: row([('a', 'i32'), ('b', 'i32'), ('value', 'f32')]),
    193: row([('a', 'i32'), ('b', 'i32')]),
    199: row([('a', 'i32'), ('b', 'i32')]),
    200: row([('value', 'i32'), ('flag', 'bool')]),
    83: row([('name', 'str')], 0x3F0CDEEC, 'chat_named'),
    84: row(None, 0x7FDED554, 'chat'),
    85: row(GROUP, 0x4EF311FD, 'chat'),
    86: row(None, 0x1F10F723, 'chat'),
    87: row(None, 0x6A201816, 'chat'),
    88: row(GROUP, 0x44453094, 'chat_named'),
    89: row(GROUP, 0x4C81FF0C, 'chat_named'),
    90: row(GROUP, 0x643D759E, 'chat_named'),
    91: row(GROUP, 0x28AF669E, 'chat_named'),
    92: row(None, 0x735B7169, 'chat'),
    93: row(GROUP),
    110: row([('title', 'str'), lst('entries', rep('v', 'i32', 4))]),
    111: row(None),
    112: row(rep('v', 'i32', 4)),
    113: row(rep('v', 'i32', 4)),
    114: row([('key', 'i32'), ('unused', 'i32')]),
    119: row(None),
    120: row(None),
    121: row([('value', 'u32'), ('title', 'str'), lst('entries', rep('v', 'i32', 3))]),
    122: row(None),
    123: row([('key', 'i32')]),
    185: row([('value', 'u32'), ('title', 'str'), ('extra', 'i32'), lst('entries', rep('v', 'i32', 3))]),
    186: row(None),
    50: row([('channel', 'u32'), ('sender', 'str'), ('value', 'u32'), ('kind', 'i32'), ('text', 'str')]),
    61: row([('s', 'str'), ('b', 'bool'), ('i', 'i32')], effect=False),
    62: row([('s', 'str')], effect=False),
    63: row([('s', 'str')], effect=False),
    64: row([('s', 'str')], effect=False),
    65: row([('s', 'str'), ('b', 'bool')], effect=False),
    66: row([('s', 'str'), ('i', 'i32')], effect=False),
    124: row([('i', 'i32'), ('f', 'f32')], effect=False),
    125: row([('i', 'i32'), ('f', 'f32')], effect=False),
    131: row([('u', 'u32')], effect=False),
    132: row([('u', 'u32')], effect=False),
    148: row([('u', 'u32'), ('s', 'str')], effect=False),
    167: row([('a', 'i32'), ('b', 'i32')], effect=False),
    192: row(None),
    196: row(None),
    198: row(None),
    211: row([('ability', 'i32'), ('reason', 'i32')], form='announce',
             key_of=lambda r: FAILURE_KEYS.get(r['reason'], FAILURE_OTHER)),
}
IN[20] = IN[19]
for _op in (102, 107, 149, 150, 151, 157):
    IN[_op] = row(None, effect=False)

NOTICES = {
    57: ('announce', 0x07B18828),
    58: ('announce', 0x34E8DC92),
    59: ('announce', 0x18A84B48),
    60: ('announce', 0x7FA00ACF),
    67: ('announce', 0x768AD15B),
    68: ('announce', 0x58FAF4E6),
    69: ('announce', 0x7DD69666),
    70: ('announce', 0x2330F836),
    71: ('announce', 0x478FE3F7),
    72: ('announce', 0x4CD3A4CA),
    73: ('announce', 0x350F1C6E),
    97: ('announce', 0x4F662A63),
    98: ('announce', 0x67824F8D),
    99: ('announce', 0x4EB48417),
    100: ('announce', 0x7B040229),
    101: ('announce', 0x798A65FA),
    103: ('announce', 0x73431959),
    104: ('announce', 0x6EF4093D),
    105: ('announce', 0x28576736),
    106: ('announce', 0x5159B5F2),
    108: ('announce', 0x7021F7FF),
    109: ('announce', 0x39FB656C),
    115: ('announce', 0x7DB2FAA3),
    116: ('announce', 0x1EACD469),
    117: ('announce', 0x73697291),
    118: ('announce', 0x4761C93D),
    126: ('announce', 0x2A95C051),
    127: ('announce', 0x5C94B8F3),
    128: ('announce', 0x28FB726B),
    129: ('announce', 0x5BEB1C11),
    130: ('announce', 0x11680B5D),
    134: ('keyed', 0x20381CA5),
    135: ('keyed', 0x38F95081),
    136: ('keyed', 0x7C127FF0),
    137: ('keyed', 0x39232DE4),
    138: ('keyed', 0x6263E76C),
    139: ('keyed', 0x32899452),
    140: ('keyed', 0x12E9C60A),
    141: ('announce', 0x44B40C48),
    142: ('announce', 0x4441D49E),
    143: ('keyed', 0x01855E5C),
    144: ('announce', 0x7859E6F8),
    152: ('announce', 0x7E7A4E6B),
    153: ('announce', 0x57927719),
    154: ('announce', 0x1E94E91A),
    155: ('announce', 0x0AF9AA93),
    156: ('announce', 0x27BC4753),
    158: ('announce', 0x5255FBD8),
    159: ('announce', 0x3224CF78),
    160: ('announce', 0x1DC16D9E),
    161: ('announce', 0x50C19401),
    162: ('announce', 0x305C0361),
    163: ('keyed', 0x64A67537),
    164: ('keyed', 0x306E49BB),
    170: ('announce_plain', 0x7AA4EBFA),
    171: ('announce', 0x1E743CF3),
    175: ('announce', 0x48DC2E67),
    176: ('announce', 0x1DA38DAC),
    177: ('announce', 0x5DB3AD50),
    178: ('announce', 0x662B57B8),
    179: ('announce', 0x392769FC),
    180: ('announce', 0x2E026C08),
    181: ('announce', 0x44F3FA74),
    182: ('announce', 0x1E2F96D3),
    183: ('announce', 0x3B36860C),
    184: ('announce', 0x2276D128),
    187: ('announce', 0x0AE5C018),
    188: ('announce', 0x166FC187),
    191: ('announce', 0x29EFCCF6),
    194: ('announce', 0x2D8180E3),
    195: ('announce', 0x7D776C05),
    197: ('announce', 0x741CF49B),
    201: ('chat', 0x27FD4B27),
    202: ('chat', 0x47EF7C8C),
    203: ('chat', 0x1F328B74),
    204: ('chat', 0x697F094B),
    205: ('chat', 0x3B16E5E6),
    206: ('chat', 0x6506E9A1),
    207: ('chat', 0x0081D248),
    208: ('chat', 0x468FC695),
    209: ('announce', 0x0FFF7F5E),
    210: ('announce', 0x419D9A06),
    212: ('announce', 0x2A95C051),
}
NOTICES.update({94: ('announce', 0x4350C483), 95: ('announce', 0x6EEF3832), 96: ('announce', 0x18A6649A)})
for _op, (_form, _key) in NOTICES.items():
    IN[_op] = row(None, _key, _form)

# Notices that close the trade window afterwards.
CLOSES_TRADE = (170, 171)

# --- outgoing (client -> server) -------------------------------------------------------------

MOVE = [('state', 'u8'), ('direction', 'u8'), ('x', 'fix24'), ('y', 'fix24'), ('z', 'fix24'), ('heading', 'angle16')]
OUT_LOGIN = {1: None, 2: None, 3: [('world', 'str')]}
OUT_WORLD = {
    1: None, 2: [('name', ('text', 65))] + rep('choice', 'u8', 4) + [('flag', 'u8'), ('choice', 'u8'), ('one', 'i32')],
    3: [('id', 'i32')], 4: None, 5: [('id', 'i32')], 6: [('zone', 'i32')], 7: None,
    8: [('a', 'str'), ('b', 'str')], 9: [('channel', 'i32'), ('text', 'str')], 10: MOVE, 11: MOVE,
    12: rep('v', 'i32', 4), 13: rep('v', 'i32', 5), 14: rep('v', 'i32', 2), 16: None, 20: None,
    30: None, 31: [('v', 'i32')], 35: [('target', 'u32'), ('bar_slot', 'i32')], 37: [('v', 'u8')],
    38: rep('v', 'i32', 4), 39: [('v', 'i32')], 74: [('v', 'i32')], 79: [('slot', 'i32')],
    40: [('v', 'i32'), ('s', 'str')], 41: [('v', 'i32'), ('s', 'str')], 43: [('a', 'str'), ('b', 'str')],
    51: [('flag', 'bool'), ('s', 'str')], 59: [('id', 'i32')], 60: [('id', 'i32')], 61: [('id', 'i32')],
    62: [('v', 'u32')], 67: [('id', 'u32')] + rep('v', 'i32', 4), 68: [('a', 'u32'), ('b', 'u32')],
    83: [('a', 'u32'), ('b', 'u32')], 72: None, 78: [('slot', 'i32'), ('ability', 'i32')],
}
for _op in (17, 18, 21, 22, 23, 24, 73):
    OUT_WORLD[_op] = rep('v', 'i32', 2)
for _op in (25, 26, 27, 28, 52, 55, 56, 81):
    OUT_WORLD[_op] = [('s', 'str')]
for _op in (29, 33, 63, 70, 71, 76, 80, 82):
    OUT_WORLD[_op] = [('v', 'u32')]
for _op in (34, 36, 42, 44, 45, 46, 47, 48, 49, 50, 53, 54, 57, 58, 64, 65, 75, 77):
    OUT_WORLD[_op] = None


# --- codec -----------------------------------------------------------------------------------

def f32(x):
    """The float32 value nearest to x."""
    return struct.unpack('<f', struct.pack('<f', x))[0]


def cut_text(data, size):
    """At most size - 1 bytes, never ending inside a multi-byte character."""
    n = min(len(data), size - 1)
    if n < len(data):
        while n > 0 and (data[n] & 0xC0) == 0x80:
            n -= 1
    return data[:n]


def round_away(v):
    return math.floor(abs(v) + 0.5) * (1 if v >= 0 else -1)


def fix24_bits(value):
    if math.isnan(value):
        return 0
    v = round_away(value * 256.0)
    return int(max(-8388608, min(8388607, v)))


def angle16_bits(degrees):
    if not math.isfinite(degrees):
        return 0
    return int(round_away(degrees * 65536.0 / 360.0)) & 0xFFFF


def encode(fields, values):
    """Bytes of a record given as {name: value}; lists are lists of such dicts."""
    out = bytearray()
    for name, kind in fields or []:
        v = values.get(name)
        if kind == 'bool':
            out += bytes([1 if v else 0])
        elif kind == 'u8':
            out += struct.pack('<B', v & 0xFF)
        elif kind in ('u16', 'i16'):
            out += struct.pack('<H', v & 0xFFFF)
        elif kind in ('u32', 'i32'):
            out += struct.pack('<I', v & 0xFFFFFFFF)
        elif kind == 'f32':
            out += struct.pack('<f', v)
        elif kind in ('vec3', 'pos'):
            out += struct.pack('<3f', *v)
        elif kind == 'fix24':
            out += struct.pack('<i', fix24_bits(v))[:3]
        elif kind == 'angle16':
            out += struct.pack('<H', angle16_bits(v))
        elif kind == 'str':
            out += (v or b'') + b'\0'
        elif kind[0] == 'text':
            out += cut_text(v or b'', kind[1]) + b'\0'
        elif kind[0] == 'list':
            items = v or []
            out += struct.pack('<I', len(items))
            for item in items:
                out += encode(kind[2], item)
        elif kind[0] == 'struct':
            out += encode(kind[1], v)
        elif kind[0] == 'opt':
            if values.get(kind[1]):
                out += encode(kind[2], v)
        else:
            raise ValueError(kind)
    return bytes(out)


class Reader:
    def __init__(self, data):
        self.data = data
        self.pos = 0
        self.error = False

    def take(self, n):
        if self.error or self.pos + n > len(self.data):
            self.error = True
            return None
        b = self.data[self.pos:self.pos + n]
        self.pos += n
        return b

    def unpack(self, fmt, n):
        b = self.take(n)
        return struct.unpack(fmt, b)[0] if b is not None else 0

    def text(self):
        if self.error:
            return None
        end = self.data.find(b'\0', self.pos)
        if end < 0:
            self.error = True
            return None
        s = self.data[self.pos:end]
        self.pos = end + 1
        return s

    def remaining(self):
        return 0 if self.error else len(self.data) - self.pos


def min_bytes(fields):
    total = 0
    for _, kind in fields or []:
        if kind in ('bool', 'u8', 'str'):
            total += 1
        elif kind in ('u16', 'i16', 'angle16'):
            total += 2
        elif kind == 'fix24':
            total += 3
        elif kind in ('u32', 'i32', 'f32'):
            total += 4
        elif kind in ('vec3', 'pos'):
            total += 12
        elif kind[0] == 'text':
            total += 1
        elif kind[0] == 'list':
            total += 4
        elif kind[0] == 'struct':
            total += min_bytes(kind[1])
    return total


def finite(x):
    return x if math.isfinite(x) else 0.0


def decode(fields, r, record=None):
    """Reads fields from Reader r as the client does; raises Dropped for a non-finite 'pos'."""
    rec = {} if record is None else record
    for name, kind in fields or []:
        if kind == 'bool':
            rec[name] = 1 if r.unpack('<B', 1) else 0
        elif kind == 'u8':
            rec[name] = r.unpack('<B', 1)
        elif kind == 'u16':
            rec[name] = r.unpack('<H', 2)
        elif kind == 'i16':
            rec[name] = r.unpack('<h', 2)
        elif kind == 'u32':
            rec[name] = r.unpack('<I', 4)
        elif kind == 'i32':
            rec[name] = r.unpack('<i', 4)
        elif kind == 'f32':
            rec[name] = finite(r.unpack('<f', 4))
        elif kind in ('vec3', 'pos'):
            v = [r.unpack('<f', 4) for _ in range(3)]
            if kind == 'pos' and not all(math.isfinite(c) for c in v):
                raise Dropped()
            rec[name] = [finite(c) for c in v]
        elif kind == 'fix24':
            b = [r.unpack('<B', 1) for _ in range(3)]
            v = b[0] | b[1] << 8 | b[2] << 16
            if b[2] & 0x80:
                v -= 1 << 24
            rec[name] = v / 256.0
        elif kind == 'angle16':
            deg = r.unpack('<H', 2) * 360.0 / 65536.0
            if deg > 180.0:
                deg -= 360.0
            rec[name] = f32(deg)
        elif kind == 'str':
            rec[name] = r.text()
        elif kind[0] == 'text':
            s = r.text()
            rec[name] = cut_text(s, kind[1]) if s is not None else b''
        elif kind[0] == 'list':
            _, count, entry, keep, accept = kind
            n = r.unpack('<i', 4) if count == 'i32' else r.unpack('<I', 4)
            n = max(n, 0)
            n = min(n, r.remaining() // max(min_bytes(entry), 1))
            items = []
            for _ in range(n):
                if r.error:
                    break
                item = decode(entry, r)
                if (not keep or len(items) < keep) and (accept is None or accept(item)):
                    items.append(item)
            rec[name] = items
        elif kind[0] == 'struct':
            rec[name] = decode(kind[1], r)
        elif kind[0] == 'opt':
            rec[name] = decode(kind[2], r) if rec.get(kind[1]) else decode(kind[2], Reader(b''))
        else:
            raise ValueError(kind)
    return rec


def decode_in(opcode, payload):
    """(record, key, form) the client must make of an incoming payload, or None if dropped."""
    schema = IN[opcode]
    try:
        rec = decode(schema['fields'], Reader(payload))
    except Dropped:
        return None
    if schema['check'] and not schema['check'](payload, rec):
        return None
    key = schema['key_of'](rec) if schema['key_of'] else schema['key']
    return rec, key, FORMS[schema['form']]


def tokens(fields, rec):
    """The record's canonical text tokens, in wire order."""
    out = []
    for name, kind in fields or []:
        v = rec.get(name)
        if kind in ('bool', 'u8', 'u16', 'i16', 'u32', 'i32'):
            out.append('%d' % v)
        elif kind in ('f32', 'fix24', 'angle16'):
            out.append('%.9g' % v)
        elif kind in ('vec3', 'pos'):
            out += ['%.9g' % c for c in v]
        elif kind == 'str' or kind[0] == 'text':
            out.append('~' if v is None else 's:' + v.hex())
        elif kind[0] == 'list':
            out.append('[%d' % len(v))
            for item in v:
                out += tokens(kind[2], item)
            out.append(']')
        elif kind[0] in ('struct', 'opt'):
            out += tokens(kind[1] if kind[0] == 'struct' else kind[2], v)
    return out
