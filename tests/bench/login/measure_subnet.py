"""Connect to a device on the PC's own subnet against one on another subnet, same run.

usage: measure_subnet.py NETNS BENCH_LOGIN ROUNDS

Each round runs bench_login once in a fresh "scripts/netns with same" and once in a fresh
"scripts/netns with other" (alternating which goes first): one Connect, from the press to the
summary, pressed 20 ms after a tick of the queue timer in both. On "other" that connect adds
the temporary address; on "same" it adds none. Prints every run, the medians and how far
apart they are; the target is at most 1.5 s.
"""

import re
import statistics
import subprocess
import sys

TARGET_MS = 1500
ROW = re.compile(r"^\| 1 \| (\d+) \| (\d+) \| (\d+) \| (\d+) \| (\d+) \| (\d+) \| (-?\d+) \|$")


def run_once(netns, bench, topology):
    result = subprocess.run([netns, "with", topology, "--", bench, "1"], capture_output=True,
                            text=True, timeout=300)
    if result.returncode == 77:
        sys.exit(77)
    for line in result.stdout.splitlines():
        found = ROW.match(line.strip())
        if found:
            return int(found.group(1)), int(found.group(7))
    sys.stderr.write(result.stdout + result.stderr)
    raise RuntimeError("no figures from bench_login on %s" % topology)


def main():
    netns, bench, rounds = sys.argv[1], sys.argv[2], int(sys.argv[3])
    runs = {"same": [], "other": []}
    print("| round | PC | Connect to summary ms | above the timers' floor ms |")
    print("|---:|---|---:|---:|")
    for number in range(1, rounds + 1):
        for topology in (["same", "other"] if number % 2 else ["other", "same"]):
            total, above = run_once(netns, bench, topology)
            runs[topology].append((total, above))
            print("| %d | %s | %d | %d |" % (number, topology, total, above))
    same = statistics.median(t for t, _ in runs["same"])
    other = statistics.median(t for t, _ in runs["other"])
    apart = other - same
    print()
    print("device on the PC's subnet: median %d ms; on another subnet: median %d ms"
          % (same, other))
    print("%s another subnet takes %+d ms (target at most %d)"
          % ("ok:  " if apart <= TARGET_MS else "FAIL:", apart, TARGET_MS))
    return 0 if apart <= TARGET_MS else 1


if __name__ == "__main__":
    sys.exit(main())
