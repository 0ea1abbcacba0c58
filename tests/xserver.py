"""A private Xvfb server for one test, so the test controls the screen size."""
import os
import random
import subprocess
import time


class Xvfb:
    def __init__(self, width=640, height=480):
        self.proc = None
        numbers = list(range(140, 400))
        random.shuffle(numbers)
        for number in numbers:
            if os.path.exists("/tmp/.X%d-lock" % number):
                continue
            proc = subprocess.Popen(["Xvfb", ":%d" % number, "-screen", "0", "%dx%dx24" % (width, height),
                                     "-nolisten", "tcp"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            deadline = time.time() + 10
            while time.time() < deadline and proc.poll() is None:
                if self._accepts(":%d" % number, width, height) and proc.poll() is None:
                    self.proc = proc
                    self.display = ":%d" % number
                    # Clients that connect in the first moments after the server accepts now
                    # and then see a default 1024 x 768 screen with no usable modes; no
                    # request we found tells when that is over, so the server gets a second.
                    time.sleep(1.0)
                    return
                time.sleep(0.05)
            proc.kill()
        raise AssertionError("could not start Xvfb")

    @staticmethod
    def _accepts(name, width, height):
        """True when the server at name answers with our screen size: another program's
        server that took the number first answers with its own size and is passed over."""
        try:
            from Xlib import display
            d = display.Display(name)
            screen = d.screen()
            ours = screen.width_in_pixels == width and screen.height_in_pixels == height
            d.close()
            return ours
        except Exception:
            return False

    def env(self, **extra):
        env = dict(os.environ)
        env["DISPLAY"] = self.display
        env.update(extra)
        return env

    def stop(self):
        if self.proc and self.proc.poll() is None:
            self.proc.terminate()
            self.proc.wait(timeout=10)
