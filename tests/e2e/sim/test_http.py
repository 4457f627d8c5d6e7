"""Web server: authorisation, header handling, connection closing, pages and their markers."""

import unittest

import simtest
from simtest import Scraper, browser_get, exchange, form_post, get_page


class Server(unittest.TestCase):
    def setUp(self):
        self.device = simtest.Device(1)
        self.device.ctl("fault", "none")

    def test_wrong_or_missing_credentials_get_401(self):
        device = self.device
        bare = ("GET /02_02_02_homenet.asp HTTP/1.1\r\nHost: %s\r\n\r\n" % device.ip).encode()
        cases = {"no header": bare,
                 "wrong password": browser_get(device, "/02_02_02_homenet.asp",
                                               auth=device.auth(password="wrong")),
                 "wrong user": browser_get(device, "/02_00_00_status.asp",
                                           auth=device.auth(user="root")),
                 "password in other case": browser_get(
                     device, "/02_00_00_status.asp", auth=device.auth(password=device.password.upper())),
                 "not base64": browser_get(device, "/02_00_00_status.asp", auth="%%%")}
        for name, request in cases.items():
            with self.subTest(name):
                result = exchange(device.ip, request)
                self.assertEqual(result.status, 401)
                self.assertIn("WWW-Authenticate: Basic realm=", result.text)
                # The wizard takes any answer holding "HTTP" and "200" as a success.
                self.assertNotIn("200", result.text)
                self.assertEqual(result.ending, "closed")

    def test_header_names_are_case_insensitive(self):
        device = self.device
        request = ("GET /02_00_00_status.asp HTTP/1.1\r\nhOsT: %s\r\n"
                   "AUTHORIZATION: Basic %s\r\n\r\n" % (device.ip, device.auth())).encode()
        self.assertEqual(exchange(device.ip, request).status, 200)
        # The body is only found through the lower-case "content-Length" the wizard sends.
        body = "oldpass=%s&newpass=p2&confpass=p2" % device.password
        result = exchange(device.ip, form_post(device, "/goform/formPasswordSetup", body))
        self.assertEqual(result.status, 200)
        self.assertEqual(device.state()["running"]["password"], "p2")
        device.password = "p2"
        exchange(device.ip, form_post(device, "/goform/formPasswordSetup",
                                      "oldpass=p2&newpass=s3cret&confpass=s3cret"))
        self.assertEqual(device.state()["running"]["password"], "s3cret")

    def test_connection_closed_after_every_response_despite_keep_alive(self):
        device = self.device
        for path in ("/02_02_02_homenet.asp", "/nonexistent.asp", "/goform/formNothing"):
            with self.subTest(path):
                result = exchange(device.ip, browser_get(device, path), wait=3)
                self.assertEqual(result.ending, "closed")
                self.assertIn("Connection: close", result.text)

    def test_bytes_after_the_body_do_not_turn_the_close_into_a_reset(self):
        # The factory-reset and repeater posts carry a CR LF the Length does not count.
        device = self.device
        request = form_post(device, "/goform/mp", "command=COMMAND+flash+nothing&getID=",
                            trailer=b"\r\n")
        result = exchange(device.ip, request)
        self.assertEqual((result.status, result.ending), (200, "closed"))
        record = simtest.wait_until(
            lambda: [r for r in device.records("tcp") if r.data == request], 5,
            what="the request in the record")
        self.assertEqual(record[0].data, request, "recorded byte for byte, trailer included")

    def test_unknown_pages_and_methods(self):
        device = self.device
        self.assertEqual(exchange(device.ip, browser_get(device, "/nope.asp")).status, 404)
        request = browser_get(device, "/02_00_00_status.asp").replace(b"GET", b"PUT", 1)
        self.assertEqual(exchange(device.ip, request).status, 501)
        get = browser_get(device, "/goform/formReboot")
        self.assertEqual(exchange(device.ip, get).status, 405, "forms take posts only")
        self.assertEqual(device.state()["phase"], "up")

    def test_pages_carry_the_markers_in_scraping_order(self):
        device = self.device
        state = device.state()
        running, wan = state["running"], state["wan"]
        lan = Scraper(get_page(device, "/02_02_02_homenet.asp"))
        self.assertEqual(lan.value("IP Address:", "<"), running["ip"])
        self.assertEqual(lan.value("Subnet Mask:", "<"), running["mask"])
        self.assertEqual(lan.value("DHCP Server:", ")", "("), "Enable")
        self.assertEqual(lan.value("MAC Address:", "<").upper(), state["mac"])

        internet = Scraper(get_page(device, "/02_02_01_int.asp"))
        self.assertTrue(internet.skip_past('name="dns1" value="'))
        self.assertEqual(internet.take_until('">'), wan["dns1"])
        self.assertTrue(internet.skip_past('name="dns2" value="'))
        self.assertTrue(internet.skip_past('name="gw" value="'))
        self.assertEqual(internet.take_until('">'), wan["gw"])
        self.assertEqual(internet.value("dw(IPAddress)"), "0.0.0.0")
        self.assertEqual(internet.value("dw(SubnetMask)"), "0.0.0.0")
        self.assertEqual(internet.value("Mode:"), "AP")
        self.assertEqual(internet.value("SSID:"), "")
        self.assertIsNotNone(internet.value("Channel:"))
        self.assertEqual(internet.value("Security:"), "None")

        status = Scraper(get_page(device, "/02_00_00_status.asp"))
        self.assertEqual(status.value("Runtime Code Version:"), running["firmware"])

    def test_survey_page_lists_every_network_in_cells_of_seven(self):
        text = get_page(self.device, "/wlsurvey2.asp")
        scraper = Scraper(text)
        self.assertTrue(scraper.skip_to('name="apCount"'))
        self.assertTrue(scraper.skip_past('value="'))
        count = int(scraper.take_until('"'))
        self.assertEqual(count, 5)
        rows = []
        for _ in range(count):
            cells = []
            for index in range(7):
                self.assertTrue(scraper.skip_past('<font size="2">'))
                cells.append(scraper.take_until("<input" if index < 2 else "</font>"))
            scraper.skip_past('<font size="2">')
            rows.append(cells)
        self.assertNotIn('<font size="2">', scraper.text, "no cells beyond the announced count")
        self.assertEqual([row[1] for row in rows],
                         ["CafeOpen", "OldWep", "HomeTkip", "OfficeAes", "MixedMode"])
        self.assertEqual([(row[3], row[4]) for row in rows],
                         [("NONE", "OPEN"), ("WEP", "OPEN"), ("TKIP", "WPAPSK"),
                          ("AES", "WPA2PSK"), ("TKIPAES", "WPA1PSKWPA2PSK")])
        self.assertEqual(rows[0][0], "1")
        self.assertRegex(rows[0][2], r"^([0-9a-f]{2}:){5}[0-9a-f]{2}$")

    def test_requests_are_recorded_byte_for_byte(self):
        device = self.device
        request = browser_get(device, "/02_00_00_status.asp")
        before = len(device.records("tcp"))
        exchange(device.ip, request)
        records = simtest.wait_until(lambda: device.records("tcp")[before:], 5, what="a record")
        self.assertEqual(records[0].data, request)
        self.assertEqual(records[0].destination, "%s:80" % device.ip)


if __name__ == "__main__":
    simtest.main()
