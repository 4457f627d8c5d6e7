"""Web server fault modes: each one does to the connection what its name says."""

import socket
import time
import unittest

import simtest
from simtest import Scraper, browser_get, exchange

STATUS = "/02_00_00_status.asp"


class Faults(unittest.TestCase):
    def setUp(self):
        self.device = simtest.Device(1)
        self.device.ctl("fault", "none")
        self.normal = exchange(self.device.ip, browser_get(self.device, STATUS))

    def tearDown(self):
        self.device.ctl("fault", "none")

    def fetch(self, fault, wait=4.0, path=STATUS):
        self.device.ctl("fault", fault)
        return exchange(self.device.ip, browser_get(self.device, path), wait=wait)

    def test_keep_alive_never_closes_and_serves_the_next_request(self):
        self.device.ctl("fault", "keep-alive")
        with socket.create_connection((self.device.ip, 80), timeout=3) as sock:
            for _ in range(2):
                sock.sendall(browser_get(self.device, STATUS))
                head = b""
                while b"\r\n\r\n" not in head:
                    head += sock.recv(1)
                length = int(head.split(b"Content-Length: ")[1].split(b"\r\n")[0])
                self.assertIn(b"Connection: Keep-Alive", head)
                body = b""
                while len(body) < length:
                    body += sock.recv(length - len(body))
                self.assertIn(b"Runtime Code Version:", body)
            sock.settimeout(2.5)
            with self.assertRaises(socket.timeout, msg="the connection stays open"):
                sock.recv(1)

    def test_reset_cuts_the_answer_with_a_reset(self):
        result = self.fetch("reset")
        self.assertEqual(result.ending, "reset")
        self.assertTrue(0 < len(result.data) < len(self.normal.data), len(result.data))

    def test_garbage_is_no_http_answer(self):
        result = self.fetch("garbage")
        self.assertEqual(result.ending, "closed")
        self.assertGreater(len(result.data), 1000)
        self.assertNotIn(b"HTTP", result.data)
        self.assertNotIn(b"200", result.data)

    def test_slow_drips_the_answer(self):
        result = self.fetch("slow", wait=1.5)
        self.assertEqual(result.ending, "open")
        self.assertGreater(len(result.chunks), 5, "many small pieces")
        self.assertTrue(0 < len(result.data) < 1500, len(result.data))
        self.assertTrue(self.normal.data.startswith(result.data))

    def test_huge_answer_keeps_its_markers(self):
        result = self.fetch("huge", wait=30)
        self.assertEqual((result.status, result.ending), (200, "closed"))
        self.assertGreater(len(result.data), 8 * 1024 * 1024)
        self.assertNotIn(b"\0", result.data)
        marker = result.data.find(b"Runtime Code Version:")
        self.assertGreater(marker, 8 * 1024 * 1024, "the markers stand after the padding")
        self.assertEqual(Scraper(result.text).value("Runtime Code Version:"), "1.0.4")

    def test_silent_accepts_and_never_answers(self):
        result = self.fetch("silent", wait=2.5)
        self.assertEqual((result.data, result.ending), (b"", "open"))

    def test_refuse_has_no_web_server(self):
        self.device.ctl("fault", "refuse")
        with self.assertRaises(ConnectionRefusedError):
            socket.create_connection((self.device.ip, 80), timeout=3)
        self.assertEqual(len(simtest.query()), 1, "discovery still answers")
        self.device.ctl("fault", "none")
        self.assertEqual(exchange(self.device.ip, browser_get(self.device, STATUS)).status, 200)

    def test_fault_limited_to_one_page(self):
        self.device.ctl("fault", "reset@" + STATUS)
        self.assertEqual(self.fetch("reset@" + STATUS).ending, "reset")
        lan = exchange(self.device.ip, browser_get(self.device, "/02_02_02_homenet.asp"))
        self.assertEqual((lan.status, lan.ending), (200, "closed"))

    def test_fault_commands_and_refused_names(self):
        state = self.device.ctl("fault-add", "garbage")
        self.assertEqual(state["faults"], ["garbage"])
        state = self.device.ctl("fault-remove", "garbage")
        self.assertEqual(state["faults"], [])
        with self.assertRaises(AssertionError):
            self.device.ctl("fault", "melt")
        with self.assertRaises(AssertionError):
            self.device.ctl("fault", "duplicate@/x.asp")

    def test_a_reboot_drops_open_connections_silently(self):
        self.device.ctl("fault", "silent")
        sock = socket.create_connection((self.device.ip, 80), timeout=3)
        try:
            sock.sendall(browser_get(self.device, STATUS))
            time.sleep(0.2)
            self.device.ctl("reboot", "1")
            sock.settimeout(0.8)
            # A power cut sends nothing: no FIN, no reset.
            with self.assertRaises(socket.timeout):
                sock.recv(1)
        finally:
            sock.close()
        self.device.wait_phase("up", 10)


if __name__ == "__main__":
    simtest.main()
