"""The real client under a private X server: it opens its window, runs frames and exits
with 0 when the window is asked to close; -h prints the usage and exits 0."""
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from checks import check, finish, private_folder  # noqa: E402
import xserver  # noqa: E402
import xwindow  # noqa: E402

GAME = sys.argv[1]
USAGE = ("Usage: game [OPTION]...\nOstrevane Client\n\n  -h, Print help and exit\n"
         "  -c, Path to an alternate settings file\n")


home = private_folder("ostrevane-home-")
base_env = dict(os.environ, HOME=home, SDL_AUDIODRIVER="dummy")
base_env.pop("DISPLAY", None)

# -h anywhere: the usage on stdout, exit 0, nothing written.
r = subprocess.run([GAME, "-x", "-h"], capture_output=True, text=True, env=base_env, timeout=30)
check("-h exits 0", r.returncode == 0, r.returncode)
check("-h prints the usage", r.stdout == USAGE, repr(r.stdout))
check("-h writes nothing", not any(files for _, _, files in os.walk(home)))


def geometry(window):
    out = subprocess.run(["xdotool", "getwindowgeometry", str(window)], capture_output=True, text=True).stdout
    return out.split("Geometry:")[1].split()[0] if "Geometry:" in out else out


windowed = os.path.join(home, "windowed.ini")
with open(windowed, "w") as f:
    f.write("[Display]\nDISPLAY_MODE=0\nDISPLAY_WIDTH=800\nDISPLAY_HEIGHT=600\n")

# The default full-screen 640 x 480 on a screen of that size, and a windowed 800 x 600 on a
# larger screen.
# (A full-screen window reports no useful geometry of its own: only the windowed size is read.)
for name, screen, args, size in (("full screen", (640, 480), [], None),
                                 ("windowed", (1280, 1024), ["-c", windowed], "800x600")):
  x = xserver.Xvfb(*screen)
  try:
    os.environ["DISPLAY"] = x.display
    game = subprocess.Popen([GAME, *args], env=x.env(HOME=home, SDL_AUDIODRIVER="dummy"),
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    try:
        window = xwindow.wait_for_window("Ostrevane Client", proc=game)
        # The search matches part of a title: the whole title must be the client's own.
        title = subprocess.run(["xdotool", "getwindowname", str(window)], capture_output=True,
                               text=True).stdout.strip()
        check(name + ": window titled Ostrevane Client appears", title == "Ostrevane Client", repr(title))
        got = None
        for attempt in range(50 if size else 0):
            got = geometry(window)
            if got == size:
                break
            time.sleep(0.1)
        if size:
            check(name + ": client area " + size, got == size, got)
        code = xwindow.close_and_wait(window, game)
        check(name + ": close request exits 0", code == 0, "exit %s: %s" % (code, game.stderr.read()))
    finally:
        if game.poll() is None:
            game.kill()
  finally:
    x.stop()

finish()
