"""Form handlers change the device's state as a device would, and reboots make them real."""

import os
import tempfile
import unittest

import simtest
from simtest import (MULTIPART_TYPE, Scraper, exchange, field, form_post, get_page,
                     multipart_upload, query, reachable, wait_until)


class Forms(unittest.TestCase):
    """Every test leaves the device as it found it: factory settings, up, at its first address."""

    def setUp(self):
        self.device = simtest.Device(1)
        self.device.ctl("fault", "none")
        self.address = self.device.ip

    def tearDown(self):
        state = self.device.state()
        if not state["running"] == state["saved"] == state["factory"]:
            self.post("/goform/mp", "command=COMMAND+flash+default&getID=", trailer=b"\r\n")
            self.reboot()

    def post(self, path, body, **kwargs):
        result = exchange(self.address, form_post(self.device, path, body, ip=self.address,
                                                  **kwargs))
        self.assertEqual((result.status, result.ending), (200, "closed"), result.text[:300])
        return result

    def reboot(self):
        """Reboots through the form, as the wizard does, and waits for the device to return."""
        device = self.device
        boots = device.state()["boot_count"]
        self.post("/goform/formReboot", "reset_flag=0&submit-url=%2F03_03_reset.asp")
        wait_until(lambda: not reachable(self.address), 5, 0.05, "the device to go away")
        state = wait_until(lambda: device.state()["boot_count"] == boots + 1 and device.state(),
                           20, what="the device to come back")
        self.address = state["running"]["ip"]
        wait_until(lambda: reachable(self.address), 5, 0.05, "the web server after the reboot")
        device.password = state["running"]["password"]

    def test_invalid_lan_settings_are_refused(self):
        cases = ["ip=192.168.77.0&mask=255.255.255.0&dhcp=2", "ip=0.1.2.3&mask=255.255.255.0&dhcp=2",
                 "ip=192.168.77.30&mask=255.0.255.0&dhcp=2", "ip=192.168.77.30&mask=0.0.0.0&dhcp=2",
                 "ip=192.168.77.30&mask=255.255.255.255&dhcp=2", "ip=192.168.77&mask=255.255.255.0",
                 "ip=192.168.77.30&mask=255.255.255.0&dhcp=7", ""]
        for body in cases:
            with self.subTest(body):
                self.assertIn("Invalid", self.post("/goform/formTcpipSetup", body).text)
                self.assertEqual(self.device.state()["saved"]["ip"], self.device.ip)

    def test_repeater_form_values_decoded_as_from_a_browser(self):
        device = self.device
        for body, ssid, key in (
                ("stadrv_type=3&stadrv_ssid=My+Net%21&stadrv_chan=6&stadrv_encrypttype=1"
                 "&stadrv_defaultkey=2&key3=12345&stadrv_wepformat3=0", "My Net!", "12345"),
                # The wizard sends values unencoded: an "&" splits the SSID, "%" stays.
                ("stadrv_type=3&stadrv_ssid=A&B&stadrv_chan=6&stadrv_encrypttype=0"
                 "&key3=100%", "A", "100%")):
            with self.subTest(body):
                self.post("/goform/formStaDrvSetup", body)
                saved = device.state()["saved"]["wireless"]
                self.assertEqual((saved["stadrv_ssid"], saved["key3"]), (ssid, key))
        refused = self.post("/goform/formStaDrvSetup", "")
        self.assertIn("Invalid", refused.text)

    def test_wrong_key_leaves_the_repeater_unconnected(self):
        self.post("/goform/formStaDrvSetup",
                  "stadrv_type=3&stadrv_ssid=HomeTkip&stadrv_chan=11&stadrv_encrypttype=2"
                  "&stadrv_wpacipher=0&stadrv_pskformat=0&stadrv_pskkey=wrong-key")
        self.reboot()
        page = Scraper(get_page(self.device, "/02_02_01_int.asp"))
        self.assertEqual(page.value("dw(IPAddress)"), "0.0.0.0")
        self.assertEqual(page.value("SSID:"), "HomeTkip")

    def test_firmware_refusals(self):
        device = self.device
        work = tempfile.mkdtemp()
        for kind in ("checksum", "signature", "model", "truncated", "header"):
            with self.subTest(kind):
                image = simtest.make_firmware(os.path.join(work, kind), 20000, "--invalid", kind)
                answer = self.post("/goform/formUpload", multipart_upload(image),
                                   content_type=MULTIPART_TYPE)
                self.assertIn("Invalid file format!", answer.text)
                self.assertFalse(device.state()["last_upload"]["valid"])
        with self.subTest("not multipart"):
            answer = self.post("/goform/formUpload", "binary=abc")
            self.assertIn("Invalid file format!", answer.text)
        with self.subTest("empty file part"):
            answer = self.post("/goform/formUpload", multipart_upload(b""),
                               content_type=MULTIPART_TYPE)
            self.assertIn("Invalid file format!", answer.text)
        self.assertEqual(device.state()["saved"]["firmware"], "1.0.4")

    def test_password_change(self):
        device = self.device
        old = device.password
        for body in ("oldpass=WRONG&newpass=n3w&confpass=n3w",
                     "oldpass=%s&newpass=n3w&confpass=n3x" % old,
                     "oldpass=%s&newpass=&confpass=" % old,
                     "oldpass=%s&newpass=%s&confpass=%s" % (old, "x" * 31, "x" * 31)):
            with self.subTest(body):
                self.post("/goform/formPasswordSetup", body)
                self.assertEqual(device.state()["running"]["password"], old)
        self.post("/goform/formPasswordSetup",
                  "oldpass=%s&newpass=n3w+pw&confpass=n3w+pw&save=Apply&submit-url="
                  "%%2F01_01_02_passset.asp" % old)
        stale = exchange(device.ip, simtest.browser_get(device, "/02_00_00_status.asp"))
        self.assertEqual(stale.status, 401, "the old password is refused at once")
        device.password = "n3w pw"
        self.assertEqual(exchange(device.ip, simtest.browser_get(
            device, "/02_00_00_status.asp")).status, 200)
        self.assertEqual(field(query()[0][0], 152), b"n3w pw")

    def test_moved_to_another_subnet_it_still_answers_discovery(self):
        device = self.device
        self.post("/goform/formTcpipSetup", "ip=192.168.5.10&mask=255.255.255.0&dhcp=2")
        boots = device.state()["boot_count"]
        self.post("/goform/formReboot", "reset_flag=0&submit-url=%2F03_03_reset.asp")
        wait_until(lambda: device.state()["boot_count"] > boots, 20, what="the reboot")
        replies = query()
        # No route back to the PC: the reply goes out as a broadcast and still arrives.
        self.assertEqual([source for _, source in replies], [("192.168.5.10", 13379)])
        self.assertFalse(reachable("192.168.5.10"))
        device.ctl("factory-reset")
        device.ctl("reboot", "1")
        device.wait_phase("up", 10)
        self.assertTrue(reachable(device.ip))

    def test_control_reboot_and_cable(self):
        device = self.device
        device.ctl("away")
        self.assertFalse(reachable(device.ip))
        self.assertEqual(query(wait=0.8), [])
        device.ctl("back")
        wait_until(lambda: reachable(device.ip), 5, 0.05, "the device after plugging in")
        device.ctl("reboot", "1")
        self.assertEqual(device.state()["phase"], "rebooting")
        self.assertFalse(reachable(device.ip))
        device.wait_phase("up", 10)
        self.assertTrue(reachable(device.ip))


if __name__ == "__main__":
    simtest.main()
