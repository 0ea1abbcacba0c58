"""Helpers for tests that drive a real window under Xvfb: find it, focus it, close it.

Run with /usr/bin/python3 (python3-xlib comes from Debian)."""
import queue
import subprocess
import threading
import time

from Xlib import X, display, protocol


def wait_for_window(title, timeout=15.0, proc=None):
    """The id of the first visible window with this title, waiting up to timeout seconds."""
    deadline = time.time() + timeout
    while time.time() < deadline:
        if proc is not None and proc.poll() is not None:
            err = proc.stderr.read() if proc.stderr else ""
            raise AssertionError("program ended (%s) before its window appeared: %s" % (proc.returncode, err))
        out = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", title],
                             capture_output=True, text=True).stdout.split()
        if out:
            return int(out[0])
        time.sleep(0.05)
    raise AssertionError("no window titled %r within %.0f s" % (title, timeout))


def xdotool(*args):
    subprocess.run(["xdotool", *[str(a) for a in args]], check=True)


def close_request(window_id):
    """Asks the window to close the way a window manager does (WM_DELETE_WINDOW)."""
    d = display.Display()
    w = d.create_resource_object("window", window_id)
    protocols = d.intern_atom("WM_PROTOCOLS")
    delete = d.intern_atom("WM_DELETE_WINDOW")
    event = protocol.event.ClientMessage(window=w, client_type=protocols,
                                         data=(32, [delete, X.CurrentTime, 0, 0, 0]))
    w.send_event(event, event_mask=X.NoEventMask)
    d.flush()
    d.close()


def close_and_wait(window_id, proc, attempts=10):
    """Sends close requests until proc ends, 2 s apart, and answers its exit code (None when it
    never ended). Answering one needs the program's message loop to be running frames, and a
    request that lands while the window is still being set up can be lost on the way, so it is
    repeated as a player would click again."""
    for attempt in range(attempts):
        close_request(window_id)
        try:
            return proc.wait(timeout=2)
        except subprocess.TimeoutExpired:
            pass
    return None


def output_lines(proc):
    """A queue that a background thread fills with proc's output lines, stripped, as they come."""
    lines = queue.Queue()

    def read():
        for line in proc.stdout:
            lines.put(line.strip())

    threading.Thread(target=read, daemon=True).start()
    return lines
