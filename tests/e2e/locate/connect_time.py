"""Connect on another subnet through the adapter that heard the device, on PCs whose adapter
lists differ, against the PC with the device's adapter alone in the same run.

usage: connect_time.py NETNS LOCATE_E2E [--repeat N] [--limit-ms MS] TOPOLOGY...
Each run is locate_e2e connectThroughTheAdapterThatHeardIt inside a fresh "scripts/netns with
TOPOLOGY"; the baseline is the topology "other". Prints one line per run and the median per
topology; fails when a topology's median exceeds the baseline's by more than the limit.
"""

import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time


def run(netns, test, topology):
    with tempfile.NamedTemporaryFile(prefix="kelda-connect-", delete=False) as out:
        path = out.name
    try:
        env = dict(os.environ, KELDA_CONNECT_TIME_FILE=path)
        started = time.monotonic()
        result = subprocess.run([netns, "with", topology, "--", test,
                                 "connectThroughTheAdapterThatHeardIt"], env=env,
                                stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        status = result.returncode
        if status == 77:
            sys.exit(77)
        with open(path) as times:
            written = times.read().strip()
        if status != 0 or not written:
            print(result.stdout)
            print("FAIL: %s run ended with %d" % (topology, status))
            return None
        for line in result.stdout.splitlines():
            if "added during the connect" in line or "Connect took" in line:
                print("  " + line.strip())
        print("%s: connect %s ms (whole run %.1f s)" % (topology, written,
                                                       time.monotonic() - started))
        return int(written)
    finally:
        os.unlink(path)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("netns")
    parser.add_argument("test")
    parser.add_argument("topologies", nargs="+")
    parser.add_argument("--repeat", type=int, default=1)
    parser.add_argument("--limit-ms", type=int, default=3000)
    args = parser.parse_args()
    medians = {}
    for _ in range(args.repeat):
        for topology in ["other"] + args.topologies:
            ms = run(args.netns, args.test, topology)
            if ms is None:
                return 1
            medians.setdefault(topology, []).append(ms)
    baseline = statistics.median(medians.pop("other"))
    print("one adapter (other): median %d ms" % baseline)
    failed = False
    for topology, times in medians.items():
        median = statistics.median(times)
        late = median - baseline
        ok = late <= args.limit_ms
        failed |= not ok
        print("%s %s: median %d ms, %+d ms against one adapter (limit %d)"
              % ("ok:  " if ok else "FAIL:", topology, median, late, args.limit_ms))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
