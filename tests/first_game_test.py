#!/usr/bin/python3
"""A new player's first game, end to end: `make play` on a private 640 x 480 X server with
free ports, a fresh server data folder and a fresh home whose settings name only the login
port. xdotool does what a player does (nothing else touches the client): types an account
and password, picks the world, names a character and spends its points with the mouse,
creates it, enters the meadow, walks forward, says a line and sets the chat's height with a
command, then closes the window as a window manager would.

Every step waits on the local server's log for what the client must have sent: the
credentials byte for byte, the world picked by name, the character list request, the
creation payload, entering with the created character's id, the zone reply, movement
reports advancing along the heading and the chat line. Screen captures (ImageMagick's
import, read with PIL) show the login screen, the meadow after the spawn and after the walk.
At the end `make play` has exited 0 with both ports free, the settings remember the account
and the character's profile holds the chat height and a camera pose within its ranges.

Usage: first_game_test.py SOURCE_DIR BUILD_DIR
"""
import configparser
import glob
import io
import math
import os
import signal
import socket
import struct
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from checks import check, check_equal, finish, private_folder  # noqa: E402
import xserver  # noqa: E402
import xwindow  # noqa: E402

SOURCE, BUILD = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
ACCOUNT, PASSWORD = "wanderer", "Moss7gate"
WORLD = "Ostrevane"  # the local login server's first world
NAME = "Brannoc"
LINE = "hello from the meadow"
# Class 0 (the one creation starts on) and its base attributes, as the client's class table
# and the server's checks hold them; at most 25 points added to one attribute, 30 in all.
BASE = (40, 30, 40, 20)
CAMERA_PITCH, CAMERA_DISTANCE = (-65.0, 80.0), (0.0, 15.0)

# Places on the 640 x 480 screen (y down) worked out from the screens' layouts: the creation
# window is 260 x 330 at 20 pixels from the right edge, centred vertically (x 360..620,
# y 75..405); the + button of attribute i is 26 x 22 at (204, 124 + 30 i) from its top-left
# corner, and the create button 140 x 26, centred, its bottom 16 above the window's.
CREATE_LEFT, CREATE_TOP = 360, 75


def plus_button(i):
    return CREATE_LEFT + 204 + 13, CREATE_TOP + 124 + 30 * i + 11


CREATE_BUTTON = (CREATE_LEFT + 130, 405 - 16 - 13)
# The login panel is 200 x 280, centred (x 220..420, y 100..380); the remember toggle is 16 x
# 16, 23 from its left edge, its bottom 72 below the middle line (y 304..320).
REMEMBER_TOGGLE = (220 + 23 + 8, 304 + 8)

folder = private_folder("ostrevane-first-game-")
data = os.path.join(folder, "data")
home = os.path.join(folder, "home")
user = os.path.join(home, ".local", "share", "Ostrevane")
server_log = os.path.join(data, "server.log")


def locale_text(key):
    """The demo locale's text of a key (KEY<TAB>KIND<TAB>VALUE lines), None when absent."""
    with open(os.path.join(SOURCE, "content", "locale", "english.tsv"), encoding="utf-8") as f:
        for line in f:
            fields = line.rstrip("\n").split("\t")
            if fields[0] == key and len(fields) >= 3:
                return fields[2]
    return None


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def port_free(port):
    """Nothing listens on the port and it can be bound again."""
    with socket.socket() as s:
        s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        try:
            s.bind(("127.0.0.1", port))
            return True
        except OSError:
            return False


def server_lines():
    try:
        with open(server_log, encoding="utf-8", errors="replace") as f:
            return f.read().splitlines()
    except OSError:
        return []


def events(name, after=0):
    """[(line index, words after the event name)] of the server's "event N NAME ..." lines."""
    out = []
    for i, line in enumerate(server_lines()):
        words = line.split(" ", 3)
        if i >= after and len(words) >= 3 and words[0] == "event" and words[2] == name:
            out.append((i, words[3] if len(words) > 3 else ""))
    return out


def wait_event(name, predicate=lambda detail: True, after=0, timeout=30.0):
    """The first (index, detail) of event NAME at or after line `after` that satisfies
    predicate, polling the log until timeout; None when it never came."""
    deadline = time.time() + timeout
    while time.time() < deadline:
        for index, detail in events(name, after):
            if predicate(detail):
                return index, detail
        time.sleep(0.1)  # polling the log, with a deadline
    return None


def game_message(opcode):
    """A predicate on "game" details: this opcode, answering the payload's bytes."""
    return lambda detail: detail.split(" ")[0] == str(opcode)


def payload(detail):
    words = detail.split(" ")
    return b"" if len(words) < 2 or words[1] == "-" else bytes.fromhex(words[1])


def capture(display):
    """The whole screen as a PIL image (ImageMagick's import of the root window)."""
    from PIL import Image
    shot = subprocess.run(["import", "-display", display, "-window", "root", "png:-"],
                          capture_output=True, timeout=30)
    if shot.returncode != 0:
        return None
    return Image.open(io.BytesIO(shot.stdout)).convert("RGB")


def colours(image):
    return len(image.getcolors(1 << 24)) if image is not None else 0


def key(window, *keys):
    """Keys to the focused window (events sent to a window by id are marked as synthetic)."""
    xwindow.xdotool("windowfocus", "--sync", window)
    xwindow.xdotool("key", "--delay", 80, *keys)


def type_text(text, delay=60):
    xwindow.xdotool("type", "--delay", delay, text)


def click(x, y):
    """Press and release with the button held over a frame or more: a press and release
    that both fall between two frames would pass unseen."""
    xwindow.xdotool("mousemove", x, y)
    time.sleep(0.1)
    xwindow.xdotool("mousedown", 1)
    time.sleep(0.12)
    xwindow.xdotool("mouseup", 1)
    time.sleep(0.12)


def forward_steps(reports):
    """(along, across) of each pair of successive running-forward reports with one heading:
    how far the player moved along the heading and across it."""
    steps = []
    for a, b in zip(reports, reports[1:]):
        if a[2] & 1 and b[2] & 1 and a[6] == b[6]:
            h = math.radians(a[6])
            dx, dz = b[3] - a[3], b[5] - a[5]
            steps.append((dx * -math.sin(h) + dz * -math.cos(h), dx * math.cos(h) - dz * math.sin(h)))
    return steps


def reports(after):
    """[(opcode, state, direction, x, y, z, heading)] of the movement reports the server logged."""
    out = []
    for _, detail in events("report", after):
        words = detail.split()
        if len(words) == 7:
            out.append(tuple(int(w) for w in words[:3]) + tuple(float(w) for w in words[3:]))
    return out


def play():
    """Runs the whole game; answers whether it reached the end (a failed wait stops it)."""
    window = xwindow.wait_for_window("Ostrevane Client", timeout=90, proc=make)
    xwindow.xdotool("windowfocus", "--sync", window)

    # The login screen over the background zone: wait until it is drawn (more than the few
    # colours of a window not yet drawn into).
    deadline, shot = time.time() + 60, None
    while time.time() < deadline:
        shot = capture(x.display)
        if colours(shot) > 64:
            break
        time.sleep(0.5)
    check("the login screen shows more than one flat colour", colours(shot) > 64, colours(shot))

    # A new player has nothing remembered: ticking the remember toggle keeps the account.
    xwindow.xdotool("windowfocus", "--sync", window)
    click(*REMEMBER_TOGGLE)
    type_text(ACCOUNT)
    key(window, "Tab")
    type_text(PASSWORD)
    key(window, "Return")
    prefix, separator = locale_text("0x038D8B88"), locale_text("0x13F47486")
    # The credentials travel as a text with its terminator.
    expected = (prefix + ACCOUNT + separator + PASSWORD).replace("\\t", "\t").encode("latin-1") + b"\0"
    sent = wait_event("credentials", timeout=30)
    check_equal("the login server got the credentials byte for byte",
                sent and bytes.fromhex(sent[1]), expected)
    if not sent:
        return False

    # The world list comes in and the first world is highlighted: Return connects to it.
    listed = wait_event("game", game_message(1), after=sent[0], timeout=30)
    check("the client asked for the world list", listed is not None)
    picked = None
    for attempt in range(3):
        time.sleep(1.0)  # the list's screen shows on the frame after the list arrives
        key(window, "Return")
        picked = wait_event("game", game_message(3), after=sent[0], timeout=10)
        if picked:
            break
    check("login 3 names the world", picked and payload(picked[1]).startswith(WORLD.encode() + b"\0"),
          picked)
    if not picked:
        return False

    asked = wait_event("game", game_message(1), after=picked[0], timeout=30)
    check("the world server gets the character list request (world 1)", asked is not None)
    if not asked:
        return False

    # No character yet: creation opens by itself, its name field focused.
    time.sleep(1.5)
    xwindow.xdotool("windowfocus", "--sync", window)
    type_text(NAME)
    for i, clicks in ((0, 26), (1, 5)):
        x_, y_ = plus_button(i)
        for _ in range(clicks):
            click(x_, y_)
    click(*CREATE_BUTTON)
    made = wait_event("game", game_message(2), after=asked[0], timeout=20)
    body = payload(made[1]) if made else b""
    # The name as a zero-terminated text, four attributes, sex, class and a 32-bit one.
    name, _, rest = body.partition(b"\0")
    fields = struct.unpack("<4BBBi", rest) if len(rest) == 10 else None
    check_equal("world 2 carries the name, base + 25 and base + 5, class 0 and one",
                fields and (name, fields[0:4], fields[5], fields[6]),
                (NAME.encode(), (BASE[0] + 25, BASE[1] + 5, BASE[2], BASE[3]), 0, 1))
    created = wait_event("created", after=asked[0], timeout=20)
    check_equal("the server created the character", created and created[1], NAME)
    if not created:
        return False

    # The selection lists the new character, first and chosen: Return enters the world.
    entered = None
    for attempt in range(3):
        time.sleep(1.5)
        key(window, "Return")
        entered = wait_event("game", game_message(5), after=created[0], timeout=10)
        if entered:
            break
    character_id = struct.unpack("<i", payload(entered[1]))[0] if entered else None
    stored = stored_character_id()
    check("world 5 carries the created character's id", character_id is not None and character_id == stored,
          "sent %r, stored %r" % (character_id, stored))
    if not entered:
        return False
    zone = wait_event("game", game_message(6), after=entered[0], timeout=60)
    check_equal("world 6 answers for wire zone 1 (zone 3)", zone and payload(zone[1]), struct.pack("<i", 1))
    if not zone:
        return False
    ready = wait_event("zone-ready", after=zone[0], timeout=60)
    check("the server saw the zone ready", ready is not None)

    time.sleep(3.0)  # the spawn's first frames, the camera settling behind the player
    spawned = capture(x.display)
    check("after the spawn the screen shows more than one flat colour", colours(spawned) > 64, colours(spawned))

    start = len(server_lines())
    xwindow.xdotool("windowfocus", "--sync", window)
    xwindow.xdotool("keydown", "w")
    time.sleep(3.0)
    xwindow.xdotool("keyup", "w")
    wait_event("report", lambda d: d.split()[2:3] == ["0"], after=start, timeout=10)  # standing again
    walk = reports(start)
    steps = forward_steps(walk)
    check("movement reports run forward", len(steps) >= 1, walk)
    check("each forward step advances along the heading and barely across it",
          steps and all(along > 0 and abs(across) < 0.02 + 0.05 * along for along, across in steps), steps)
    check("the walk covered ground", sum(along for along, _ in steps) > 2.0, steps)
    time.sleep(1.0)
    walked = capture(x.display)
    check("after the walk the screen shows more than one flat colour", colours(walked) > 64, colours(walked))
    check("the walk changed the picture", spawned is not None and walked is not None and
          spawned.tobytes() != walked.tobytes())

    start = len(server_lines())
    key(window, "Return")
    time.sleep(0.5)
    type_text(LINE, delay=150)
    time.sleep(0.3)
    key(window, "Return")
    said = wait_event("command", lambda d: d.startswith("9 "), after=start, timeout=20)
    check_equal("the server got the chat line (world 9)", said and said[1],
                '9 {"channel": 3, "text": "%s"}' % LINE)

    word = locale_text("0x3B647C3D")
    time.sleep(0.5)
    key(window, "Return")
    time.sleep(0.5)
    type_text("/%s 8" % word, delay=150)
    time.sleep(0.3)
    key(window, "Return")
    deadline = time.time() + 20
    while time.time() < deadline and profile_value("General", "CHAT_LINES") != "8":
        time.sleep(0.2)
    check_equal("the chat-lines command saved CHAT_LINES=8 in the character's profile",
                profile_value("General", "CHAT_LINES"), "8")
    for name, (low, high) in (("PITCH", CAMERA_PITCH), ("DISTANCE", CAMERA_DISTANCE)):
        value = profile_value("Camera", name)
        check("the profile's %s lies within the camera's range" % name,
              value is not None and low <= float(value) <= high, value)

    code = xwindow.close_and_wait(window, make, attempts=15)
    check_equal("closing the window ends make play with 0", code, 0)
    return True


def stored_character_id():
    """The id the server stored for the character (characters.json in its data folder)."""
    import json
    try:
        with open(os.path.join(data, "characters.json")) as f:
            characters = json.load(f).get(ACCOUNT, [])
    except (OSError, ValueError, AttributeError):
        return None
    return next((c.get("id") for c in characters if c.get("name") == NAME), None)


def profile_value(section, name):
    paths = glob.glob(os.path.join(user, "conf", "*", NAME + ".ini"))
    if len(paths) != 1:
        return None
    ini = configparser.ConfigParser(interpolation=None)
    ini.optionxform = str
    try:
        ini.read(paths[0])
        return ini.get(section, name)
    except (configparser.Error, OSError):
        return None


login_port = free_port()
world_port = free_port()
while world_port == login_port:
    world_port = free_port()
os.makedirs(data)
os.makedirs(user)
with open(os.path.join(user, "settings.ini"), "w") as f:
    f.write("[Network]\nPORT=%d\n" % login_port)

x = make = None
try:
    x = xserver.Xvfb(640, 480)
    os.environ["DISPLAY"] = x.display  # xdotool and xwindow talk to the same server
    env = {k: v for k, v in os.environ.items()
           if k not in ("XDG_DATA_HOME", "XDG_CONFIG_HOME", "MAKEFLAGS", "MFLAGS", "MAKELEVEL")}
    env.update(DISPLAY=x.display, HOME=home, OSTREVANE_DATA=data, LOGIN_PORT=str(login_port),
               WORLD_PORT=str(world_port), SDL_AUDIODRIVER="dummy")
    make_log = open(os.path.join(folder, "make.log"), "w")
    # The Makefile runs the game as ./$(BUILD)/game from the source folder.
    command = ["make", "-s", "-C", SOURCE, "play", "BUILD=" + os.path.relpath(BUILD, SOURCE)]
    make = subprocess.Popen(command, env=env, cwd=SOURCE,
                            stdout=make_log, stderr=subprocess.STDOUT, start_new_session=True)
    try:
        finished = play()
    except (AssertionError, subprocess.SubprocessError, OSError) as error:
        check("the game ran to its end", False, error)
        finished = False
    if finished:
        check("both ports are free again", port_free(login_port) and port_free(world_port))
        ini = configparser.ConfigParser(interpolation=None)
        ini.optionxform = str
        ini.read(os.path.join(user, "settings.ini"))
        check_equal("settings.ini remembers the account", ini.get("General", "ACCOUNT", fallback=None), ACCOUNT)
finally:
    if make is not None and make.poll() is None:
        try:
            os.killpg(make.pid, signal.SIGTERM)
            make.wait(timeout=10)
        except (subprocess.TimeoutExpired, ProcessLookupError):
            pass
    if make is not None:
        try:
            os.killpg(make.pid, signal.SIGKILL)  # whatever of the group is left
        except ProcessLookupError:
            pass
        make.wait(timeout=10)
    if x is not None:
        x.stop()
    if sys.modules["checks"].failed:
        with open(os.path.join(folder, "make.log"), errors="replace") as f:
            print("--- make play's output\n" + f.read()[-3000:])
        print("--- the server's log (commands and the last lines)\n" +
              "\n".join([l for l in server_lines() if " command " in l] + server_lines()[-20:]))
finish()
