"""Runs the session driver inside the PC namespace of scripts/netns and checks what the web
session did: results, timings, the PC's addresses, what the simulated repeater received.

usage: check_session.py MODE DRIVER HELPER
"""

import atexit
import json
import os
import pwd
import queue
import shutil
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "sim"))
from simtest import Device, wait_until  # noqa: E402

FAILURES = []
PAGE = "/02_02_02_homenet.asp"


def check(condition, what):
    print(("ok:   " if condition else "FAIL: ") + what)
    if not condition:
        FAILURES.append(what)


class Driver:
    """One run of the driver; its events as they come."""

    running = []

    def __init__(self, driver, args, prefix=(), uid=None):
        self.home = scratch(prefix="kelda-session-")
        self.out = os.path.join(self.home, "out")
        if uid is not None:
            os.chown(self.home, uid, uid)
        env = dict(os.environ, HOME=self.home, QT_QPA_PLATFORM="offscreen")
        self.process = subprocess.Popen(list(prefix) + [driver, "--out", self.out] + list(args),
                                        stdout=subprocess.PIPE, text=True, env=env)
        Driver.running.append(self.process)
        self.events = []
        self._lines = queue.Queue()
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.process.stdout:
            self._lines.put(line)
        self._lines.put(None)

    def next_event(self, timeout):
        """The next event; None once the driver has ended."""
        try:
            line = self._lines.get(timeout=timeout)
        except queue.Empty:
            raise AssertionError("no event from the driver within %d s" % timeout)
        if line is None:
            self._lines.put(None)
            return None
        event = json.loads(line)
        self.events.append(event)
        print("driver:", line.strip()[:300])
        return event

    def wait_for(self, kind, timeout):
        deadline = time.monotonic() + timeout
        while True:
            event = self.next_event(max(1, deadline - time.monotonic()))
            if event is None:
                raise AssertionError("driver ended before %s" % kind)
            if event["event"] == kind:
                return event

    def finish(self, timeout=100):
        deadline = time.monotonic() + timeout
        while self.next_event(max(1, deadline - time.monotonic())) is not None:
            pass
        return self.process.wait(timeout=10)

    def results(self):
        return [e for e in self.events if e["event"] == "result"]

    def states(self, index):
        return [e for e in self.events if e["event"] == "state" and e["index"] == index]

    def log(self):
        try:
            with open(os.path.join(self.home, "breviklog.txt"), "rb") as handle:
                return handle.read().decode("latin-1")
        except FileNotFoundError:
            return ""

    def helper_pid(self):
        path = "/proc/%d/task/%d/children" % (self.process.pid, self.process.pid)
        with open(path) as handle:
            children = handle.read().split()
        return int(children[0]) if children else None


TEMPORARY = []


def scratch(prefix):
    path = tempfile.mkdtemp(prefix=prefix)
    TEMPORARY.append(path)
    return path


@atexit.register
def _clean_up():
    _stop_drivers()
    for path in TEMPORARY:
        shutil.rmtree(path, ignore_errors=True)


def _stop_drivers():
    # A failed check must not leave a driver behind in the namespace.
    for process in Driver.running:
        if process.poll() is None:
            process.kill()
            process.wait(10)


def candidates_on_pc():
    """Every address .241 to .247 on the PC: (interface, address, valid lifetime)."""
    shown = json.loads(subprocess.run(["ip", "-j", "-4", "addr", "show"], capture_output=True,
                                      text=True, check=True).stdout)
    found = []
    for link in shown:
        for info in link.get("addr_info", []):
            last = int(info["local"].split(".")[-1])
            if 241 <= last <= 247:
                found.append((link["ifname"], "%s/%d" % (info["local"], info["prefixlen"]),
                              info.get("valid_life_time")))
    return found


def ended(pid):
    try:
        with open("/proc/%d/stat" % pid) as handle:
            return handle.read().split()[2] == "Z"
    except FileNotFoundError:
        return True


def tcp_sources(device):
    return [r.source.split(":")[0] for r in device.records("tcp")]


def expect_results(driver, codes):
    got = [r["result"] for r in driver.results()]
    check(got == codes, "results %s (got %s)" % (codes, got))


# --- modes ---------------------------------------------------------------------------------

def mode_same(driver_path, _helper):
    device = Device()
    run = Driver(driver_path, ["--get", PAGE, "--get", "/02_02_01_int.asp"])
    check(run.finish() == 0, "driver ends normally")
    expect_results(run, [4, 4])
    check(all(r["head"].startswith("HTTP/1.1 200") for r in run.results()), "both answered 200")
    check(run.states(0)[0]["state"] == 0, "the first command prepares the route")
    check(run.states(1) and run.states(1)[0]["state"] == 1,
          "the command behind it starts at state 1")
    log = run.log()
    check(log.count("PrepareRoute strAPIP=%s result=\r\n" % device.ip) == 1,
          "one preparation, answering empty")
    check("AddIPAddress" not in log and not candidates_on_pc(), "no address added")
    check(tcp_sources(device) == [os.environ["KELDA_PC_IP"]] * 2, "requests from the PC's address")


def hold_other(driver_path, lifetime=60, expect=".241"):
    device = Device()
    run = Driver(driver_path, ["--get", PAGE, "--hold", "--lifetime", str(lifetime)])
    run.wait_for("holding", 80)
    expect_results(run, [4])
    pc_if = os.environ["KELDA_PC_IF"]
    wanted = "192.168.77%s/24" % expect
    present = candidates_on_pc()
    check([(i, a) for i, a, _ in present] == [(pc_if, wanted)],
          "%s on %s and nothing else (%s)" % (wanted, pc_if, present))
    check(all(isinstance(v, int) and 0 < v <= lifetime for _, _, v in present),
          "a finite lifetime of at most %d s" % lifetime)
    check(tcp_sources(device) == [wanted.split("/")[0]], "the device saw the request from it")
    return run


def mode_narrower_subnet(driver_path, _helper):
    # The PC's only address is in a /16 that holds the device's /24 without reaching it.
    pc_if = os.environ["KELDA_PC_IF"]
    subprocess.run(["ip", "addr", "flush", "dev", pc_if], check=True)
    subprocess.run(["ip", "addr", "add", "192.168.200.2/16", "dev", pc_if], check=True)
    run = hold_other(driver_path)
    check(run.results()[0]["local_ip"] == "192.168.77.241", "the socket is bound to it")
    run.process.send_signal(signal.SIGTERM)
    check(run.finish(30) == 0, "driver ends normally")
    check(not candidates_on_pc(), "address gone")


def capabilities(pid):
    with open("/proc/%d/status" % pid) as handle:
        for line in handle:
            if line.startswith("CapEff:"):
                return int(line.split()[1], 16)
    return None


def process_status(pid):
    """/proc/PID/status as a dict of its fields."""
    fields = {}
    with open("/proc/%d/status" % pid) as handle:
        for line in handle:
            key, _, value = line.partition(":")
            fields[key] = value.strip()
    return fields


def as_user(uid):
    return ["setpriv", "--reuid=%d" % uid, "--regid=%d" % uid, "--clear-groups",
            "--inh-caps=-all"]


def helper_over_stdin(command, preexec=None):
    """Starts command with one end of a socket pair as its standard input; our end."""
    ours, theirs = socket.socketpair(socket.AF_UNIX, socket.SOCK_SEQPACKET)
    process = subprocess.Popen(command, stdin=theirs, stderr=subprocess.PIPE,
                               preexec_fn=preexec)
    theirs.close()
    return ours, process


def exchange(ours, op, ifindex=0, address="0.0.0.0", source="0.0.0.0", prefix=0, context=0,
             value=0, sequence=1, device="192.168.77.10"):
    ip, src, dev = (struct.unpack("=I", socket.inet_aton(a))[0]
                    for a in (address, source, device))
    ours.send(REQUEST.pack(op, 2, ifindex, ip, src, prefix, context, value, sequence, dev))
    error, context, _, _, _, message, answered_sequence = REPLY.unpack(ours.recv(1024))
    return error, context, message.split(b"\0", 1)[0].decode(), answered_sequence


class PrivatePolkit:
    """polkitd on a private system bus, in this process's own mount namespace: private
    folders are mounted over the bus's, the actions' and the rules' folders."""

    def __init__(self, policy):
        self.root = scratch(prefix="kelda-polkit-")
        os.chmod(self.root, 0o755)
        self.pids = []
        actions = os.path.join(self.root, "actions")
        shutil.copytree("/usr/share/polkit-1/actions", actions)
        shutil.copy(policy, actions)
        self.rules = os.path.join(self.root, "rules")
        bus = os.path.join(self.root, "dbus")
        os.mkdir(self.rules, 0o700)
        os.mkdir(bus, 0o755)
        polkitd = pwd.getpwnam("polkitd")
        os.chown(self.rules, polkitd.pw_uid, 0)
        for private, public in ((bus, "/run/dbus"), (actions, "/usr/share/polkit-1/actions"),
                                (self.rules, "/etc/polkit-1/rules.d")):
            subprocess.run(["mount", "--bind", private, public], check=True)
        started = subprocess.run(["dbus-daemon", "--system", "--fork", "--print-pid"],
                                 capture_output=True, text=True, check=True)
        self.pids.append(int(started.stdout.split()[0]))
        self.polkitd = None
        self.restart()

    def allow(self, user):
        with open(os.path.join(self.rules, "50-kelda-test.rules"), "w") as handle:
            handle.write('polkit.addRule(function(action, subject) {\n'
                         '    if (action.id == "%s" && subject.user == "%s")\n'
                         '        return polkit.Result.YES;\n'
                         '});\n' % (POLKIT_ACTION, user))
        os.chmod(os.path.join(self.rules, "50-kelda-test.rules"), 0o644)
        # A fresh daemon reads the rule for certain; a reload would come at its own time.
        self.restart()

    def restart(self):
        if self.polkitd:
            self.polkitd.terminate()
            self.polkitd.wait(10)
            self.pids.remove(self.polkitd.pid)
        self.polkitd = subprocess.Popen(["/usr/lib/polkit-1/polkitd", "--no-debug"],
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.pids.append(self.polkitd.pid)
        ask = ["dbus-send", "--system", "--print-reply", "--dest=org.freedesktop.DBus",
               "/org/freedesktop/DBus", "org.freedesktop.DBus.NameHasOwner",
               "string:org.freedesktop.PolicyKit1"]
        wait_until(lambda: "true" in subprocess.run(ask, capture_output=True, text=True).stdout,
                   10, what="polkitd on the private bus")

    def stop(self):
        for pid in reversed(self.pids):
            try:
                os.kill(pid, signal.SIGTERM)
            except ProcessLookupError:
                pass
        if self.polkitd:
            self.polkitd.wait(10)
        self.pids = []


POLKIT_ACTION = "org.kelda.support-utility.netconfig"


def mode_polkit_user(driver_path, helper_path):
    # Everything mounted here stays in a mount namespace of our own.
    os.execvp("unshare", ["unshare", "-m", "--propagation", "private", sys.executable,
                          os.path.abspath(__file__), "polkit-user-inside", driver_path,
                          helper_path])


def mode_polkit_user_inside(driver_path, helper_path):
    nobody = pwd.getpwnam("nobody").pw_uid
    try:
        capability = os.getxattr(helper_path, "security.capability")
    except OSError:
        capability = None
    check(capability is None, "the helper carries no file capabilities")

    # Started by an ordinary user itself, the helper refuses every request.
    ours, helper = helper_over_stdin([helper_path], lambda: os.setresuid(nobody, nobody, nobody))
    eth = socket.if_nametoindex(os.environ["KELDA_PC_IF"])
    error, _, message, _ = exchange(ours, 1)
    check(error != 0 and "lacks CAP_NET_ADMIN" in message, "hello as a user: " + message)
    error, _, message, _ = exchange(ours, 2, eth, "192.168.77.241", prefix=24, value=60)
    check(error != 0, "adding refused as a user: " + message)
    ours.close()
    helper.wait(10)
    check(not candidates_on_pc(), "nothing added")

    polkit = PrivatePolkit(os.environ["KELDA_TEST_POLICY"])
    try:
        polkit_runs(driver_path, helper_path, nobody, polkit)
    finally:
        polkit.stop()


def polkit_runs(driver_path, helper_path, user, polkit):
    # pkexec by hand, without a rule that allows it: no agent answers, so it is refused.
    ours, pkexec = helper_over_stdin(as_user(user) + ["pkexec", "--disable-internal-agent",
                                                      helper_path])
    ours.close()
    said = pkexec.stderr.read().decode(errors="replace")
    check(pkexec.wait(30) in (126, 127) and "Not authorized" in said,
          "pkexec as an ordinary user is refused (%s)" % said.strip()[:100])

    device = Device()
    pc_if = os.environ["KELDA_PC_IF"]
    args = ["--get", PAGE, "--helper", helper_path]

    # The device on the PC's own subnet: connected without asking anyone.
    subprocess.run(["ip", "addr", "add", "192.168.77.5/24", "dev", pc_if], check=True)
    run = Driver(driver_path, args, as_user(user), user)
    check(run.finish() == 0, "same subnet: driver ends normally")
    expect_results(run, [4])
    check("authorization" not in run.log() and "pkexec" not in run.log(),
          "same subnet: no authorization asked for")
    subprocess.run(["ip", "addr", "del", "192.168.77.5/24", "dev", pc_if], check=True)

    # Another subnet, not authorized: ERROR, and the log says why.
    run = Driver(driver_path, args, as_user(user), user)
    check(run.finish() == 0, "not authorized: driver ends normally")
    expect_results(run, [7])
    check(run.results() and run.results()[0]["local_ip"] == "ERROR", "the preparation says ERROR")
    check("administrator authorization was not given" in run.log(),
          "the log says why: %s" % [l for l in run.log().splitlines() if "AddIP" in l][:1])
    check(not candidates_on_pc() and len(device.records("tcp")) == 1,
          "nothing added, nothing sent")

    # With a rule that allows the user: the whole connect, through pkexec.
    polkit.allow(pwd.getpwuid(user).pw_name)
    run = Driver(driver_path, args + ["--hold", "--lifetime", "60"], as_user(user), user)
    run.wait_for("holding", 80)
    expect_results(run, [4])
    check([(i, a) for i, a, _ in candidates_on_pc()] == [(pc_if, "192.168.77.241/24")],
          "192.168.77.241 added on %s" % pc_if)
    check(tcp_sources(device)[1:] == ["192.168.77.241"], "the device saw the request from it")
    helper = run.helper_pid()
    check(capabilities(run.process.pid) == 0, "the wizard holds no capabilities")
    status = process_status(helper)
    check(status.get("Name") == "kelda-netconfig", "the helper runs (%s)" % status.get("Name"))
    net = "%016x" % ((1 << 12) | (1 << 13))
    sets = [status.get(k) for k in ("CapEff", "CapPrm", "CapInh", "CapBnd", "CapAmb")]
    check(sets == [net, net, "0" * 16, "0" * 16, "0" * 16],
          "CAP_NET_ADMIN and CAP_NET_RAW only, an empty bounding set (%s)" % sets)
    check(all(u != "0" for u in status["Uid"].split() + status["Gid"].split())
          and not status.get("Groups"), "pkexec's root gave way to an unprivileged user")
    check(status.get("NoNewPrivs") == "1" and status.get("Seccomp") == "2",
          "no_new_privs and a system-call filter")
    # The helper serves this one wizard: killed, the wizard takes the address with it.
    run.process.kill()
    run.process.wait(10)
    wait_until(lambda: not candidates_on_pc(), 5, what="the helper to remove the address")
    wait_until(lambda: ended(helper), 5, what="the helper to end")
    check(True, "the helper removed the address and ended with its wizard")


def mode_wizard_sigterm(_driver, helper_path):
    wizard = os.environ["KELDA_WIZARD"]
    home = scratch(prefix="kelda-wizard-")
    os.makedirs(os.path.join(home, "run"), mode=0o700)
    env = dict(os.environ, HOME=home, XDG_RUNTIME_DIR=os.path.join(home, "run"),
               QT_QPA_PLATFORM="offscreen")
    process = subprocess.Popen([wizard], env=env)
    Driver.running.append(process)

    def helper_child():
        path = "/proc/%d/task/%d/children" % (process.pid, process.pid)
        with open(path) as handle:
            for pid in handle.read().split():
                with open("/proc/%s/cmdline" % pid, "rb") as cmdline:
                    if os.path.basename(cmdline.read().split(b"\0")[0]) == os.path.basename(
                            helper_path.encode()):
                        return int(pid)
        return None

    helper = wait_until(helper_child, 10, what="the wizard to start its helper")
    check(bool(helper), "the wizard starts its helper at start-up")
    process.send_signal(signal.SIGTERM)
    check(process.wait(15) == 0, "SIGTERM ends the wizard with status 0")
    wait_until(lambda: ended(helper), 5, what="the helper to end")
    with open(os.path.join(home, "breviklog.txt"), "rb") as handle:
        check(b"Signal 15: closing" in handle.read(), "the log says why it closed")


def mode_other_release(driver_path, _helper):
    device = Device()
    run = Driver(driver_path, ["--get", PAGE])
    check(run.finish() == 0, "driver ends normally")
    expect_results(run, [4])
    check(tcp_sources(device) == ["192.168.77.241"], "request from 192.168.77.241")
    check(not candidates_on_pc(), "address gone after the release")


def kernel_tables():
    """The PC's IPv4 addresses and the routes of every table, as comparable tuples."""
    def shown(*args):
        return json.loads(subprocess.run(["ip", "-j", "-4"] + list(args), capture_output=True,
                                         text=True, check=True).stdout)
    entries = set()
    for link in shown("addr", "show"):
        for info in link.get("addr_info", []):
            entries.add(("address", link["ifname"], "%s/%d" % (info["local"], info["prefixlen"])))
    for route in shown("route", "show", "table", "all"):
        entries.add(("route", route.get("table", "main"), route.get("type", "unicast"),
                     route["dst"], route.get("dev"), route.get("prefsrc")))
    return entries


def mode_other_sigterm(driver_path, _helper):
    # What the README promises the PC gains while connected, read from the kernel.
    before = kernel_tables()
    run = hold_other(driver_path)
    pc_if = os.environ["KELDA_PC_IF"]
    ours = "192.168.77.241"
    gained = kernel_tables() - before
    check(gained == {("address", pc_if, ours + "/24"),
                     ("route", "main", "unicast", "192.168.77.10", pc_if, ours),
                     ("route", "local", "local", ours, pc_if, ours),
                     ("route", "local", "broadcast", "192.168.77.255", pc_if, ours)},
          "the PC gains the address, a route to the device and the kernel's two local entries "
          "(%s)" % sorted(gained))
    check(not before - kernel_tables(), "and loses nothing")
    run.process.send_signal(signal.SIGTERM)
    check(run.finish(30) == 0, "SIGTERM ends the driver like a normal close")
    check(not candidates_on_pc(), "address gone after SIGTERM")
    check(kernel_tables() == before, "the tables are as they were")
    check("Signal 15: closing" in run.log(), "the log says why it closed")


def mode_other_sigkill(driver_path, _helper):
    run = hold_other(driver_path)
    helper = run.helper_pid()
    run.process.kill()
    run.process.wait(10)
    wait_until(lambda: not candidates_on_pc(), 5, what="the helper to remove the address")
    check(not candidates_on_pc(), "address gone after SIGKILL of the wizard")
    wait_until(lambda: ended(helper), 5, what="the helper to end")


def mode_other_sigkill_both(driver_path, _helper):
    lifetime = 12
    run = hold_other(driver_path, lifetime)
    helper = run.helper_pid()
    os.kill(helper, signal.SIGKILL)
    run.process.kill()
    run.process.wait(10)
    killed = time.monotonic()
    check(bool(candidates_on_pc()), "the address outlives both processes at first")
    wait_until(lambda: not candidates_on_pc(), lifetime + 5, what="the kernel to expire it")
    check(time.monotonic() - killed <= lifetime + 3, "gone within its lifetime")


def mode_conflict(driver_path, _helper):
    run = hold_other(driver_path, expect=".242")
    check("192.168.77.241 is used by" in run.log(), "the log names the taken candidate")
    run.process.send_signal(signal.SIGTERM)
    run.finish(30)
    check(not candidates_on_pc(), "address gone")


def mode_two_adapters(driver_path, _helper):
    device = Device()
    run = Driver(driver_path, ["--get", PAGE, "--hold"])
    run.wait_for("holding", 120)
    expect_results(run, [4])
    present = [(i, a) for i, a, _ in candidates_on_pc()]
    check(present == [(os.environ["KELDA_PC_IF2"], "192.168.77.241/24")],
          "the address moved to the adapter the device is on (%s)" % present)
    check(tcp_sources(device) == ["192.168.77.241"], "request from 192.168.77.241")
    run.process.send_signal(signal.SIGTERM)
    run.finish(30)
    check(not candidates_on_pc(), "address gone")


def mode_no_device(driver_path, _helper):
    device = Device()
    device.ctl("power-off")
    run = Driver(driver_path, ["--get", PAGE, "--get", "/02_02_01_int.asp"])
    first = run.wait_for("result", 120)
    check(first["result"] == 7 and first["local_ip"] == "ERROR", "unreachable: 7, ERROR")
    check(not candidates_on_pc(), "the candidate was deleted again")
    second = run.wait_for("result", 30)
    check(second["result"] == 5, "the command behind it times out (5)")
    waited = second["t"] - first["t"]
    check(10.0 <= waited <= 13.0, "after its 10 s connect time-out (%.1f s)" % waited)
    run.finish()
    check("ARP 192.168.77.10 from 192.168.77.241 failed" in run.log(), "the log says why")


def mode_keep_alive(driver_path, _helper):
    run = Driver(driver_path, ["--get", PAGE])
    run.finish()
    expect_results(run, [5])
    receiving = [e for e in run.states(0) if e["state"] == 3]
    result = run.results()[0]
    check(bool(receiving), "the response started arriving")
    if receiving:
        waited = result["t"] - receiving[0]["t"]
        check(18.0 <= waited <= 20.5, "timed out about 18 s after the send (%.1f s)" % waited)
    check(result["head"].startswith("HTTP/1.1 200") and result["length"] > 100,
          "the partial response is kept")


def mode_reset(driver_path, _helper):
    run = Driver(driver_path, ["--get", PAGE])
    run.finish()
    expect_results(run, [6])


def mode_upload(driver_path, _helper):
    device = Device()
    image = os.path.join(scratch(prefix="kelda-fw-"), "fw.bin")
    subprocess.run([os.environ["KELDA_MAKE_FIRMWARE"], "--size", str(20 * 1024 * 1024), image],
                   check=True)
    with open(image, "rb") as handle:
        content = handle.read()
    run = Driver(driver_path, ["--upload", image])
    check(run.finish(200) == 0, "driver ends normally")
    expect_results(run, [4])
    with open(os.path.join(run.out, "request-0.txt"), "rb") as handle:
        request = handle.read()
    placeholder = b"?" * len(content)
    expected = request.replace(placeholder, content, 1)
    records = device.records("tcp")
    check(len(records) == 1, "one connection")
    got = records[0].data if records else b""
    check(len(got) == len(expected), "all %d bytes arrived (%d)" % (len(expected), len(got)))
    check(got == expected, "byte-exact, file spliced in place of its placeholder")
    check("HTML Upload..." in run.log(), "logged as an upload, not as text")


def mode_late_answer(driver_path, helper_path):
    # A go-between in front of the real helper holds its first answer to a neighbour flush
    # back for longer than the wizard waits; the preparation goes on and connects.
    record = os.path.join(scratch(prefix="kelda-late-"), "record")
    os.environ.update(KELDA_REAL_HELPER=helper_path, KELDA_LATE_RECORD=record)
    device = Device()
    run = Driver(driver_path, ["--get", PAGE, "--hold", "--helper",
                               os.path.join(HERE, "late_helper.py")])
    run.wait_for("holding", 80)
    expect_results(run, [4])
    check(tcp_sources(device) == ["192.168.77.241"], "the device saw the request from .241")
    check("failed" not in run.log(), "no step of the preparation failed")

    def events():
        with open(record) as handle:
            return handle.read().split()

    wait_until(lambda: "late" in events(), 10, what="the late answer")
    seen = events()
    between = seen[seen.index("held"):seen.index("late")]
    check("request" in between, "the wizard went on asking while an answer was outstanding (%s)"
          % seen)
    # The release's delete meets the late answer first: it must not be taken for its own.
    run.process.send_signal(signal.SIGTERM)
    check(run.finish(30) == 0, "driver ends normally")
    check(not candidates_on_pc(), "address gone")


def mode_no_privilege(driver_path, _helper, no_helper=False):
    device = Device()
    prefix = ["setpriv", "--bounding-set=-net_admin,-net_raw", "--inh-caps=-net_admin,-net_raw"]
    args = ["--get", PAGE] + (["--no-helper"] if no_helper else [])
    run = Driver(driver_path, args, prefix)
    check(run.finish() == 0, "no crash")
    expect_results(run, [7])
    check(not candidates_on_pc(), "no address added")
    log = run.log()
    reason = "was not found" if no_helper else "lacks CAP_NET_ADMIN"
    check(reason in log, "the log says why: %s" % reason)
    check(not device.records("tcp"), "nothing sent")


def mode_no_helper(driver_path, helper):
    mode_no_privilege(driver_path, helper, no_helper=True)


def mode_same_no_privilege(driver_path, _helper):
    prefix = ["setpriv", "--bounding-set=-net_admin,-net_raw", "--inh-caps=-net_admin,-net_raw"]
    run = Driver(driver_path, ["--get", PAGE], prefix)
    check(run.finish() == 0, "driver ends normally")
    expect_results(run, [4])
    check("lacks CAP_NET_ADMIN" in run.log(), "the log says the helper is not usable")


# The helper's wire format, written out here independently of the C++ headers.
REQUEST = struct.Struct("=10I")
REPLY = struct.Struct("=iII8sI200sI")


def mode_helper_policy(_driver, helper_path):
    ours, helper = helper_over_stdin([helper_path])
    eth = socket.if_nametoindex(os.environ["KELDA_PC_IF"])
    sequence = [0]

    def ask(op, *args, **kwargs):
        sequence[0] += 1
        error, context, message, answered = exchange(ours, op, *args, sequence=sequence[0],
                                                     **kwargs)
        check(answered == sequence[0], "the answer carries request %d's number" % sequence[0])
        return error, context, message

    check(ask(1)[0] == 0, "hello: privileged")
    for address in ("192.168.77.240", "192.168.77.248", "192.168.77.10"):
        error, _, message = ask(2, eth, address, prefix=24, value=60)
        check(error != 0 and ".241 to .247" in message, "refuses %s: %s" % (address, message))
    error, _, message = ask(2, socket.if_nametoindex("lo"), "192.168.77.241", prefix=24, value=60)
    check(error != 0 and "neither Ethernet" in message, "refuses the loopback: " + message)
    error, _, message = ask(2, eth, "192.168.77.241", prefix=32, value=60)
    check(error != 0, "refuses a /32: " + message)
    for device in ("10.0.0.5", "192.168.77.0", "192.168.77.241"):
        error, _, message = ask(2, eth, "192.168.77.241", prefix=24, value=60, device=device)
        check(error != 0 and "refused a route" in message,
              "refuses a route to %s: %s" % (device, message))
    # Only inside a private network, whatever the discovery reply claimed.
    for address, prefix, device, why in (("192.168.77.241", 8, "192.168.77.10", "reaches beyond"),
                                         ("8.8.8.241", 8, "8.8.8.8", "not a private network")):
        error, _, message = ask(2, eth, address, prefix=prefix, value=60, device=device)
        check(error != 0 and why in message, "refuses %s/%d: %s" % (address, prefix, message))
    routes = subprocess.check_output(["ip", "-4", "route", "show"], text=True).splitlines()
    error, context, _ = ask(2, eth, "192.168.77.241", prefix=16, value=60)
    check(error == 0 and context != 0, "adds 192.168.77.241/16")
    check([a for _, a, _ in candidates_on_pc()] == ["192.168.77.241/16"], "it is there")
    gained = [r for r in subprocess.check_output(["ip", "-4", "route", "show"],
                                                 text=True).splitlines() if r not in routes]
    check(len(gained) == 1 and gained[0].startswith("192.168.77.10 dev ")
          and "src 192.168.77.241" in gained[0],
          "the wide mask routes the device alone: %s" % gained)
    error, _, message = ask(3, context=context + 7)
    check(error != 0 and "not an address this helper added" in message,
          "refuses to delete what it did not add")
    error, _, message = ask(4, eth, "192.168.77.10", source="192.168.77.99", value=500)
    check(error != 0 and "is not an address of" in message, "refuses a foreign ARP source")
    error, _, message = ask(5, eth, "192.168.77.10", value=500)
    check(error != 0 and "not a candidate" in message, "probes only candidates")
    for stdin in (subprocess.DEVNULL, socket.socketpair(socket.AF_UNIX, socket.SOCK_STREAM)[1]):
        refused = subprocess.run([helper_path], stdin=stdin, capture_output=True, text=True)
        check(refused.returncode == 2 and "only the Kelda Support Utility" in refused.stderr,
              "refuses to run on any other standard input")
    ours.send(b"short")
    check(REPLY.unpack(ours.recv(1024))[0] != 0, "refuses a malformed request")
    refusals = [ask(6, eth)[2] for _ in range(60)]
    busy = [m for m in refusals if "too many" in m]
    check(len(busy) >= 15 and not any("too many" in m for m in refusals[:38]),
          "flushes are limited in rate (%d of 60 refused)" % len(busy))
    ours.close()
    check(helper.wait(10) == 0, "ends when its socket closes")
    check(not candidates_on_pc(), "and removes what it added")


def main():
    mode, driver, helper = sys.argv[1], sys.argv[2], sys.argv[3]
    handler = globals().get("mode_" + mode.replace("-", "_"))
    if not handler:
        raise SystemExit("unknown mode " + mode)
    try:
        handler(driver, helper)
    except AssertionError as error:
        FAILURES.append(str(error))
        print("FAIL:", error)
    if FAILURES:
        print("%d check(s) failed" % len(FAILURES))
        return 1
    return 0


sys.exit(main())
