"""The interface demo of the render harness under a real X server: xdotool clicks, toggles,
types, slides, drags and resizes like a person, and each action must come back as the line the
harness prints for the callback it caused. A capture of the window must show the skin's
images, not one flat colour.

usage: ui_widgets_test.py RENDER_HARNESS"""
import os
import queue
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from checks import check, check_equal, finish, private_folder  # noqa: E402
import xwindow  # noqa: E402

HARNESS = sys.argv[1]
HEIGHT = 360  # the harness's window in interface mode is 480 x 360


def x_of(ui_x, ui_y):
    """Interface pixels (origin bottom-left) to window pixels (origin top-left)."""
    return ui_x, HEIGHT - ui_y


# Centres of the demo's widgets while its window sits at (20, 10), 240 x 240, in interface
# pixels; each widget is anchored to the window's top-left corner (render_ui_demo.cpp).
TOP = 10 + 240
BUTTON = (20 + 16 + 45, TOP - 36 - 13)
TOGGLE = (20 + 124 + 8, TOP - 41 - 8)
FIELD = (20 + 16 + 90, TOP - 76 - 10)
SLIDER_LEFT, SLIDER_Y = 20 + 16, TOP - 106 - 6
TITLE = (20 + 6 + 100, TOP - 6 - 10)


class Harness:
    def __init__(self):
        self.proc = subprocess.Popen([HARNESS, "arrays", "ui"], stdout=subprocess.PIPE, text=True)
        self.lines = xwindow.output_lines(self.proc)
        self.until("ready", 30)
        self.window = xwindow.wait_for_window("Render Harness", proc=self.proc)
        xwindow.xdotool("windowfocus", "--sync", self.window)

    def until(self, wanted, timeout=10):
        """Every line up to and including `wanted`; fails after the timeout."""
        seen = []
        deadline = time.time() + timeout
        while time.time() < deadline:
            try:
                line = self.lines.get(timeout=0.1)
            except queue.Empty:
                continue
            seen.append(line)
            if line == wanted:
                return seen
        raise AssertionError("no %r within %d s; saw %r" % (wanted, timeout, seen[-20:]))

    def arrives(self, wanted, timeout=10):
        try:
            return self.until(wanted, timeout)
        except AssertionError as e:
            print(e)
            return None

    def move(self, ui_point):
        x, y = x_of(*ui_point)
        xwindow.xdotool("mousemove", "--window", self.window, x, y)

    def click(self, ui_point):
        self.move(ui_point)
        xwindow.xdotool("click", "1")

    def drag(self, item, start, end, wanted, steps=6):
        """Presses on the item at start, waits until the harness saw the press (the drag is
        measured from there), moves to end in steps and, once the harness printed `wanted` (as
        a person waits to see the thing arrive), lets go. The lines seen, or None."""
        x, y = x_of(*start)
        xwindow.xdotool("mousemove", "--sync", "--window", self.window, x, y)
        time.sleep(0.05)  # a person's pointer comes to rest before the press
        xwindow.xdotool("mousedown", "1")
        pressed = self.until("state %d 2" % item)
        if item == 13 and "capture 13 1" not in pressed:
            raise AssertionError("the slider was not captured on its press: %r" % pressed)
        for i in range(1, steps + 1):
            self.move((start[0] + (end[0] - start[0]) * i // steps, start[1] + (end[1] - start[1]) * i // steps))
            time.sleep(0.02)
        # The last motion can reach the client before the server settles the pointer; a
        # person's hand would still be moving it, so it is sent once more.
        time.sleep(0.05)
        self.move(end)
        seen = self.arrives(wanted)
        xwindow.xdotool("mouseup", "1")
        return seen


def colours_in_capture(window, folder):
    """Distinct colours in an X capture of the window, or None without ImageMagick."""
    if not shutil.which("import"):
        return None
    from PIL import Image
    path = os.path.join(folder, "ui.png")
    subprocess.run(["import", "-window", str(window), path], check=True, timeout=60)
    image = Image.open(path).convert("RGB")
    return len(set(image.crop((20, HEIGHT - 250, 260, HEIGHT - 10)).getdata()))


h = Harness()
try:
    h.click(BUTTON)
    check("a click on the button", h.arrives("click 10") is not None)

    h.click(TOGGLE)
    check("the toggle turns on", h.arrives("toggle 11 1") is not None)
    h.click(TOGGLE)
    check("and off again", h.arrives("toggle 11 0") is not None)

    h.click(FIELD)
    check("the field takes the focus", h.arrives("focus 12") is not None)
    xwindow.xdotool("type", "--delay", "30", "hello")
    check("typed text reaches the field", h.arrives("text 12 hello") is not None)
    xwindow.xdotool("key", "BackSpace")
    check("backspace removes a letter", h.arrives("text 12 hell") is not None)
    xwindow.xdotool("key", "Escape")
    h.until("focus 0")

    # The slider is 180 wide: half way along is 0.5.
    lines = h.drag(13, (SLIDER_LEFT + 2, SLIDER_Y), (SLIDER_LEFT + 90, SLIDER_Y), "slider 13 0.50")
    check("the slider, captured on the press, reaches half way", lines is not None)
    lines = h.arrives("capture 13 0")
    check("the slider lets go once the button is up", lines is not None)
    check_equal("and stays half way", [l for l in (lines or []) if l.startswith("slider")], [])

    # Dragging the title moves the window by the mouse's travel.
    check("the title drags the window", h.drag(2, TITLE, (TITLE[0] + 40, TITLE[1] + 20), "move 1 60 30") is not None)
    h.until("state 2 20")  # the drag's release

    # The window now sits at (60, 30): pull its bottom-right corner out by 30 x 20.
    corner = (60 + 240 - 2, 30 + 1)
    check("the corner resizes the window", h.drag(1, corner, (corner[0] + 30, corner[1] - 20),
                                                 "resize 1 60 10 270 260") is not None)
    h.until("state 1 52")  # the release of a resize: click, drag and resize bits

    colours = colours_in_capture(h.window, private_folder("ui_widgets_"))
    if colours is None:
        check("ImageMagick import for the capture", os.environ.get("CI") != "true")
    else:
        check("the capture shows the skin, not a flat colour", colours > 20, "%d colours" % colours)
finally:
    code = xwindow.close_and_wait(h.window, h.proc)
    check_equal("the harness ends cleanly", code, 0)
finish()
