"""The ten requests exactly as the wizard sends them, and the answers read the way it reads them."""

import os
import tempfile
import time
import unittest

import simtest
from simtest import Scraper, exchange, query, reachable, wait_until

ACCEPT_IMG = ("Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, "
              "application/x-shockwave-flash, */*\r\n")
ACCEPT_WORD = ("Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, "
               "application/x-shockwave-flash, application/msword,*/*\r\n")
ACCEPT_WORD_SP = ("Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, "
                  "application/x-shockwave-flash, application/msword, */*\r\n")
ACCEPT_EXCEL = ("Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, "
                "application/x-shockwave-flash, application/vnd.ms-excel, application/msword, "
                "*/*\r\n")
LANG_EN = "Accept-Language: en-us\r\n"
LANG_TW = "Accept-Language: zh-tw\r\n"
CT_FORM = "Content-Type: application/x-www-form-urlencoded\r\n"
CT_MULTI = ("Content-Type: multipart/form-data; boundary=---------------------------"
            "7d9222c1903be\r\n")
UA_CPU = "UA-CPU: x86\r\n"
ENCODING = "Accept-Encoding: gzip, deflate\r\n"
UA_7 = ("User-Agent: Mozilla/4.0 (compatible; MSIE 7.0; Windows NT 5.1; .NET CLR 1.1.4322; "
        ".NET CLR 2.0.50727)\r\n")
UA_6 = "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1; .NET CLR 2.0.50727)\r\n"
KEEP = "Connection: Keep-Alive\r\n"
NO_CACHE = "Cache-Control: no-cache\r\n"

PAGES = {"LANINFO": "/02_02_02_homenet.asp", "WANINFO": "/02_02_01_int.asp",
         "GETSTATUS": "/02_00_00_status.asp"}
FORMS = {"REBOOT": ("/goform/formReboot", "/03_03_reset.asp"),
         "SETUPPASSWORD": ("/goform/formPasswordSetup", "/01_01_02_passset.asp"),
         "SETUPIPADDRESS": ("/goform/formTcpipSetup", "/01_03_00_homenet.asp"),
         "RESETDEFAULT": ("/goform/mp", "/goform/mp")}


class Wizard:
    """Builds the requests and judges the answers as the wizard does."""

    def __init__(self, ip, user, password):
        self.ip = ip
        self.authorization = simtest.Device(1).auth(user, password)

    def tail(self, length=None):
        host = "Host: %s\r\n" % self.ip
        auth = "Authorization: Basic %s\r\n\r\n" % self.authorization
        if length is None:
            return host + KEEP + auth
        return host + "content-Length: %d\r\n" % length + KEEP + NO_CACHE + auth

    def page(self, command):
        path = PAGES[command]
        return ("GET %s HTTP/1.1\r\n" % path + ACCEPT_IMG + "Referer: http://%s%s\r\n" % (
            self.ip, path) + LANG_EN + UA_CPU + ENCODING + UA_7 + self.tail()).encode("latin-1")

    def survey(self):
        return ("GET /wlsurvey2.asp HTTP/1.1\r\n" + "Accept: */*\r\n" + LANG_EN + UA_CPU +
                ENCODING + UA_7 + self.tail()).encode("latin-1")

    def form(self, command, body):
        path, referer = FORMS[command]
        head = ("POST %s HTTP/1.1\r\n" % path + ACCEPT_WORD + "Referer: http://%s%s\r\n" % (
            self.ip, referer) + LANG_EN + CT_FORM + UA_CPU + ENCODING + UA_7 +
            self.tail(len(body)))
        return (head + body + ("\r\n" if command == "RESETDEFAULT" else "")).encode("latin-1")

    def reboot(self):
        return self.form("REBOOT", "reset_flag=0&submit-url=%2F03_03_reset.asp")

    def reset_default(self):
        return self.form("RESETDEFAULT", "command=COMMAND+flash+default&getID=")

    def set_password(self, old, new):
        return self.form("SETUPPASSWORD", "oldpass=%s&newpass=%s&confpass=%s&save=Apply"
                         "&submit-url=%%2F01_01_02_passset.asp" % (old, new, new))

    def set_address(self, ip, mask, dhcp):
        prefix = ip.rsplit(".", 1)[0]
        start, end = {".100": (".101", ".199"), ".199": (".100", ".198")}.get(ip[-4:],
                                                                              (".100", ".199"))
        return self.form("SETUPIPADDRESS", "ip=%s&mask=%s&dhcp=%s&dhcpRangeStart=%s"
                         "&dhcpRangeEnd=%s&submit-url=%%2F01_03_00_homenet.asp" % (
                             ip, mask, dhcp, prefix + start, prefix + end))

    def repeater_wpa(self, ssid, channel, cipher, key):
        body = ("stadrv_type=3&stadrv_ssid=%s&stadrv_chan=%s&stadrv_encrypttype=2"
                "&stadrv_weplength=0&stadrv_defaultkey=0&key1=&stadrv_wepformat1=0&key2="
                "&stadrv_wepformat2=0&key3=&stadrv_wepformat3=0&key4=&stadrv_wepformat4=0"
                "&stadrv_wpacipher=%d&stadrv_pskformat=%d&stadrv_pskkey=%s"
                "&submit-url=%%2Fwanwisp.asp" % (ssid, channel, cipher,
                                                  1 if len(key) == 64 else 0, key))
        head = ("POST /goform/formStaDrvSetup HTTP/1.1\r\n" + ACCEPT_EXCEL +
                "Referer: http://%s/wanwisp.asp\r\n" % self.ip + LANG_TW + CT_FORM + ENCODING +
                UA_6 + self.tail(len(body)))
        return (head + body + "\r\n").encode("latin-1")

    def upload(self, image):
        line = "-----------------------------7d9222c1903be"
        body = (line + "\r\n" + 'Content-Disposition: form-data; name="binary"; '
                'filename="c:\\1.bin"' + "\r\n" + "Content-Type: text/plain\r\n\r\n")
        placeholder = "?" * len(image)
        body += placeholder
        for name, value in (("submit-url", "03_02_firmware_b.asp"), ("main_menu_number", "4"),
                            ("sub_menu_number", "2"), ("third_menu_number", "0")):
            body += "\r\n" + line + "\r\n" + 'Content-Disposition: form-data; name="%s"' % name
            body += "\r\n\r\n" + value
        body += "\r\n" + line + "--\r\n"
        head = ("POST /goform/formUpload HTTP/1.1\r\n" + ACCEPT_WORD_SP +
                "Referer: http://%s/03_02_firmware_b.asp\r\n" % self.ip + LANG_EN + CT_MULTI +
                UA_CPU + ENCODING + UA_7 + self.tail(len(body)))
        request = bytearray((head + body).encode("latin-1"))
        at = request.find(b"?????")
        request[at:at + len(image)] = image
        return bytes(request)

    def send(self, request, ip=None):
        """The answer text as the wizard keeps it, and whether it counts as OK."""
        result = exchange(ip or self.ip, request, wait=20)
        self.last = result
        text = result.data.split(b"\0", 1)[0].decode("cp1252", "replace")
        return text, "HTTP" in text and "200" in text


def lan_values(text):
    page = Scraper(text)
    return (page.value("IP Address:", "<") or "0.0.0.0", page.value("Subnet Mask:", "<"),
            page.value("DHCP Server:", ")", "("), (page.value("MAC Address:", "<") or "").upper())


def wan_values(text):
    page = Scraper(text)
    values = {}
    for name in ("dns1", "dns2", "gw"):
        page.skip_past('name="%s" value="' % name)
        values[name] = page.take_until('">') or "0.0.0.0"
    for name, marker in (("ip", "dw(IPAddress)"), ("mask", "dw(SubnetMask)"), ("mode", "Mode:"),
                         ("ssid", "SSID:"), ("channel", "Channel:"), ("security", "Security:")):
        values[name] = page.value(marker)
    return values


def firmware_value(text):
    return Scraper(text).value("Runtime Code Version:")


def survey_keywords(text):
    page = Scraper(text)
    page.skip_to('name="apCount"')
    page.skip_past('value="')
    count = int(page.take_until('"'))
    keywords = []
    for _ in range(count):
        cells = []
        for index in range(7):
            page.skip_past('<font size="2">')
            cells.append(page.take_until("<input" if index < 2 else "</font>") or " ")
        page.skip_past('<font size="2">')
        cipher, mode = cells[3].upper(), cells[4].upper()
        keyword = ("TKIP" if mode == "WPAPSK" else "AES" if mode == "WPA2PSK" else
                   cipher if cipher in ("NONE", "WEP", "TKIP", "AES") else "Unknown")
        keywords.append((cells[1], cells[0], keyword))
    return keywords


class WizardRequests(unittest.TestCase):
    def setUp(self):
        self.device = simtest.Device(1)
        self.device.ctl("fault", "none")
        self.wizard = Wizard(self.device.ip, self.device.user, self.device.password)

    def tearDown(self):
        state = self.device.state()
        if not state["running"] == state["saved"] == state["factory"]:
            wizard = Wizard(state["running"]["ip"], state["running"]["user"],
                            state["running"]["password"])
            wizard.send(wizard.reset_default())
            self.reboot(wizard)

    def reboot(self, wizard):
        """REBOOT as the wizard sends it; returns the new address and the time away."""
        boots = self.device.state()["boot_count"]
        _, ok = wizard.send(wizard.reboot())
        self.assertTrue(ok)
        wait_until(lambda: not reachable(wizard.ip), 5, 0.05, "the device to go away")
        left = time.monotonic()
        wait_until(lambda: self.device.state()["boot_count"] > boots, 20, what="the reboot")
        ip = self.device.state()["running"]["ip"]
        wait_until(lambda: reachable(ip), 5, 0.05, "the device back")
        return ip, time.monotonic() - left

    def test_loading_chain_and_survey(self):
        wizard = self.wizard
        text, ok = wizard.send(wizard.page("LANINFO"))
        self.assertTrue(ok)
        self.assertEqual(lan_values(text), (self.device.ip, self.device.mask, "Enable",
                                            "00:1A:2B:3C:4D:5E"))
        text, ok = wizard.send(wizard.page("WANINFO"))
        self.assertTrue(ok)
        self.assertEqual(wan_values(text), {
            "dns1": "0.0.0.0", "dns2": "0.0.0.0", "gw": "0.0.0.0", "ip": "0.0.0.0",
            "mask": "0.0.0.0", "mode": "AP", "ssid": "", "channel": "11", "security": "None"})
        text, ok = wizard.send(wizard.page("GETSTATUS"))
        self.assertEqual((ok, firmware_value(text)), (True, "1.0.4"))
        text, ok = wizard.send(wizard.survey())
        self.assertTrue(ok)
        self.assertEqual([keyword for _, _, keyword in survey_keywords(text)],
                         ["NONE", "WEP", "TKIP", "AES", "Unknown"])
        wait_until(lambda: self.device.records("tcp")[-1].data == wizard.survey(), 5,
                   what="the survey request in the record, byte for byte")

    def test_every_form_request_in_the_wizards_shape(self):
        device, wizard = self.device, self.wizard
        path = os.path.join(tempfile.mkdtemp(), "fw.bin")
        bad = simtest.make_firmware(path, 65536, "--invalid", "checksum")
        text, ok = wizard.send(wizard.upload(bad))
        self.assertTrue(ok and "Invalid file format!" in text)
        requests = [wizard.repeater_wpa("OfficeAes", "3", 1, "aes-secret-1"),
                    wizard.upload(simtest.make_firmware(path, 1 << 20, "--version", "3.1.0")),
                    wizard.set_address("192.168.77.100", "255.255.255.0", "0"),
                    wizard.set_password(device.password, "fresh1")]
        answers = []
        for request in requests:
            with self.subTest(request.split(b" ")[1]):
                text, ok = wizard.send(request)
                answers.append(text)
                self.assertTrue(ok)
                self.assertNotIn("Invalid", text)
                # The CR LF after the REPEATER body must not turn the close into a reset.
                self.assertEqual(wizard.last.ending, "closed")
                wait_until(lambda: any(r.data == request for r in device.records("tcp")), 5,
                           what="the request in the record, byte for byte")
        self.assertEqual(firmware_value(answers[2]), "1.0.4",
                         "the address answer reads as a status page")
        saved, running = device.state()["saved"], device.state()["running"]
        self.assertEqual((saved["ip"], saved["firmware"], saved["wireless"]["stadrv_ssid"]),
                         ("192.168.77.100", "3.1.0", "OfficeAes"))
        self.assertEqual((running["ip"], running["firmware"]), (device.ip, "1.0.4"),
                         "nothing but the password before the reboot")
        self.assertFalse(wizard.send(wizard.page("LANINFO"))[1], "the old login is refused")
        self.assertEqual(wizard.last.status, 401)

        wizard = Wizard(device.ip, device.user, "fresh1")
        ip, away = self.reboot(wizard)
        self.assertGreater(away, 1.0, "off the network for the reboot time")
        self.assertEqual(ip, "192.168.77.100")
        self.assertFalse(reachable(device.ip))
        moved = Wizard(ip, device.user, "fresh1")
        lan = lan_values(moved.send(moved.page("LANINFO"))[0])
        self.assertEqual(lan[0], "192.168.77.100")
        self.assertEqual(lan[2], "Disable")
        self.assertEqual(device.state()["running"]["dhcp_start"], "192.168.77.101")
        self.assertEqual(firmware_value(moved.send(moved.page("GETSTATUS"))[0]), "3.1.0")
        values = wan_values(moved.send(moved.page("WANINFO"))[0])
        self.assertEqual((values["mode"], values["ssid"], values["security"]),
                         ("Repeater", "OfficeAes", "WPA2-PSK (AES)"))
        self.assertNotEqual(values["ip"], "0.0.0.0", "joined the network")
        reply, source = query()[0]
        self.assertEqual(source[0], ip)
        self.assertEqual(simtest.field(reply, 152), b"fresh1")

        self.assertTrue(moved.send(moved.reset_default())[1])
        self.assertEqual(self.reboot(moved)[0], device.ip)
        self.assertTrue(self.wizard.send(self.wizard.page("LANINFO"))[1], "factory login again")
        state = device.state()
        self.assertTrue(state["running"] == state["saved"] == state["factory"])

if __name__ == "__main__":
    simtest.main()
