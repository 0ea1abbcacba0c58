"""Reads every #include under src/, tools/, tests/, bench/ and fuzz/ against cmake/layers.txt
and names the file and line of each one the table does not allow. Before trusting itself it
checks a small planted tree where a foundation file reaches the network layer.

usage: include_layers_test.py SOURCE_DIR"""
import os
import re
import sys
import tempfile

TREES = ("src", "tools", "tests", "bench", "fuzz")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
# Headers of the operating system and of the outside libraries, by the interface they belong to.
OUTSIDE = (
    ("gl", re.compile(r"^GL/")),
    ("sodium", re.compile(r"^sodium")),
    ("freetype", re.compile(r"^(ft2build\.h|freetype/)")),
    ("os", re.compile(r"^(SDL2?/|SDL\.h|unistd\.h|signal\.h|pthread\.h|fcntl\.h|dlfcn\.h|poll\.h|netdb\.h"
                      r"|sys/|netinet/|arpa/|dirent\.h|termios\.h|sched\.h|setjmp\.h)")),
)


def read_table(path):
    """The layers file as {folder or file: set of what it may include}."""
    table = {}
    with open(path) as f:
        for line in f:
            line = line.strip()
            if not line or line.startswith("#"):
                continue
            key, _, uses = line.partition(":")
            table[key.strip()] = set(uses.split())
    return table


def layer_of(relative):
    """The table line that governs a file: its src/ folder, "support", or its source tree.
    Unit tests beside the code belong to the tests, not to the folder they sit in."""
    parts = relative.split("/")
    if parts[0] == "src":
        return "tests" if parts[-1].endswith("_test.cpp") else parts[1]
    if parts[0] == "tests" and len(parts) > 2 and parts[1] == "support":
        return "support"
    return parts[0]


def target_of(root, relative, included, folders):
    """The folder an include reaches, or None when it stays beside the file or outside the tree."""
    first = included.split("/")[0]
    if "/" in included and (first in folders or first == "support"):
        return first
    resolved = os.path.relpath(os.path.normpath(os.path.join(root, os.path.dirname(relative), included)), root)
    parts = resolved.split("/")
    if parts[0] == "src" and len(parts) > 2:
        return parts[1]
    if parts[:2] == ["tests", "support"]:
        return "support"
    return None


def check(root):
    table = read_table(os.path.join(root, "cmake", "layers.txt"))
    folders = {name for name in os.listdir(os.path.join(root, "src")) if os.path.isdir(os.path.join(root, "src", name))}
    problems = []
    for tree in TREES:
        for dirpath, _, files in os.walk(os.path.join(root, tree)):
            for name in sorted(files):
                if not name.endswith((".cpp", ".h")):
                    continue
                relative = os.path.relpath(os.path.join(dirpath, name), root)
                layer = layer_of(relative)
                if layer not in table:
                    problems.append("%s: its folder %s has no line in cmake/layers.txt" % (relative, layer))
                    continue
                own_line = relative[len("src/"):] if relative.startswith("src/") else relative
                allowed = set(table[layer]) | table.get(own_line, set())
                if "*" in allowed:
                    continue
                allowed.add(layer)
                with open(os.path.join(dirpath, name), errors="replace") as f:
                    for number, line in enumerate(f, 1):
                        m = INCLUDE.match(line)
                        if not m:
                            continue
                        kind, included = m.groups()
                        if kind == '"':
                            target = target_of(root, relative, included, folders)
                        else:
                            target = next((label for label, pattern in OUTSIDE if pattern.match(included)), None)
                        if target is not None and target not in allowed:
                            problems.append("%s:%d: %s may not include %s (%s)" % (relative, number, layer, included, target))
    return problems


def planted_tree_is_caught():
    """A base file including net/, and a tool including the window layer, must both be named."""
    with tempfile.TemporaryDirectory(prefix="ostrevane-layers-") as root:
        os.makedirs(os.path.join(root, "cmake"))
        with open(os.path.join(root, "cmake", "layers.txt"), "w") as f:
            f.write("base:\nplatform: base os\nnet: base platform\ntools: base\ntests: *\n")
        files = {
            "src/base/mem.cpp": '#include "base/mem.h"\n#include <unistd.h>\n\n#include "net/net.h"\n',
            "src/net/net.cpp": '#include "base/mem.h"\n#include "../platform/window.h"\n',
            "src/platform/window.cpp": "#include <SDL2/SDL.h>\n",
            "src/platform/window_test.cpp": '#include "net/net.h"\n',
            "tools/pack.cpp": '#include "base/mem.h"\n#include "platform/window.h"\n',
        }
        for path, text in files.items():
            os.makedirs(os.path.dirname(os.path.join(root, path)), exist_ok=True)
            with open(os.path.join(root, path), "w") as f:
                f.write(text)
        found = sorted(p.split(" ")[0] for p in check(root))
        expected = ["src/base/mem.cpp:2:", "src/base/mem.cpp:4:", "tools/pack.cpp:2:"]
        if found != expected:
            print("the include check missed or invented something in its planted tree:", found)
            return False
    return True


def main():
    if not planted_tree_is_caught():
        return 1
    problems = check(os.path.abspath(sys.argv[1]))
    for p in problems:
        print(p)
    print("%d includes the layering does not allow" % len(problems))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
