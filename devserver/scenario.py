"""Test knobs, chosen per connection.

A scenario is a comma-separated list of knobs; several scenarios separated by ';' apply to
successive connections (the last one to every later connection).

  reject=N        answer the credentials with rejection type N (9-14 or 16)
  goodbye         answer the credentials with a goodbye (15)
  then-goodbye    send a goodbye after the answer to the credentials
  creds-twice     ask for the credentials twice before answering
  no-keepalive    never send keep-alives
  silent          send nothing at all and never time out
  bad-crc         send the key offer once with a damaged CRC before the good one
  bad-header      send the key offer once with a damaged header before the good one
  byte-by-byte    write every frame one byte at a time
  hangup=WHEN     close without goodbye: connect (at once), offer (after the key offer),
                  accepted (after acceptance)
  low-order-key   offer a point of small order as the server key
  short-key       offer a key payload of 35 bytes
  echo            after acceptance, answer each game message with the same payload as a
                  plain (type 0) and an enciphered (type 1) game message
  slow-read=S     read nothing for the first S seconds after acceptance
  huge-list       the login server's world list claims 0xFFFFFFFF entries
  zone-and-spawn  the world server sends the zone (14) and the spawn (17) back to back
  zone-change=S   S seconds after the first spawn, the world server moves the player to the
                  other demo zone (16)
  change-during-load  a 16 to the other demo zone right after the 14
  enter-twice     the 14 is sent twice
  missing-zone    the 14 names a zone no archive holds
  empty-ticket    the login server answers a list request with an empty list and an unasked
                  ticket (10)
  unasked-relogin the world server follows every summary (3) with a return text (9) nobody
                  asked for
  back=T          T seconds after the local spawn, the world server sends the player back to
                  the character screen (49)

World knobs (what the world server shows after the local spawn; see devserver/world_scene.py):
  players=N       other players walking loops around the spawn point (compact movement)
  creatures=N     creatures patrolling squares around the spawn point (paths, 37)
  objects=N       objects standing around the spawn point
  interval=S      seconds between a player's movement samples (0.1)
  jitter=S        each interval is lengthened by a random 0 .. S seconds
  loss=P          share of movement samples left unsent
  extra=P         share of movement samples sent as 20 instead of 19
  seed=N          seed of the random choices (0)
  duplicate-spawn every player is spawned twice (a repeated id)
  teleport=T      T seconds after the local spawn, teleport the local player (31) 10 units
                  along x and z, facing 90 degrees, and log it as "sent 31 ID X Y Z H"
  churn           about once a second: teleports (31), health (38), speeds (39), status set
                  and clear (41, 42) and the removal of an object (33)
  chat-lines      after the spawn, from the first other player (players=1): one chat line
                  (50) of each type 0-8, type-8 lines with links, the notices 201-208 and
                  the group lines 83 (an invitation naming that player), 84 and 86
"""

REJECTION_TYPES = (9, 10, 11, 12, 13, 14, 16)
HANGUP_POINTS = ('connect', 'offer', 'accepted')


COUNTS = ('players', 'creatures', 'objects', 'seed')
SECONDS = {'interval': (0.01, 10.0), 'jitter': (0.0, 10.0), 'teleport': (0.0, 3600.0), 'back': (0.0, 3600.0)}
SHARES = ('loss', 'extra')


def number(name, text, kind, low, high=float('inf')):
    """The knob's value as kind within low .. high, or ValueError naming the knob."""
    try:
        value = kind(text)
    except ValueError:
        raise ValueError('bad value for scenario knob %s: %r' % (name, text)) from None
    if not low <= value <= high:
        raise ValueError('scenario knob %s must lie within %s .. %s' % (name, low, high))
    return value


class Scenario:
    def __init__(self, text=''):
        self.reject = None
        self.goodbye = False
        self.then_goodbye = False
        self.creds_twice = False
        self.no_keepalive = False
        self.silent = False
        self.bad_crc = False
        self.bad_header = False
        self.byte_by_byte = False
        self.hangup = None
        self.low_order_key = False
        self.short_key = False
        self.echo = False
        self.slow_read = 0.0
        self.huge_list = False
        self.zone_and_spawn = False
        self.zone_change = None
        self.change_during_load = False
        self.enter_twice = False
        self.missing_zone = False
        self.players = 0
        self.creatures = 0
        self.objects = 0
        self.interval = 0.1
        self.jitter = 0.0
        self.loss = 0.0
        self.extra = 0.0
        self.seed = 0
        self.duplicate_spawn = False
        self.churn = False
        self.teleport = None
        self.chat_lines = False
        self.empty_ticket = False
        self.unasked_relogin = False
        self.back = None
        for knob in filter(None, (k.strip() for k in text.split(','))):
            name, _, value = knob.partition('=')
            if name == 'reject':
                self.reject = int(value)
                if self.reject not in REJECTION_TYPES:
                    raise ValueError('rejection type must be one of %s' % (REJECTION_TYPES,))
            elif name == 'hangup':
                self.hangup = value or 'connect'
                if self.hangup not in HANGUP_POINTS:
                    raise ValueError('hangup point must be one of %s' % (HANGUP_POINTS,))
            elif name == 'zone-change':
                self.zone_change = number(name, value, float, 0.0, 3600.0)
            elif name == 'slow-read':
                self.slow_read = number(name, value, float, 0.0)
            elif name in COUNTS:
                setattr(self, name, number(name, value, int, 0, 10000))
            elif name in SECONDS:
                setattr(self, name, number(name, value, float, *SECONDS[name]))
            elif name in SHARES:
                setattr(self, name, number(name, value, float, 0.0, 1.0))
            else:
                attribute = name.replace('-', '_')
                if attribute not in self.__dict__ or not isinstance(self.__dict__[attribute], bool):
                    raise ValueError('unknown scenario knob: ' + name)
                setattr(self, attribute, True)


class ScenarioPlan:
    """Scenarios for successive connections."""

    def __init__(self, text=''):
        self.scenarios = [Scenario(part) for part in (text or '').split(';')]

    def for_connection(self, index):
        return self.scenarios[min(index, len(self.scenarios) - 1)]
