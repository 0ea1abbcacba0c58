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
"""

REJECTION_TYPES = (9, 10, 11, 12, 13, 14, 16)
HANGUP_POINTS = ('connect', 'offer', 'accepted')


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
            elif name == 'slow-read':
                self.slow_read = float(value)
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
