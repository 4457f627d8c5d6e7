"""Discovery responder: the reply layout byte by byte, what it ignores, its faults."""

import os
import unittest

import simtest
from simtest import QUERY, field, query

# offset -> space of each text field of the reply
SPACES = {17: 32, 49: 23, 72: 32, 104: 32, 136: 16}


class Discovery(unittest.TestCase):
    def setUp(self):
        self.device = simtest.Device(1)
        self.device.ctl("fault", "none")

    def only_reply(self, **kwargs):
        answers = query(**kwargs)
        self.assertEqual(len(answers), 1, "expected one reply, got %d" % len(answers))
        return answers[0]

    def test_reply_layout(self):
        reply, source = self.only_reply()
        device = self.device
        self.assertEqual(source, (device.ip, 13379), "the reply comes from the device's address")
        self.assertEqual(len(reply), 424)
        expected = {17: device.mac.upper(), 49: device.model, 72: device.ip, 104: device.mask,
                    136: device.user, 152: device.password}
        for offset, text in expected.items():
            with self.subTest(offset=offset):
                self.assertEqual(field(reply, offset), text.encode("latin-1"))
                # Zero-terminated inside its own space, so nothing runs into the next field.
                space = SPACES.get(offset, 424 - offset)
                self.assertIn(0, reply[offset:offset + space])

    def test_unicast_query_is_answered_too(self):
        reply, source = self.only_reply(destination=self.device.ip)
        self.assertEqual(source[0], self.device.ip)
        self.assertEqual(field(reply, 72), self.device.ip.encode())

    def test_only_the_exact_query_is_answered_and_everything_is_recorded(self):
        near_misses = [QUERY[:15], QUERY + b"\0", b"\0" * 6 + QUERY[6:],
                       QUERY[:6] + b"brevik" + QUERY[12:], QUERY[:15] + b"\x60", b"",
                       b"\xff" * 424]
        before = len(self.device.records("udp"))
        for datagram in near_misses:
            with self.subTest(datagram=datagram[:16]):
                self.assertEqual(query(payload=datagram, wait=0.4), [])
        records = self.device.records("udp")[before:]
        self.assertEqual([r.data for r in records], near_misses)
        pc = "%s:13379" % os.environ["KELDA_PC_IP"]
        self.assertTrue(all(r.source == pc for r in records), [r.source for r in records])

    def test_reply_faults(self):
        device = self.device
        mac = device.mac.upper().encode()
        cases = {
            "wrong-model": lambda r: self.assertEqual(field(r[0], 49), b"QZ-8060Tr"),
            "model-crlf": lambda r: self.assertEqual(field(r[0], 49), b"QZ-8061Tr\r\n"),
            "lower-mac": lambda r: self.assertEqual(field(r[0], 17), mac.lower()),
            "short-reply": lambda r: self.assertEqual(len(r[0]), 423),
            "long-reply": lambda r: self.assertGreater(len(r[0]), 1024),
            "duplicate": lambda r: (self.assertEqual(len(r), 2), self.assertEqual(r[0], r[1])),
            "no-discovery": lambda r: self.assertEqual(r, []),
            "unterminated": lambda r: (
                self.assertNotIn(0, r[0][17:]),
                self.assertTrue(field(r[0], 17).startswith(mac + b" ")),
                self.assertIn(device.model.encode(), field(r[0], 17))),
            "apostrophes": lambda r: [
                self.assertIn(b"'", field(r[0], offset)) or
                self.assertEqual(field(r[0], offset).replace(b"'", b""), text.encode())
                for offset, text in ((17, device.mac.upper()), (72, device.ip),
                                     (104, device.mask), (136, device.user),
                                     (152, device.password))],
        }
        for fault, check in cases.items():
            with self.subTest(fault=fault):
                device.ctl("fault", fault)
                check([data for data, _ in query(wait=0.8)])
        device.ctl("fault", "none")
        self.assertEqual(field(self.only_reply()[0], 49), device.model.encode())

    def test_faults_combine(self):
        self.device.ctl("fault", "duplicate", "lower-mac")
        replies = [data for data, _ in query(wait=0.8)]
        self.assertEqual(len(replies), 2)
        self.assertEqual(field(replies[1], 17), self.device.mac.lower().encode())


if __name__ == "__main__":
    simtest.main()
