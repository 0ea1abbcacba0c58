"""The real client with one archive missing from its assets folder: it shows the integrity
message and exits with 1 before starting anything, and still writes its settings file on
the way out. A missing morph.dat is allowed, so that run gets past the check (and, without a
display, stops later for another reason).

usage: missing_archive_test.py GAME ASSETS_DIR"""
import configparser
import os
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from checks import check, finish, private_folder  # noqa: E402

GAME, ASSETS = sys.argv[1], sys.argv[2]
MESSAGE = "Integrity check failed. Please exit, run the patcher, and try again."
WINDOW_MESSAGE = "Failed to create window"
REQUIRED = ["anim.dat", "bsp.dat", "font.dat", "light.dat", "locale.dat", "map.dat", "mesh.dat",
            "music.dat", "sound.dat", "texture.dat"]


def run_without(missing):
    """Runs a copy of the client whose assets folder lacks one file; the copy sits in its own
    folder, which is also the working folder, so the client finds that assets folder whether
    it looks beside itself or in the working folder."""
    root = private_folder("ostrevane-assets-")
    game = os.path.join(root, "game")
    shutil.copy(GAME, game)
    assets = os.path.join(root, "assets")
    os.mkdir(assets)
    for name in REQUIRED + ["morph.dat"]:
        if name != missing:
            shutil.copy(os.path.join(ASSETS, name), assets)
    home = os.path.join(root, "home")
    os.mkdir(home)
    env = dict(os.environ, HOME=home, SDL_AUDIODRIVER="dummy", SDL_VIDEODRIVER="x11")
    env.pop("DISPLAY", None)  # no message box to block on; the text goes to stderr
    settings = os.path.join(root, "settings.ini")
    r = subprocess.run([game, "-c", settings], cwd=root, env=env, capture_output=True,
                       text=True, timeout=60)
    sections = []
    if os.path.exists(settings):
        parser = configparser.ConfigParser(interpolation=None)
        parser.optionxform = str
        parser.read(settings)
        sections = parser.sections()
    return r.returncode, r.stderr, sections


for name in REQUIRED:
    code, err, sections = run_without(name)
    check("without %s: integrity message, exit 1" % name, code == 1 and MESSAGE in err,
          "exit %s, stderr %r" % (code, err))
    check("without %s: settings written" % name, "Display" in sections, repr(sections))

# Past the check the client starts its platform and, with no display, stops at the window
# with its own message and exit code 1: a crash (a signal) or a silent exit is a failure here.
code, err, _ = run_without("morph.dat")
check("without morph.dat the check passes", MESSAGE not in err, repr(err))
check("without morph.dat the client stops at the window", code == 1 and WINDOW_MESSAGE in err,
      "exit %s, stderr %r" % (code, err))

finish()
