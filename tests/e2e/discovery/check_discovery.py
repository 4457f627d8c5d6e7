#!/usr/bin/env python3
"""End-to-end checks of discovery, run by scripts/netns inside the PC namespace.

    check_discovery.py SCENARIO DRIVER

DRIVER is the discovery_driver program; it speaks one command a line (scan, list, wait MS, quit)
and answers each with a JSON line. The simulated devices' records show what reached them.
"""

import json
import os
import select
import socket
import subprocess
import sys
import time

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "tools", "repeater-sim"))

from repeatersim.record import read_records  # noqa: E402

# Written out here rather than taken from the program, so that both cannot share one mistake.
QUERY = bytes.fromhex("ffffffffffff 42524556494b 00a0ff5f")
PORT = 13379
SCAN_MS = (2400, 4200)      # three sends 900 ms apart, the job's end 900 ms after the last
GAP_S = (0.75, 1.25)

failures = []
passes = []


def check(condition, what):
    print("%s: %s" % ("ok" if condition else "FAILED", what), flush=True)
    (passes if condition else failures).append(what)
    return condition


class Device:
    def __init__(self, number):
        prefix = "KELDA_DEV%d_" % number
        self.number = number
        self.ip = os.environ[prefix + "IP"]
        self.mac = os.environ[prefix + "MAC"]
        self.user = os.environ[prefix + "USER"]
        self.password = os.environ[prefix + "PASSWORD"]
        self.namespace = os.environ[prefix + "NS"]
        self.control = os.environ[prefix + "CONTROL"]
        self.record = os.environ[prefix + "RECORD"]

    def mac_key(self):
        digits = self.mac.upper()
        return ":".join(digits[i:i + 2] for i in range(0, 12, 2))

    def queries(self):
        return [r for r in read_records(self.record) if r.kind == "udp"]

    def ctl(self, *words):
        result = subprocess.run([os.environ["KELDA_SIM_CTL"], self.control] + list(words),
                                capture_output=True, text=True, timeout=15)
        if result.returncode != 0:
            raise RuntimeError("control %s: %s %s" % (words, result.stdout, result.stderr))

    def inject(self, *datagrams):
        """Sends datagrams to the PC's discovery port from inside this device's namespace."""
        script = ("import socket, sys\n"
                  "s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)\n"
                  "for h in sys.argv[2:]:\n"
                  "    s.sendto(bytes.fromhex(h), (sys.argv[1], %d))\n" % PORT)
        subprocess.run(["ip", "netns", "exec", self.namespace, "python3", "-c", script,
                        os.environ["KELDA_PC_IP"]] + [d.hex() for d in datagrams],
                       check=True, timeout=15)


def reply(mac=b"0a0b0c0d0e0f", model=b"QZ-8061Tr", ip=b"192.168.77.50", mask=b"255.255.255.0",
          user=b"admin", password=b"pw", size=424, fill=0):
    data = bytearray([fill]) * size
    for offset, text in ((17, mac), (49, model), (72, ip), (104, mask), (136, user),
                         (152, password)):
        data[offset:offset + len(text)] = text
        if offset + len(text) < size:
            data[offset + len(text)] = 0
    return bytes(data[:size])


class Driver:
    def __init__(self, path):
        self.process = subprocess.Popen([path], stdin=subprocess.PIPE, stdout=subprocess.PIPE)

    def send(self, command):
        self.process.stdin.write((command + "\n").encode())
        self.process.stdin.flush()

    def answer(self, timeout=15):
        ready, _, _ = select.select([self.process.stdout], [], [], timeout)
        if not ready:
            raise RuntimeError("the driver did not answer within %d s" % timeout)
        line = self.process.stdout.readline()
        if not line:
            raise RuntimeError("the driver ended")
        return json.loads(line)

    def scan(self):
        self.send("scan")
        return self.answer()

    def listing(self):
        self.send("list")
        return self.answer()

    def wait(self, ms):
        self.send("wait %d" % ms)
        return self.answer()

    def close(self):
        try:
            self.send("quit")
        except BrokenPipeError:
            pass
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()


def macs(answer):
    return [d["mac"] for d in answer["devices"]]


def wait_queries(device, count, timeout=5.0):
    deadline = time.monotonic() + timeout
    while True:
        records = device.queries()
        if len(records) >= count or time.monotonic() > deadline:
            return records
        time.sleep(0.05)


def check_scan_queries(device, records, source_ip, label):
    check(len(records) == 3, "%s: three queries reached device %d (got %d)"
          % (label, device.number, len(records)))
    check(all(r.data == QUERY for r in records), "%s: every query is the 16 bytes exactly" % label)
    check(all(r.source == "%s:%d" % (source_ip, PORT) for r in records),
          "%s: queries come from %s:%d (%s)" % (label, source_ip, PORT,
                                                 sorted({r.source for r in records})))
    gaps = [b.time - a.time for a, b in zip(records, records[1:])]
    check(len(gaps) == 2 and all(GAP_S[0] <= g <= GAP_S[1] for g in gaps),
          "%s: about 900 ms between queries (%s)" % (label, ", ".join("%.0f ms" % (g * 1000)
                                                                     for g in gaps)))


def check_full_length(answer, label):
    check(SCAN_MS[0] <= answer["ms"] <= SCAN_MS[1],
          "%s: the scan ran its full length (%d ms)" % (label, answer["ms"]))


def expect_one(answer, device, label):
    check(macs(answer) == [device.mac_key()], "%s: listed once as %s (%s)"
          % (label, device.mac_key(), macs(answer)))


# -- scenarios -------------------------------------------------------------------------------------

def scenario_replies(driver):
    """One device through the simulator's reply faults, one scan each."""
    device = Device(1)
    pc_ip = os.environ["KELDA_PC_IP"]
    answer = driver.scan()
    check_full_length(answer, "plain")
    check(answer["devices"] == [{"model": "QZ-8061Tr", "mac": device.mac_key(), "ip": device.ip,
                                 "subnet": "255.255.255.0", "user": device.user,
                                 "password": device.password}],
          "plain: the device with every field (%s)" % answer["devices"])
    check_scan_queries(device, wait_queries(device, 3), pc_ip, "plain")

    for faults, label in ((["duplicate"], "answering twice"),
                          (["lower-mac", "apostrophes", "duplicate"],
                           "lower-case MAC and apostrophes")):
        device.ctl("fault", *faults)
        answer = driver.scan()
        expect_one(answer, device, label)
        first = answer["devices"][0] if answer["devices"] else {}
        check(first.get("ip") == device.ip and first.get("user") == device.user and
              first.get("password") == device.password and first.get("subnet") == "255.255.255.0",
              "%s: apostrophes gone from every field (%s)" % (label, first))

    device.ctl("fault", "model-crlf")
    answer = driver.scan()
    expect_one(answer, device, "model with CR LF")
    check([d["model"] for d in answer["devices"]] == ["QZ-8061Tr"],
          "model with CR LF: CR and LF removed")

    # An oversized datagram is dropped like any other reply that is no reply.
    for fault, label in (("wrong-model", "foreign model"), ("short-reply", "423-byte reply"),
                         ("unterminated", "unterminated fields, so the model runs on"),
                         ("long-reply", "1100-byte reply")):
        device.ctl("fault", fault)
        answer = driver.scan()
        check(answer["devices"] == [], "%s: not listed (%s)" % (label, macs(answer)))
        check(answer["open"] and answer["state"] == 0, "%s: the socket stays open" % label)

    device.ctl("fault", "none")
    answer = driver.scan()
    expect_one(answer, device, "after the oversized replies")
    check(answer["open"] and answer["state"] == 0, "after the oversized replies: socket open")


def scenario_crafted(driver):
    """Datagrams of our own making, sent from the device's namespace during a scan."""
    device = Device(1)
    device.ctl("fault", "no-discovery")
    driver.send("scan")
    wait_queries(device, 1)     # the scan has begun: its list is the one we fill
    long_user = b"u" * 16
    unbounded = b"p" * (1024 - 152)
    device.inject(reply(mac=b"a1a1a1a1a1a1", size=423),
                  reply(mac=b"a2a2a2a2a2a2", size=424),
                  reply(mac=b"a3a3a3a3a3a3", model=b"qz-8061Tr"),
                  reply(mac=b"a4a4a4a4a4a4", model=b"QZ-8061Tr "),
                  reply(mac=b"a5a5a5a5a5", user=long_user, password=unbounded, size=1024,
                        fill=0x78),
                  reply(mac=b"", ip=b"192.'168.77.51"),
                  reply(mac=b"A2'A2a2A2'a2A2", ip=b"192.168.77.52"))
    answer = driver.answer()
    check(macs(answer) == ["A2:A2:A2:A2:A2:A2", "A5:A5:A5:A5:A5:", ":::::"],
          "crafted: 423 and both wrong models ignored, the same MAC again ignored, "
          "424 and 1024 bytes parsed in order of arrival (%s)" % macs(answer))
    by_mac = {d["mac"]: d for d in answer["devices"]}
    bounded = by_mac.get("A5:A5:A5:A5:A5:", {})
    check(bounded.get("user") == "u" * 16 + "p" * (1024 - 152),
          "crafted: an unterminated user name runs into the password")
    check(bounded.get("password") == "p" * (1024 - 152),
          "crafted: the last field of a 1024-byte reply ends with the datagram")
    check(by_mac.get(":::::", {}).get("ip") == "192.168.77.51",
          "crafted: an empty MAC gives five colons; apostrophes leave the address")
    check(device.queries() != [] and len(wait_queries(device, 3)) == 3,
          "crafted: the queries still went out")

    # A device that answers only once the job has left the queue.
    answer = driver.scan()
    check(answer["devices"] == [], "late answer: nothing by the end of the scan")
    device.inject(reply(mac=device.mac.encode(), ip=device.ip.encode()))
    driver.wait(300)
    later = driver.listing()
    check(macs(later) == [device.mac_key()],
          "late answer: still added to the list after the scan (%s)" % macs(later))
    device.ctl("fault", "none")
    answer = driver.scan()
    expect_one(answer, device, "late answer: the next scan lists it")


def scenario_two(driver):
    """Two devices: both listed, in order of first answer."""
    first, second = Device(1), Device(2)
    answer = driver.scan()
    check(sorted(macs(answer)) == sorted([first.mac_key(), second.mac_key()]),
          "two devices: both listed (%s)" % macs(answer))
    for device in (first, second):
        check(len(wait_queries(device, 3)) == 3,
              "two devices: device %d got three queries" % device.number)

    for early, late in ((second, first), (first, second)):
        late.ctl("fault", "no-discovery")
        before = len(early.queries())
        driver.send("scan")
        wait_queries(early, before + 1)
        time.sleep(0.3)         # the early device's reply is in by now
        late.ctl("fault", "none")
        answer = driver.answer()
        check(macs(answer) == [early.mac_key(), late.mac_key()],
              "two devices: device %d answered first and is row 0 (%s)"
              % (early.number, macs(answer)))


def scenario_port_taken(driver):
    """Another program holds port 13379: nothing leaves, the scan still runs its length."""
    device = Device(1)
    holder = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    holder.bind(("0.0.0.0", PORT))
    for n in (1, 2):
        answer = driver.scan()
        check_full_length(answer, "port taken, scan %d" % n)
        check(answer["devices"] == [] and answer["state"] == 1 and not answer["open"],
              "port taken, scan %d: nothing found, the socket still to be made" % n)
    time.sleep(0.3)
    check(device.queries() == [], "port taken: no query reached the device")
    holder.close()
    answer = driver.scan()
    expect_one(answer, device, "port released: the next send binds it")
    check(len(wait_queries(device, 3)) == 3, "port released: three queries")


def scenario_found(driver):
    """The device must be found however the PC's adapters and routes lie."""
    device = Device(1)
    source = os.environ.get("KELDA_PC_IP2") or os.environ["KELDA_PC_IP"]
    label = "%s%s" % (os.environ["KELDA_NETNS_TOPOLOGY"],
                      "" if os.environ.get("KELDA_PC_GATEWAY") else ", no default route")
    answer = driver.scan()
    expect_one(answer, device, label)
    check_scan_queries(device, wait_queries(device, 3), source, label)


SCENARIOS = {"replies": scenario_replies, "crafted": scenario_crafted, "two": scenario_two,
             "port-taken": scenario_port_taken, "found": scenario_found}


def main(argv):
    if len(argv) != 2 or argv[0] not in SCENARIOS:
        sys.stderr.write("usage: check_discovery.py {%s} DRIVER\n" % ",".join(SCENARIOS))
        return 2
    driver = Driver(argv[1])
    try:
        SCENARIOS[argv[0]](driver)
    finally:
        driver.close()
    print("%s: %d passed, %d failed" % (argv[0], len(passes), len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
