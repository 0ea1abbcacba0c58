#!/usr/bin/python3
"""End-to-end checks of the settings files written by the real client.

Usage: e2e_settings.py PATH_TO_GAME

Each check runs the client with HOME pointing at a fresh folder and no display, so start-up
stops early (no window can open) while the settings are still loaded at start and saved at
exit. The checks read the files with Python's configparser and compare the key order with an
independent model of the client's hash map (FNV-1a, 32 slots, linear probing).
"""
import configparser
import os
import signal
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from checks import private_folder  # noqa: E402

FIRST_RUN = [
    ("Rendering", "RENDERING_BACKEND", "0"),
    ("General", "ACCOUNT", ""),
    ("Rendering", "SOFTWARE_CURSOR", "1"),
    ("Display", "DISPLAY_WIDTH", "640"),
    ("Display", "DISPLAY_HEIGHT", "480"),
    ("Display", "DISPLAY_BITDEPTH", "0"),
    ("Display", "DISPLAY_REFRESH_RATE", "0"),
    ("Display", "DISPLAY_MODE", "1"),
    ("Display", "DISPLAY_VSYNC", "0"),
    ("Rendering", "CLIP_DISTANCE", "0"),
    ("Rendering", "LOW_DETAIL_TEXTURES", "0"),
    ("Rendering", "TEXTURE_MIPMAPS", "1"),
    ("Rendering", "ANISOTROPIC_FILTERING", "1"),
    ("Rendering", "TRILINEAR_FILTERING", "1"),
    ("Sound", "MASTER_ENABLED", "0"),
    ("Sound", "MUSIC_ENABLED", "0"),
    ("Sound", "AMBIENT_ENABLED", "0"),
    ("Sound", "EFFECT_ENABLED", "0"),
    ("Sound", "MUSIC_LOOP", "1"),
    ("Sound", "SOUND_AT_CHARACTER", "0"),
    ("Sound", "MASTER_VOLUME", "50"),
    ("Sound", "MUSIC_VOLUME", "100"),
    ("Sound", "AMBIENT_VOLUME", "100"),
    ("Sound", "EFFECT_VOLUME", "100"),
    ("Input", "MOUSE_SENSITIVITY", "1.000000"),
]


def fnv1a(text):
    h = 0x811C9DC5
    for b in text.encode():
        h = ((h ^ b) * 16777619) & 0xFFFFFFFF
    return h


class SlotMap:
    """Open addressing as the client's maps do it: grow before passing three quarters."""

    def __init__(self):
        self.slots = [None] * 32
        self.count = 0

    def insert(self, key, value):
        if any(s is not None and s[0] == key for s in self.slots):
            return
        if len(self.slots) * 3 < self.count * 4 + 4:
            old = self.slots
            self.slots = [None] * (len(old) * 2)
            for s in old:
                if s is not None:
                    self._place(*s)
        self._place(key, value)
        self.count += 1

    def _place(self, key, value):
        mask = len(self.slots) - 1
        i = fnv1a(key) & mask
        while self.slots[i] is not None:
            i = (i + 1) & mask
        self.slots[i] = (key, value)

    def find(self, key):
        for s in self.slots:
            if s is not None and s[0] == key:
                return s[1]
        return None

    def items(self):
        return [s for s in self.slots if s is not None]


def expected_first_run_text():
    sections = SlotMap()
    for section, key, value in FIRST_RUN:
        sections.insert(section, SlotMap())
        sections.find(section).insert(key, value)
    text = ""
    for name, keys in sections.items():
        text += "\n[%s]\n" % name
        for key, value in keys.items():
            text += "%s=%s\n" % (key, value)
    return text


class Runner:
    def __init__(self, game):
        self.game = os.path.abspath(game)
        self.passed = 0
        self.failed = 0

    def run(self, home, args, cwd, timeout=60):
        env = {k: v for k, v in os.environ.items()
               if k not in ("DISPLAY", "WAYLAND_DISPLAY", "XDG_DATA_HOME", "XAUTHORITY")}
        env["HOME"] = home
        env["SDL_AUDIODRIVER"] = "dummy"
        proc = subprocess.Popen([self.game] + args, cwd=cwd, env=env,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        try:
            out, err = proc.communicate(timeout=timeout)
        except subprocess.TimeoutExpired:
            # Still running: ask it to quit the ordinary way, so it saves as on any exit.
            proc.send_signal(signal.SIGTERM)
            try:
                out, err = proc.communicate(timeout=20)
            except subprocess.TimeoutExpired:
                proc.kill()
                out, err = proc.communicate()
        return proc.returncode, out.decode(errors="replace"), err.decode(errors="replace")

    def check(self, name, condition, detail=""):
        if condition:
            self.passed += 1
            print("ok   %s" % name)
        else:
            self.failed += 1
            print("FAIL %s %s" % (name, detail))


def read(path):
    with open(path, "rb") as f:
        return f.read().decode("utf-8", errors="surrogateescape")


def listing(root):
    found = []
    for base, dirs, files in os.walk(root):
        for entry in dirs + files:
            found.append(os.path.relpath(os.path.join(base, entry), root))
    return sorted(found)


def first_run(r, work):
    home = os.path.join(work, "home1")
    os.mkdir(home)
    code, out, err = r.run(home, [], work)
    folder = os.path.join(home, ".local", "share", "Ostrevane")
    settings = os.path.join(folder, "settings.ini")
    r.check("first run creates the per-user folder", os.path.isdir(folder), "exit %s: %s" % (code, err))
    r.check("first run writes settings.ini", os.path.isfile(settings), listing(home))
    if not os.path.isfile(settings):
        return
    text = read(settings)
    parser = configparser.ConfigParser(interpolation=None, delimiters=("=",), strict=True)
    parser.optionxform = str
    parser.read_string(text)
    got = {(s, k): v for s in parser.sections() for k, v in parser.items(s)}
    want = {(s, k): v for s, k, v in FIRST_RUN}
    r.check("settings.ini holds exactly the first-run keys and values", got == want,
            "\n  missing %s\n  extra %s" % (sorted(set(want.items()) - set(got.items())),
                                          sorted(set(got.items()) - set(want.items()))))
    r.check("first-run keys in hash-slot order", text == expected_first_run_text(), repr(text))


def volume_stays(r, work):
    home = os.path.join(work, "home2")
    folder = os.path.join(home, ".local", "share", "Ostrevane")
    os.makedirs(folder)
    settings = os.path.join(folder, "settings.ini")
    original = "; my settings\n[Sound]\nMASTER_VOLUME=150\nMY_OWN_KEY=x\n"
    with open(settings, "w") as f:
        f.write(original)
    r.run(home, [], work)
    text = read(settings)
    r.check("MASTER_VOLUME=150 stays 150 in the file", "MASTER_VOLUME=150\n" in text, repr(text))
    r.check("an existing file gains no keys at exit", text == original, repr(text))


def other_file(r, work):
    home = os.path.join(work, "home3")
    os.mkdir(home)
    cwd = os.path.join(work, "cwd3")
    os.mkdir(cwd)
    other = os.path.join(cwd, "other.ini")
    with open(other, "w") as f:
        f.write("[Sound]\nMASTER_VOLUME = 150\n; mine\n")
    r.run(home, ["-c", "other.ini"], cwd)
    # Read and written back: the loaded key is rewritten in the client's own format.
    r.check("-c reads and writes the named file (relative to the working folder)",
            read(other) == "[Sound]\nMASTER_VOLUME=150\n; mine\n", repr(read(other)))
    default = os.path.join(home, ".local", "share", "Ostrevane", "settings.ini")
    r.check("-c leaves the default settings file alone", not os.path.exists(default), listing(home))

    fresh = os.path.join(work, "fresh dir", "new.ini")
    os.mkdir(os.path.dirname(fresh))
    r.run(home, ["-c", fresh], cwd)
    r.check("-c with a new file creates it with the first-run keys",
            os.path.isfile(fresh) and read(fresh) == expected_first_run_text(),
            listing(os.path.dirname(fresh)))


def usage_writes_nothing(r, work):
    home = os.path.join(work, "home4")
    os.mkdir(home)
    cwd = os.path.join(work, "cwd4")
    os.mkdir(cwd)
    code, out, err = r.run(home, ["-h"], cwd)
    r.check("-h exits with 0", code == 0, "exit %s" % code)
    r.check("-h shows the usage text", "Ostrevane Client" in out + err, repr(out + err))
    r.check("-h writes nothing", listing(home) == [] and listing(cwd) == [], listing(home) + listing(cwd))


def main():
    if len(sys.argv) != 2 or not os.access(sys.argv[1], os.X_OK):
        print("usage: e2e_settings.py PATH_TO_GAME")
        print("0 passed, 1 failed")
        return 2
    r = Runner(sys.argv[1])
    work = private_folder("e2e_settings_")
    for check in (first_run, volume_stays, other_file, usage_writes_nothing):
        check(r, work)
    print("%d passed, %d failed" % (r.passed, r.failed))
    return 0 if r.failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
