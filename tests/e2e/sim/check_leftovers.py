#!/usr/bin/env python3
"""After the e2e suite: none of the namespaces, links or processes the harness made may remain.

    check_leftovers.py LEDGER      (LEDGER lists every namespace the suite's runs created)
"""

import json
import os
import subprocess
import sys

# Names the harness gives to the switch side of its links; they never belong in this namespace.
PORT_NAMES = {"pc0", "pc1", "d1", "d2", "cx0", "lan0", "lan1"}


def main(ledger):
    if os.geteuid() != 0:
        print("Skipping: not root, so the suite made no namespaces")
        return 77
    try:
        with open(ledger, encoding="utf-8") as handle:
            made = {line.strip() for line in handle if line.strip()}
    except FileNotFoundError:
        made = set()
    problems = []
    listed = subprocess.run(["ip", "netns", "list"], capture_output=True, text=True).stdout
    present = {line.split()[0] for line in listed.splitlines() if line.strip()}
    try:
        present |= set(os.listdir("/run/netns"))
    except FileNotFoundError:
        pass
    problems += ["namespace %s is still there" % name for name in sorted(made & present)]

    links = json.loads(subprocess.run(["ip", "-j", "link", "show"], capture_output=True,
                                      text=True, check=True).stdout)
    problems += ["link %s in the machine's namespace" % link["ifname"] for link in links
                 if link["ifname"] in PORT_NAMES or link["ifname"].startswith("kelda-")]

    run_tags = {name.rsplit("-", 1)[0] + "." for name in made}
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open("/proc/%s/cmdline" % pid, "rb") as handle:
                command = handle.read().replace(b"\0", b" ").decode("utf-8", "replace")
        except OSError:
            continue
        if "repeater-sim" in command and any("/" + tag in command for tag in run_tags):
            problems.append("process %s still runs: %s" % (pid, command[:120]))

    for problem in problems:
        print("LEFTOVER: " + problem)
    print("checked %d namespaces made by this suite: %s" % (
        len(made), "%d leftovers" % len(problems) if problems else "nothing left"))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
