"""Form handlers change the device's state as a device would, and reboots make them real."""

import os
import tempfile
import time
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
        gone = wait_until(lambda: not reachable(self.address), 5, 0.05, "the device to go away")
        self.assertTrue(gone)
        left = time.monotonic()
        state = wait_until(lambda: device.state()["boot_count"] == boots + 1 and device.state(),
                           20, what="the device to come back")
        self.address = state["running"]["ip"]
        wait_until(lambda: reachable(self.address), 5, 0.05, "the web server after the reboot")
        device.password = state["running"]["password"]
        return time.monotonic() - left

    def test_lan_address_takes_effect_at_the_reboot(self):
        device = self.device
        answer = self.post("/goform/formTcpipSetup",
                           "ip=192.168.77.20&mask=255.255.255.0&dhcp=0&dhcpRangeStart="
                           "192.168.77.100&dhcpRangeEnd=192.168.77.199&submit-url="
                           "%2F01_03_00_homenet.asp")
        self.assertEqual(Scraper(answer.text).value("Runtime Code Version:"), "1.0.4",
                         "the answer is a status page")
        page = Scraper(get_page(device, "/02_02_02_homenet.asp"))
        self.assertEqual(page.value("IP Address:", "<"), device.ip, "not before the reboot")
        self.assertEqual(device.state()["saved"]["ip"], "192.168.77.20")

        away = self.reboot()
        self.assertGreater(away, 1.0, "off the network for the reboot time")
        self.assertEqual(self.address, "192.168.77.20")
        self.assertFalse(reachable(device.ip))
        page = Scraper(get_page(device, "/02_02_02_homenet.asp", ip=self.address))
        self.assertEqual(page.value("IP Address:", "<"), "192.168.77.20")
        page.value("Subnet Mask:", "<")
        self.assertEqual(page.value("DHCP Server:", ")", "("), "Disable")
        replies = query()
        self.assertEqual(len(replies), 1)
        self.assertEqual(replies[0][1][0], "192.168.77.20")
        self.assertEqual(field(replies[0][0], 72), b"192.168.77.20")

    def test_invalid_lan_settings_are_refused(self):
        cases = ["ip=192.168.77.0&mask=255.255.255.0&dhcp=2", "ip=0.1.2.3&mask=255.255.255.0&dhcp=2",
                 "ip=192.168.77.30&mask=255.0.255.0&dhcp=2", "ip=192.168.77.30&mask=0.0.0.0&dhcp=2",
                 "ip=192.168.77.30&mask=255.255.255.255&dhcp=2", "ip=192.168.77&mask=255.255.255.0",
                 "ip=192.168.77.30&mask=255.255.255.0&dhcp=7", ""]
        for body in cases:
            with self.subTest(body):
                self.assertIn("Invalid", self.post("/goform/formTcpipSetup", body).text)
                self.assertEqual(self.device.state()["saved"]["ip"], self.device.ip)

    def test_repeater_settings_decoded_stored_and_joined_after_reboot(self):
        device = self.device
        body = ("stadrv_type=3&stadrv_ssid=OfficeAes&stadrv_chan=3&stadrv_encrypttype=2"
                "&stadrv_weplength=0&stadrv_defaultkey=0&key1=&stadrv_wepformat1=0&key2="
                "&stadrv_wepformat2=0&key3=&stadrv_wepformat3=0&key4=&stadrv_wepformat4=0"
                "&stadrv_wpacipher=1&stadrv_pskformat=0&stadrv_pskkey=aes-secret-1"
                "&submit-url=%2Fwanwisp.asp")
        self.post("/goform/formStaDrvSetup", body, trailer=b"\r\n")
        self.assertEqual(device.state()["saved"]["wireless"]["stadrv_pskkey"], "aes-secret-1")
        self.assertEqual(device.state()["running"]["wireless"]["stadrv_ssid"], "")
        self.reboot()
        page = Scraper(get_page(device, "/02_02_01_int.asp"))
        page.skip_past('name="dns1" value="')
        self.assertEqual(page.take_until('">'), "192.168.103.1")
        self.assertEqual(page.value("dw(IPAddress)"), "192.168.103.57")
        self.assertEqual(page.value("Mode:"), "Repeater")
        self.assertEqual(page.value("SSID:"), "OfficeAes")
        self.assertEqual(page.value("Security:"), "WPA2-PSK (AES)")

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

    def test_firmware_upload(self):
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

        image = simtest.make_firmware(os.path.join(work, "good"), 2000000, "--version", "2.3.4")
        self.assertIn(b"\0", image)
        answer = self.post("/goform/formUpload", multipart_upload(image),
                           content_type=MULTIPART_TYPE)
        self.assertNotIn("Invalid file format!", answer.text)
        self.assertEqual(device.state()["last_upload"]["size"], len(image))
        status = Scraper(get_page(device, "/02_00_00_status.asp"))
        self.assertEqual(status.value("Runtime Code Version:"), "1.0.4", "not before the reboot")
        self.reboot()
        status = Scraper(get_page(device, "/02_00_00_status.asp"))
        self.assertEqual(status.value("Runtime Code Version:"), "2.3.4")

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

    def test_factory_reset_restores_defaults_at_the_reboot(self):
        device = self.device
        self.post("/goform/formPasswordSetup",
                  "oldpass=%s&newpass=changed&confpass=changed" % device.password)
        device.password = "changed"
        self.post("/goform/formTcpipSetup", "ip=192.168.77.33&mask=255.255.255.0&dhcp=2")
        answer = self.post("/goform/mp", "command=COMMAND+flash+default&getID=",
                           trailer=b"\r\n")
        self.assertIn("OK", answer.text)
        self.assertEqual(device.state()["running"]["password"], "changed",
                         "the current login still works for the reboot")
        self.reboot()
        self.assertEqual(self.address, device.ip)
        self.assertEqual(device.password, os.environ["KELDA_DEV1_PASSWORD"])
        self.assertEqual(device.state()["running"], device.state()["saved"])

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
