"""The window procedure under a real X server: xdotool presses keys, clicks, scrolls, types
and pastes; the harness prints the events the window posted."""
import os
import queue
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from checks import check_equal, finish  # noqa: E402
import xwindow  # noqa: E402

HARNESS = sys.argv[1]


class Harness:
    def __init__(self):
        self.proc = subprocess.Popen([HARNESS, "0"], stdout=subprocess.PIPE, text=True)
        self.lines = xwindow.output_lines(self.proc)
        self.expect_line("ready", 15)
        self.window = xwindow.wait_for_window("Ostrevane Client", proc=self.proc)
        xwindow.xdotool("windowfocus", "--sync", self.window)
        self.drain(0.3)

    def expect_line(self, wanted, timeout):
        deadline = time.time() + timeout
        while time.time() < deadline:
            try:
                if self.lines.get(timeout=0.1) == wanted:
                    return
            except queue.Empty:
                pass
        raise AssertionError("harness never printed %r" % wanted)

    def drain(self, quiet=0.3):
        """Lines until none arrived for `quiet` seconds, without focus noise."""
        got = []
        while True:
            try:
                line = self.lines.get(timeout=quiet)
            except queue.Empty:
                return [l for l in got if l not in ("activate", "deactivate")]
            got.append(line)

    def collect(self, count, timeout=10):
        """At least `count` lines (focus noise aside), waiting up to `timeout` seconds for them
        however slowly a loaded machine delivers them, then whatever follows within 0.3 s."""
        got = []
        deadline = time.time() + timeout
        while len(got) < count and time.time() < deadline:
            try:
                line = self.lines.get(timeout=0.1)
            except queue.Empty:
                continue
            if line not in ("activate", "deactivate"):
                got.append(line)
        return got + self.drain()

    def close(self):
        xwindow.close_request(self.window)
        code = self.proc.wait(timeout=10)
        return code


h = Harness()
try:
    cases = [
        # The typed character arrives between press and release; control keys type nothing.
        ("key w", ["key", "w"], ["key 58 2", "key 58 1", "text 77", "key 58 3"]),
        ("key Escape", ["key", "Escape"], ["key 11 2", "key 11 1", "key 11 3"]),
        ("key KP_Enter (extended)", ["key", "KP_Enter"], ["key 78 2", "key 78 1", "key 78 3"]),
        ("key Page Up (extended)", ["key", "Prior"], ["key 13 2", "key 13 1", "key 13 3"]),
        ("click 1", ["click", "1"], ["button 0 2", "button 0 1", "button 0 3"]),
        ("click 3", ["click", "3"], ["button 1 2", "button 1 1", "button 1 3"]),
        ("wheel up", ["click", "4"], ["axis 0 +1.0"]),
        ("wheel down", ["click", "5"], ["axis 0 -1.0"]),
    ]
    for name, args, expected in cases:
        if args[0] == "click":
            xwindow.xdotool("mousemove", "--window", h.window, 100, 100)
            h.drain(0.2)
        xwindow.xdotool(*args)
        got = h.collect(len(expected))
        check_equal(name, got, expected)

    # xdotool types a character outside the keymap by remapping a spare key code for a
    # moment; the first key after a remap is sometimes lost by the X server, so each
    # character gets a few tries. Only the text bytes matter here.
    for char, expected in (("\u00e9", ["text C3", "text A9"]), ("\u20ac", ["text E2", "text 82", "text AC"])):
        for attempt in range(3):
            xwindow.xdotool("type", "--delay", "50", char)
            got = [l for l in h.drain() if l.startswith("text")]
            if got:
                break
        check_equal("type U+%04X" % ord(char), got, expected)

    # The clipboard, set by xclip and pasted by the harness on F1.
    # xclip serves the selection in the foreground (-quiet) until it is killed, and must not
    # hold the test's output open.
    clip = subprocess.Popen(["xclip", "-quiet", "-selection", "clipboard", "-i"], stdin=subprocess.PIPE,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    clip.stdin.write("h\u00e9\u20ac".encode())
    clip.stdin.close()
    # xclip serves the selection once it owns it: wait until a reader gets the text back.
    deadline = time.time() + 10
    while time.time() < deadline:
        out = subprocess.run(["xclip", "-o", "-selection", "clipboard"], capture_output=True).stdout
        if out == "h\u00e9\u20ac".encode():
            break
        time.sleep(0.02)
    xwindow.xdotool("key", "F1")
    got = [l for l in h.collect(8) if l.startswith("text")]
    clip.kill()
    clip.wait()
    check_equal("clipboard paste", got, ["text 68", "text C3", "text A9", "text E2", "text 82", "text AC"])

    code = h.close()
    check_equal("close request exits 0", code, 0)
finally:
    if h.proc.poll() is None:
        h.proc.kill()

finish()
