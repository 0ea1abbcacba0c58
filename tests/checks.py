"""Named checks for the end-to-end scripts: each prints "ok" or "FAIL" and counts, and
finish() prints the closing "N passed, N failed" line and exits non-zero on any failure."""
import sys

passed = failed = 0


def check(name, ok, detail=""):
    global passed, failed
    if ok:
        passed += 1
        print("ok   " + name)
    else:
        failed += 1
        print("FAIL %s %s" % (name, detail))


def finish():
    print("%d passed, %d failed" % (passed, failed))
    sys.exit(1 if failed else 0)
