#!/usr/bin/env python3
"""Idle cost of the wizard beside a do-nothing window of the same toolkit.

Runs inside a private network namespace with no device (scripts/bench puts it there): starts
both programs on the offscreen platform, lets them settle, then measures CPU time (user +
system, the program and its children such as the network helper) over SECONDS and the resident
memory at the end. Prints one Markdown table.
    measure_idle.py WIZARD REFERENCE [SECONDS]
"""
import os
import subprocess
import sys
import tempfile
import time

SETTLE = 5


def tasks(pid):
    """pid, its threads, and its live children (the network helper) with their threads."""
    found = []
    pids = [pid]
    try:
        pids += [int(c) for c in open(f"/proc/{pid}/task/{pid}/children").read().split()]
    except OSError:
        pass
    for p in pids:
        try:
            found += [f"/proc/{p}/task/{t}" for t in os.listdir(f"/proc/{p}/task")]
        except OSError:
            pass
    return found


def cpu_seconds(pid):
    """Time on a CPU, in seconds, from the scheduler's nanosecond count: clock ticks are too
    coarse for a program that should hardly run at all."""
    total = 0
    for task in tasks(pid):
        try:
            total += int(open(f"{task}/schedstat").read().split()[0])
        except OSError:
            pass
    return total / 1e9


def wakeups(pid):
    total = 0
    for task in tasks(pid):
        try:
            for line in open(f"{task}/status"):
                if line.startswith(("voluntary_ctxt_switches", "nonvoluntary_ctxt_switches")):
                    total += int(line.split()[1])
        except OSError:
            pass
    return total


def status_kib(pid, key):
    for line in open(f"/proc/{pid}/status"):
        if line.startswith(key + ":"):
            return int(line.split()[1])
    return 0


def start(program, home):
    env = dict(os.environ, HOME=home, XDG_RUNTIME_DIR=os.path.join(home, "run"),
               QT_QPA_PLATFORM="offscreen")
    env.pop("DISPLAY", None)
    os.makedirs(env["XDG_RUNTIME_DIR"], mode=0o700, exist_ok=True)
    return subprocess.Popen([program], env=env, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)


def main():
    wizard, reference = sys.argv[1], sys.argv[2]
    seconds = float(sys.argv[3]) if len(sys.argv) > 3 else 60
    with tempfile.TemporaryDirectory() as a, tempfile.TemporaryDirectory() as b:
        procs = {"wizard (Locate page, no device)": start(wizard, a),
                 "reference (empty 700 x 500 window)": start(reference, b)}
        try:
            time.sleep(SETTLE)
            for name, p in procs.items():
                if p.poll() is not None:
                    sys.exit(f"{name} ended early with {p.returncode}")
            before = {n: cpu_seconds(p.pid) for n, p in procs.items()}
            woken = {n: wakeups(p.pid) for n, p in procs.items()}
            t0 = time.monotonic()
            time.sleep(seconds)
            elapsed = time.monotonic() - t0
            after = {n: cpu_seconds(p.pid) for n, p in procs.items()}
            rows = []
            for n, p in procs.items():
                cpu = after[n] - before[n]
                rows.append((n, cpu, 100 * cpu / elapsed, status_kib(p.pid, "VmRSS") / 1024,
                             status_kib(p.pid, "VmHWM") / 1024,
                             (wakeups(p.pid) - woken[n]) / elapsed))
        finally:
            for p in procs.values():
                p.terminate()
            for p in procs.values():
                try:
                    p.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    p.kill()
    print(f"| program | CPU s in {elapsed:.0f} s | % of one core | wake-ups/s | resident MiB "
          "| peak resident MiB |")
    print("|---|---:|---:|---:|---:|---:|")
    for n, cpu, pct, rss, hwm, wake in rows:
        print(f"| {n} | {cpu:.3f} | {pct:.3f} | {wake:.1f} | {rss:.1f} | {hwm:.1f} |")
    w, r = rows
    print(f"\nwizard against reference: CPU {w[1] - r[1]:+.3f} s, resident {w[3] - r[3]:+.1f} MiB")


if __name__ == "__main__":
    main()
