"""Named checks for the end-to-end scripts: each prints "ok" or "FAIL" and counts, and
finish() prints the closing "N passed, N failed" line and exits non-zero on any failure.
private_folder() is the one way the scripts make temporary folders."""
import atexit
import shutil
import sys
import tempfile

passed = failed = 0


def check(name, ok, detail=""):
    global passed, failed
    if ok:
        passed += 1
        print("ok   " + name)
    else:
        failed += 1
        print("FAIL %s %s" % (name, detail))


def check_equal(name, got, expected):
    """check() for a value against the one expected, showing both on failure."""
    check(name, got == expected, "\n  expected %r\n  got      %r" % (expected, got))


def finish():
    print("%d passed, %d failed" % (passed, failed))
    sys.exit(1 if failed else 0)


def private_folder(prefix):
    """A new folder under the temporary folder (TMPDIR when set) that no other run shares,
    removed with its contents when the script ends."""
    folder = tempfile.mkdtemp(prefix=prefix)
    atexit.register(shutil.rmtree, folder, True)
    return folder
