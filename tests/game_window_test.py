"""The real client under a private X server: it opens its window, runs frames and exits
with 0 when the window is asked to close; -h prints the usage and exits 0."""
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import xserver  # noqa: E402
import xwindow  # noqa: E402

GAME = sys.argv[1]
USAGE = ("Usage: game [OPTION]...\nOstrevane Client\n\n  -h, Print help and exit\n"
         "  -c, Path to an alternate settings file\n")
passed = failed = 0


def check(name, ok, detail=""):
    global passed, failed
    if ok:
        passed += 1
        print("ok   " + name)
    else:
        failed += 1
        print("FAIL %s %s" % (name, detail))


home = tempfile.mkdtemp(prefix="ostrevane-home-")
base_env = dict(os.environ, HOME=home, SDL_AUDIODRIVER="dummy")
base_env.pop("DISPLAY", None)

# -h anywhere: the usage on stdout, exit 0, nothing written.
r = subprocess.run([GAME, "-x", "-h"], capture_output=True, text=True, env=base_env, timeout=30)
check("-h exits 0", r.returncode == 0, r.returncode)
check("-h prints the usage", r.stdout == USAGE, repr(r.stdout))
check("-h writes nothing", not any(files for _, _, files in os.walk(home)))

# The window: a 640 x 480 screen, so the default full-screen 640 x 480 mode exists.
x = xserver.Xvfb(640, 480)
try:
    os.environ["DISPLAY"] = x.display
    game = subprocess.Popen([GAME], env=x.env(HOME=home, SDL_AUDIODRIVER="dummy"),
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    try:
        window = xwindow.wait_for_window("Ostrevane Client", proc=game)
        check("window titled Ostrevane Client appears", True)
        # Answering the close request needs the message loop to be running frames.
        xwindow.close_request(window)
        code = game.wait(timeout=20)
        check("close request exits 0", code == 0, "exit %s: %s" % (code, game.stderr.read()))
    finally:
        if game.poll() is None:
            game.kill()
finally:
    x.stop()

print("%d passed, %d failed" % (passed, failed))
sys.exit(1 if failed else 0)
