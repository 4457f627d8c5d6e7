"""The wizard's first window against an empty 700 x 500 Qt window, under Xvfb.

usage: measure_window.py NETNS OBSERVER WIZARD REFERENCE ROUNDS

Starts a private Xvfb (black root, Unix socket only), then in a network namespace with no
device (the wizard searches as soon as it shows) runs each program ROUNDS times, alternating
which goes first. Each run is timed by OBSERVER (bench_first_window) from just before the
program starts to its window's mapping and to the first drawn pixels of it; the program then
ends. Both run as the unprivileged user "nobody", as a user starts the wizard (as root it
would also start its privileged helper at once). Prints every run and the medians; the
wizard's target is at most 1.2 times the reference's drawn time.
"""

import os
import pwd
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

TARGET = 1.2


def run_once(observer, program):
    home = tempfile.mkdtemp(prefix="kelda-window-")
    user = pwd.getpwnam("nobody")
    os.chown(home, user.pw_uid, user.pw_gid)
    os.chmod(home, 0o700)
    try:
        env = dict(os.environ, HOME=home, XDG_RUNTIME_DIR=home, QT_QPA_PLATFORM="xcb")
        as_user = ["setpriv", "--reuid=%d" % user.pw_uid, "--regid=%d" % user.pw_gid,
                   "--clear-groups"]
        out = subprocess.run([observer] + as_user + [program], env=env, capture_output=True,
                             text=True, timeout=60).stdout
        found = re.search(r"mapped_ms=([\d.-]+) drawn_ms=([\d.-]+) cpu_ms=([\d.-]+)", out)
        if not found or float(found.group(2)) < 0:
            raise RuntimeError("no window from %s: %s" % (program, out))
        return tuple(float(value) for value in found.groups())
    finally:
        shutil.rmtree(home, ignore_errors=True)


def inside(observer, wizard, reference, rounds):
    runs = {"wizard": [], "reference": []}
    programs = {"wizard": wizard, "reference": reference}
    # One of each to warm the file cache, not counted.
    for name in programs:
        run_once(observer, programs[name])
    print("| round | program | mapped ms | drawn ms | processor ms |")
    print("|---:|---|---:|---:|---:|")
    for number in range(1, rounds + 1):
        order = ["reference", "wizard"] if number % 2 else ["wizard", "reference"]
        for name in order:
            run = run_once(observer, programs[name])
            runs[name].append(run)
            print("| %d | %s | %.1f | %.1f | %.1f |" % ((number, name) + run))
            time.sleep(0.2)
    print()
    print("| program | mapped ms | drawn ms | fastest drawn ms | processor ms |")
    print("|---|---:|---:|---:|---:|")
    figures = {}
    for name, label in (("reference", "empty 700 x 500 window"), ("wizard", "wizard")):
        r = runs[name]
        figures[name] = (statistics.median(m for m, _, _ in r), statistics.median(d for _, d, _ in r),
                         min(d for _, d, _ in r), statistics.median(c for _, _, c in r))
        print("| %s | %.1f | %.1f | %.1f | %.1f |" % ((label,) + figures[name]))
    print()
    ratio = figures["wizard"][1] / figures["reference"][1]
    print("%s wizard / empty window, drawn (medians): %.2f (target at most %.1f); fastest: %.2f; "
          "processor: %.2f" % ("ok:  " if ratio <= TARGET else "FAIL:", ratio, TARGET,
                               figures["wizard"][2] / figures["reference"][2],
                               figures["wizard"][3] / figures["reference"][3]))
    return 0


def main():
    if sys.argv[1] == "--inside":
        return inside(sys.argv[2], sys.argv[3], sys.argv[4], int(sys.argv[5]))
    netns, observer, wizard, reference, rounds = sys.argv[1:6]
    work = tempfile.mkdtemp(prefix="kelda-xvfb-")
    display_file = os.path.join(work, "display")
    with open(display_file, "w") as handle:
        xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(handle.fileno()), "-nolisten", "tcp",
                                 "-br", "-screen", "0", "1024x768x24"],
                                pass_fds=(handle.fileno(),), stderr=subprocess.DEVNULL)
    try:
        for _ in range(100):
            with open(display_file) as handle:
                number = handle.read().strip()
            if number:
                break
            time.sleep(0.05)
        else:
            raise RuntimeError("Xvfb did not start")
        env = dict(os.environ, DISPLAY=":" + number)
        return subprocess.run([netns, "with", "none", "--", sys.executable,
                               os.path.abspath(__file__), "--inside", observer, wizard,
                               reference, rounds], env=env).returncode
    finally:
        xvfb.terminate()
        xvfb.wait(10)
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
