"""A private Xvfb server for one test, so the test controls the screen size."""
import os
import subprocess
import time


class Xvfb:
    def __init__(self, width=640, height=480):
        self.proc = None
        for number in range(140, 200):
            if os.path.exists("/tmp/.X%d-lock" % number):
                continue
            proc = subprocess.Popen(["Xvfb", ":%d" % number, "-screen", "0", "%dx%dx24" % (width, height),
                                     "-nolisten", "tcp"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            deadline = time.time() + 10
            while time.time() < deadline and proc.poll() is None:
                # Another server that took the number first also accepts; ours then exits
                # ("server already active"), so it must still be running afterwards.
                if self._accepts(":%d" % number) and not self._exits_soon(proc):
                    self.proc = proc
                    self.display = ":%d" % number
                    return
                time.sleep(0.05)
            proc.kill()
        raise AssertionError("could not start Xvfb")

    @staticmethod
    def _exits_soon(proc):
        try:
            proc.wait(timeout=0.3)
            return True
        except subprocess.TimeoutExpired:
            return False

    @staticmethod
    def _accepts(name):
        try:
            from Xlib import display
            display.Display(name).close()
            return True
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
