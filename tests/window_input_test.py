"""The mouse layer, input state and key bindings under a real X server: xdotool acts like a
person and the harness prints, frame by frame, what the game code would see."""
import os
import queue
import re
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from checks import check_equal, finish  # noqa: E402
import xwindow  # noqa: E402

from Xlib import display  # noqa: E402

HARNESS = sys.argv[1]
MACRO_1, MACRO_2 = 34, 35
KEY_X = 59
LINE = re.compile(r"F (\d+) (.*)")


class Harness:
    def __init__(self):
        # Macro 1 on X, macro 2 on Ctrl+X.
        args = [HARNESS, "0", "input", "%d=%d,0" % (MACRO_1, KEY_X), "%d=%d,2" % (MACRO_2, KEY_X)]
        self.proc = subprocess.Popen(args, stdout=subprocess.PIPE, text=True)
        self.lines = xwindow.output_lines(self.proc)
        self.until(lambda l: l == "ready", 15, framed=False)
        self.window = xwindow.wait_for_window("Ostrevane Client", proc=self.proc)
        xwindow.xdotool("windowfocus", "--sync", self.window)

    def until(self, done, timeout=10, framed=True):
        """(frame, text) lines up to and including the first one `done` accepts."""
        got = []
        deadline = time.time() + timeout
        while time.time() < deadline:
            try:
                line = self.lines.get(timeout=0.1)
            except queue.Empty:
                continue
            if not framed:
                if done(line):
                    return got
                continue
            m = LINE.match(line)
            if not m:
                continue
            got.append((int(m.group(1)), m.group(2)))
            if done(m.group(2)):
                return got
        raise AssertionError("timed out; saw %r" % got[-20:])

    def close(self):
        # Repeated as a player would: a single request now and then never reaches a loaded
        # machine's message loop.
        code = xwindow.close_and_wait(self.window, self.proc)
        if code is None:
            self.proc.kill()
            self.proc.wait(timeout=10)
        return code


def texts(lines, prefix):
    return [t for _, t in lines if t.startswith(prefix)]


def arrives(h, wanted, timeout=5):
    """True when the harness prints `wanted` within the timeout."""
    try:
        h.until(lambda t: t == wanted, timeout)
        return True
    except AssertionError:
        return False


def mouse_location():
    out = subprocess.run(["xdotool", "getmouselocation"], capture_output=True, text=True).stdout
    fields = dict(f.split(":") for f in out.split())
    return int(fields["x"]), int(fields["y"])


h = Harness()
try:
    # One press: pressed, then held on zero or more frames, then released, in that order.
    xwindow.xdotool("key", "w")
    lines = h.until(lambda t: t == "key 58 released")
    states = texts(lines, "key 58 ")
    ok = (len(states) >= 2 and states[0] == "key 58 pressed" and states[-1] == "key 58 released"
          and all(s == "key 58 held" for s in states[1:-1]))
    check_equal("key w pressed, held, released", ok, True)
    check_equal("key w triggers forward once", texts(lines, "binding 0 triggered"), ["binding 0 triggered"])

    xwindow.xdotool("keydown", "ctrl", "key", "x", "keyup", "ctrl")
    lines = h.until(lambda t: t == "key 7 released")
    triggered = [t for t in texts(lines, "binding") if t.endswith("triggered")]
    check_equal("ctrl+x triggers only the Ctrl+X binding", triggered, ["binding %d triggered" % MACRO_2])

    # Positions are bottom-up: the bottom-left pixel is (0, 1), the top-left (0, height).
    for name, wy, want in (("bottom-left pixel", 479, "pos 0 1"), ("top-left pixel", 0, "pos 0 480")):
        xwindow.xdotool("mousemove", "--window", h.window, 0, wy)
        h.until(lambda t: t == want)
        check_equal(name, True, True)

    xwindow.xdotool("mousemove", "--window", h.window, 100, 100)
    h.until(lambda t: t == "pos 100 380")
    h.until(lambda t: t == "axis 1 -100.0")
    xwindow.xdotool("mousemove_relative", "10", "0")
    check_equal("moving right 10 gives axis 1 = -10", arrives(h, "axis 1 -10.0"), True)

    xwindow.xdotool("mousemove", "--window", h.window, 200, 200)
    h.until(lambda t: t == "pos 200 280")
    before = mouse_location()
    xwindow.xdotool("key", "F2")
    h.until(lambda t: t == "captured 1")
    # The move may reach the poll in pieces; measured from the capture point, they add up.
    # The client puts the pointer back every frame, and the X server may apply that warp
    # after a move it has not yet reported, which swallows the move: such a try is repeated.
    moved = [0.0]

    def adds_up(t):
        if t.startswith("axis 1 "):
            moved[0] += float(t.split()[2])
        return moved[0] == -10.0

    for attempt in range(3):
        moved[0] = 0.0
        xwindow.xdotool("mousemove_relative", "10", "0")
        try:
            h.until(adds_up, 3)
        except AssertionError:
            pass
        if moved[0] != 0.0:
            break
    check_equal("captured motion is measured from the capture point", moved[0], -10.0)
    deadline = time.time() + 5
    while mouse_location() != before and time.time() < deadline:
        time.sleep(0.01)  # polling a condition, with a deadline
    check_equal("captured cursor is put back", mouse_location(), before)
    xwindow.xdotool("key", "F2")
    h.until(lambda t: t == "captured 0")

    xwindow.xdotool("click", "1")
    lines = h.until(lambda t: t == "button 0 released")
    check_equal("click reported", texts(lines, "button 0")[0], "button 0 pressed")
    xwindow.xdotool("click", "4")
    lines = h.until(lambda t: t.startswith("axis 0"))
    check_equal("wheel notch", texts(lines, "axis 0"), ["axis 0 1.0"])

    xwindow.xdotool("type", "a")
    lines = h.until(lambda t: t.startswith("char"))
    chars = [(f, t) for f, t in lines if t.startswith("char")]
    check_equal("typed text arrives", chars[-1][1], "char 61")

    # Another window takes the focus while W is held: W goes up with no released state.
    xwindow.xdotool("keydown", "w")
    h.until(lambda t: t == "key 58 held")
    d = display.Display()
    other = d.screen().root.create_window(0, 0, 50, 50, 0, d.screen().root_depth)
    other.map()
    d.sync()
    xwindow.xdotool("windowfocus", "--sync", other.id)
    lines = h.until(lambda t: t == "key 58 up")
    check_equal("focus loss clears a held key", texts(lines, "key 58"), ["key 58 up"])
    xwindow.xdotool("keyup", "w")
    other.destroy()
    d.sync()
    d.close()

    check_equal("close request exits 0", h.close(), 0)
finally:
    if h.proc.poll() is None:
        h.proc.kill()

finish()
