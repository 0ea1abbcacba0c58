#!/usr/bin/python3
"""The chat in a real window: the post-spawn harness logs in against the local server (with
another player and the chat-lines scene) and runs the client's frame under a private X
server. xdotool opens the chat with Return, types a line and sends it with Return: the server
logs it as a chat message on the plain channel, and its echo adds the player's own line. Clicks
on the main log's scroll buttons move its counter (older, older, newer, newest), as the harness
prints it. The window is closed as a window manager would, and the harness exits 0.

Usage: chat_window_test.py PATH_TO_CHAT_WINDOW_HARNESS SOURCE_DIR ASSETS_DIR
"""
import os
import queue
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from checks import check, check_equal, finish, private_folder  # noqa: E402
import xserver  # noqa: E402
import xwindow  # noqa: E402

HARNESS, SOURCE, ASSETS = sys.argv[1], sys.argv[2], sys.argv[3]
folder = private_folder("ostrevane-chat-window-")
server_log = os.path.join(folder, "server.log")


def own_template():
    """The demo locale's text of the player's own said line."""
    with open(os.path.join(SOURCE, "content", "locale", "english.tsv")) as f:
        for line in f:
            fields = line.rstrip("\n").split("\t")
            if fields[0] == "0x4492B69E" and len(fields) >= 3:
                return fields[2]
    return None


def server_lines():
    with open(server_log) as f:
        return f.read().splitlines()


def wait_server(predicate, timeout=20.0):
    """The first server line that satisfies predicate, polling the log, or None."""
    deadline = time.time() + timeout
    while time.time() < deadline:
        for line in server_lines():
            if predicate(line):
                return line
        time.sleep(0.05)  # polling the log, with a deadline
    return None


class Output:
    """The harness's output lines as they come, with waiting for one."""

    def __init__(self, proc):
        self.lines = xwindow.output_lines(proc)
        self.seen = []

    def until(self, predicate, timeout=30.0):
        deadline = time.time() + timeout
        while time.time() < deadline:
            try:
                line = self.lines.get(timeout=max(0.01, deadline - time.time()))
            except queue.Empty:
                break
            self.seen.append(line)
            if predicate(line):
                return line
        return None

    def settle(self, prefix, quiet=1.0, timeout=30.0):
        """The last line with prefix once none has come for quiet seconds."""
        last = None
        deadline = time.time() + timeout
        while time.time() < deadline:
            try:
                line = self.lines.get(timeout=quiet)
            except queue.Empty:
                break
            self.seen.append(line)
            if line.startswith(prefix):
                last = line
        return last or next((l for l in reversed(self.seen) if l.startswith(prefix)), None)


with open(server_log, "w") as log:
    # The harness loads the demo locale, whose credentials start "LOGIN" and a tab and part
    # account and password with a tab.
    server = subprocess.Popen([sys.executable, "-m", "devserver", "--login-port", "0", "--world-port", "0",
                               "--credential-prefix", "LOGIN\t", "--credential-separator", "\t",
                               "--world-scenario", "players=1,chat-lines"], cwd=SOURCE, stdout=log, text=True)
x = None
harness = None
try:
    listening = wait_server(lambda l: l.startswith("listening"))
    check("server listening", listening is not None)
    port = listening.split()[1]
    x = xserver.Xvfb(1280, 1024)
    os.environ["DISPLAY"] = x.display  # xdotool and xwindow talk to the same server
    errors = open(os.path.join(folder, "harness.err"), "w")
    harness = subprocess.Popen([HARNESS, "--port", port, "--assets", ASSETS, "--seconds", "150"],
                               env=x.env(HOME=folder, SDL_AUDIODRIVER="dummy"), stdout=subprocess.PIPE,
                               stderr=errors, text=True)
    out = Output(harness)
    window = xwindow.wait_for_window("Ostrevane Chat Harness", timeout=30, proc=harness)
    buttons = out.until(lambda l: l.startswith("buttons "), timeout=60)
    check("in game", buttons is not None, out.seen[-5:])
    # The chat-lines scene: wait until its lines have all arrived.
    before = out.settle("log ", quiet=2.0)
    check("the scene's lines arrived", before is not None and int(before.split()[1]) >= 10, before)
    main_before = int(before.split()[1])

    xwindow.xdotool("windowfocus", "--sync", window)
    xwindow.xdotool("key", "Return")
    time.sleep(0.3)  # a frame or more, so the open line has the focus
    xwindow.xdotool("type", "hello")
    time.sleep(0.3)
    xwindow.xdotool("key", "Return")
    sent = wait_server(lambda l: " command 9 " in l and '"hello"' in l)
    check_equal("the server logs the typed line", sent.split(" command ", 1)[1] if sent else None,
                '9 {"channel": 3, "text": "hello"}')
    echoed = out.until(lambda l: l.startswith("log ") and int(l.split()[1]) > main_before)
    own = own_template().replace("{text}", "hello")
    check_equal("its echo shows as the player's own line", echoed and echoed.split(" ", 3)[3], own)

    p = [int(v) for v in buttons.split()[1:]]
    older, newer, newest = (p[0], p[1]), (p[2], p[3]), (p[4], p[5])
    for name, point, want in (("older", older, "scroll 1 0"), ("older again", older, "scroll 2 0"),
                              ("newer", newer, "scroll 1 0"), ("newest", newest, "scroll 0 0")):
        xwindow.xdotool("mousemove", "--window", window, point[0], point[1])
        time.sleep(0.2)
        xwindow.xdotool("click", "1")
        got = out.until(lambda l: l.startswith("scroll "), timeout=10)
        check_equal("a click on " + name + " moves the view", got, want)

    code = xwindow.close_and_wait(window, harness)
    check_equal("closing the window ends the harness with 0", code, 0)
finally:
    if harness is not None and harness.poll() is None:
        harness.kill()
        harness.wait(timeout=10)
    if x is not None:
        x.stop()
    server.terminate()
    server.wait(timeout=20)
finish()
