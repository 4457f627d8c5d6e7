"""The harness itself: exit status, teardown on signals, the skip without privileges."""

import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", "..", ".."))
NETNS = os.path.join(ROOT, "scripts", "netns")


def namespaces(tag):
    listed = subprocess.run(["ip", "netns", "list"], capture_output=True, text=True).stdout
    return sorted(line.split()[0] for line in listed.splitlines()
                  if line.startswith(tag + "-"))


def wait_for(check, timeout=15):
    deadline = time.monotonic() + timeout
    while not check():
        if time.monotonic() > deadline:
            raise AssertionError("timed out")
        time.sleep(0.05)


class Harness(unittest.TestCase):
    def setUp(self):
        if os.geteuid() != 0:
            self.skipTest("needs root")

    def run_netns(self, *args, **kwargs):
        return subprocess.run([NETNS] + list(args), capture_output=True, text=True, timeout=60,
                              **kwargs)

    def test_exits_with_the_command_status(self):
        for status in (0, 5, 77):
            with self.subTest(status=status):
                result = self.run_netns("with", "none", "--", "sh", "-c", "exit %d" % status)
                self.assertEqual(result.returncode, status, result.stderr)

    def test_command_runs_in_the_pc_namespace_only(self):
        result = self.run_netns("with", "same", "--", "sh", "-c",
                                "ip -o -4 addr show dev $KELDA_PC_IF; ip route show default")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn("inet 192.168.77.2/24", result.stdout)
        self.assertIn("default via 192.168.77.1", result.stdout)
        result = self.run_netns("with", "same", "--no-default-route", "--", "ip", "route")
        self.assertNotIn("default", result.stdout)

    def test_signals_tear_everything_down(self):
        for number, status in ((signal.SIGTERM, 143), (signal.SIGINT, 130), (signal.SIGHUP, 129)):
            with self.subTest(signal=number):
                process = subprocess.Popen([NETNS, "with", "two", "--", "sleep", "60"],
                                           stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                           start_new_session=True)
                tag = "kelda-%d" % process.pid
                wait_for(lambda: len(namespaces(tag)) == 4 and self.sims(tag) == 2)
                # Ctrl-C reaches the whole process group; the others only the harness.
                if number == signal.SIGINT:
                    os.killpg(process.pid, number)
                else:
                    process.send_signal(number)
                self.assertEqual(process.wait(timeout=20), status)
                self.assertEqual(namespaces(tag), [])
                self.assertEqual(self.sims(tag), 0)
                process.stdout.close()
                process.stderr.close()

    def sims(self, tag):
        count = 0
        for pid in filter(str.isdigit, os.listdir("/proc")):
            try:
                with open("/proc/%s/cmdline" % pid, "rb") as handle:
                    command = handle.read()
            except OSError:
                continue
            if b"repeater-sim" in command and ("/%s." % tag).encode() in command:
                count += 1
        return count

    def test_skips_without_privileges(self):
        # A copy the unprivileged user can reach: a clone under /root is closed to it.
        with tempfile.TemporaryDirectory(prefix="kelda-netns-") as place:
            os.chmod(place, 0o755)
            script = os.path.join(place, "netns")
            shutil.copy(NETNS, script)
            result = subprocess.run(["setpriv", "--reuid=65534", "--regid=65534",
                                     "--clear-groups", script, "with", "same", "--", "true"],
                                    capture_output=True, text=True, timeout=60, cwd=place,
                                    env=dict(os.environ, KELDA_NETNS_LEDGER="/dev/null"))
        self.assertEqual(result.returncode, 77, result.stderr)
        self.assertIn("Skipping", result.stderr)

    def test_refuses_unknown_topologies_and_leaves_nothing(self):
        process = subprocess.Popen([NETNS, "with", "ring", "--", "true"],
                                   stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        _, errors = process.communicate(timeout=30)
        self.assertEqual(process.returncode, 1)
        self.assertIn("unknown topology: ring", errors)
        tag = "kelda-%d" % process.pid
        self.assertEqual(namespaces(tag), [])
        self.assertEqual([name for name in os.listdir(os.environ.get("TMPDIR", "/tmp"))
                          if name.startswith(tag + ".")], [], "the run directory is removed")

    def test_up_exec_down(self):
        result = self.run_netns("up", "same")
        self.assertEqual(result.returncode, 0, result.stderr)
        tag = result.stdout.split()[1].rstrip(":")
        try:
            self.assertEqual(len(namespaces(tag)), 3)
            inside = self.run_netns("exec", tag, "--", "sh", "-c", "echo $KELDA_DEV_IP")
            self.assertEqual(inside.stdout.strip(), "192.168.77.10")
        finally:
            down = self.run_netns("down", tag)
        self.assertEqual(down.returncode, 0, down.stderr)
        self.assertEqual(namespaces(tag), [])
        self.assertEqual(self.sims(tag), 0)


if __name__ == "__main__":
    unittest.main(verbosity=2, argv=[sys.argv[0]] + sys.argv[1:])
