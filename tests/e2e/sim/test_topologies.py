"""The harness's topologies: who reaches whom, and how discovery gets through.

Each class is run by its own CTest test in the topology it names.
"""

import os
import socket
import struct
import subprocess
import time
import unittest

import simtest
from simtest import exchange, browser_get, field, query, reachable


def ip(*args):
    subprocess.run(["ip"] + list(args), check=True, capture_output=True)


def arp_who_has(interface, target, sender_ip="0.0.0.0", wait=1.0):
    """Sends one ARP request and returns the hardware addresses that answer for target."""
    with socket.socket(socket.AF_PACKET, socket.SOCK_RAW, socket.htons(0x0806)) as sock:
        sock.bind((interface, 0))
        own = sock.getsockname()[4]
        frame = (b"\xff" * 6 + own + b"\x08\x06" +
                 struct.pack("!HHBBH", 1, 0x0800, 6, 4, 1) + own +
                 socket.inet_aton(sender_ip) + b"\0" * 6 + socket.inet_aton(target))
        sock.send(frame)
        answers = set()
        deadline = time.monotonic() + wait
        while time.monotonic() < deadline:
            sock.settimeout(max(0.01, deadline - time.monotonic()))
            try:
                packet = sock.recv(128)
            except socket.timeout:
                break
            op = struct.unpack("!H", packet[20:22])[0]
            if op == 2 and packet[28:32] == socket.inet_aton(target):
                answers.add(packet[22:28].hex(":"))
        return answers


class TemporaryAddress:
    """An address of the device's subnet on one of the PC's interfaces, as the wizard adds one."""

    def __init__(self, address, interface):
        self.address, self.interface = address, interface

    def __enter__(self):
        ip("addr", "add", self.address + "/24", "dev", self.interface)
        return self

    def __exit__(self, *_):
        ip("addr", "del", self.address + "/24", "dev", self.interface)


class Other(unittest.TestCase):
    """PC 10.77.0.1/24, device 192.168.77.10/24 on the same wire."""

    def setUp(self):
        self.device = simtest.Device(1)

    def test_broadcast_reply_reaches_the_pc_on_another_subnet(self):
        answers = query()
        self.assertEqual(len(answers), 1)
        reply, source = answers[0]
        self.assertEqual(source, (self.device.ip, 13379))
        self.assertEqual(field(reply, 72), self.device.ip.encode())
        self.assertTrue(self.device.state()["reply_broadcast"])

    def test_device_unreachable_until_an_address_of_its_subnet_is_added(self):
        self.assertFalse(reachable(self.device.ip, timeout=1.0), "the router must not forward")
        with TemporaryAddress("192.168.77.241", os.environ["KELDA_PC_IF"]):
            result = exchange(self.device.ip, browser_get(self.device, "/02_00_00_status.asp"))
            self.assertEqual(result.status, 200)
            self.assertEqual(arp_who_has("eth0", "192.168.77.241"), set(), "nobody else owns .241")
            self.assertEqual(arp_who_has("eth0", self.device.ip, "192.168.77.241"),
                             {simtest.Device(1).state()["mac"].lower()})


class Conflict(unittest.TestCase):
    def test_conflict_host_answers_for_its_address(self):
        conflicts = os.environ["KELDA_CONFLICT_IPS"].split()
        self.assertEqual(conflicts, ["192.168.77.241"])
        owners = arp_who_has(os.environ["KELDA_PC_IF"], conflicts[0])
        self.assertEqual(owners, {"02:4b:00:00:02:41"})
        self.assertEqual(arp_who_has(os.environ["KELDA_PC_IF"], "192.168.77.242"), set())
        mac = simtest.Device(1).state()["mac"].lower()
        self.assertEqual(arp_who_has(os.environ["KELDA_PC_IF"], "192.168.77.10"), {mac},
                         "the device answers a probe from 0.0.0.0")

    def test_discovery_still_works(self):
        self.assertEqual(len(query()), 1)


class Two(unittest.TestCase):
    def test_two_devices_answer_one_query(self):
        devices = simtest.devices()
        self.assertEqual(len(devices), 2)
        answers = sorted(query(), key=lambda answer: answer[1])
        self.assertEqual([source[0] for _, source in answers], [d.ip for d in devices])
        self.assertEqual([field(reply, 17) for reply, _ in answers],
                         [d.mac.upper().encode() for d in devices])
        for device in devices:
            with self.subTest(device=device.ip):
                self.assertEqual(exchange(device.ip, browser_get(
                    device, "/02_00_00_status.asp")).status, 200)

    def test_devices_are_independent(self):
        first, second = simtest.devices()
        first.ctl("reboot", "2")
        self.assertFalse(reachable(first.ip))
        self.assertTrue(reachable(second.ip))
        first.wait_phase("up", 10)


class Nothing(unittest.TestCase):
    def test_no_device_answers(self):
        self.assertEqual(os.environ["KELDA_DEV_COUNT"], "0")
        self.assertEqual(query(wait=2.0), [])
        self.assertFalse(reachable("192.168.77.10", timeout=1.0))


class TwoAdapters(unittest.TestCase):
    def setUp(self):
        self.device = simtest.Device(1)

    def test_only_the_second_adapter_leads_to_the_device(self):
        route = subprocess.run(["ip", "route", "get", self.device.ip], capture_output=True,
                               text=True, check=True).stdout
        self.assertIn("via 10.77.0.254 dev eth0", route)
        self.assertEqual(query(interface="eth0"), [], "the default route's wire has no device")
        answers = query(interface=os.environ["KELDA_PC_IF2"])
        self.assertEqual([source[0] for _, source in answers], [self.device.ip])
        self.assertFalse(reachable(self.device.ip, timeout=1.0))
        with TemporaryAddress("192.168.77.241", os.environ["KELDA_PC_IF2"]):
            self.assertEqual(exchange(self.device.ip, browser_get(
                self.device, "/02_00_00_status.asp")).status, 200)
        with TemporaryAddress("192.168.77.241", "eth0"):
            self.assertEqual(arp_who_has("eth0", self.device.ip, "192.168.77.241"), set())


class StartOptions(unittest.TestCase):
    """Simulator options given through the harness reach the device and the environment."""

    def test_options_reach_the_device(self):
        device = simtest.Device(1)
        self.assertEqual(device.password, "other pw")
        state = device.state()
        self.assertEqual(state["faults"], ["duplicate"])
        self.assertEqual(state["running"]["password"], "other pw")
        replies = query()
        self.assertEqual(len(replies), 2)
        self.assertEqual(field(replies[0][0], 152), b"other pw")


if __name__ == "__main__":
    simtest.main()
