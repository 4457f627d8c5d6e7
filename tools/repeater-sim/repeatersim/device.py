"""One simulated repeater: its settings, its life cycle, and what it does with each request."""

import base64
import json
import os
import socket
import sys
import time

from . import discovery, firmware, forms, pages, survey
from . import settings as rules
from .http import HttpServer, Response
from .netif import Interface

UDP_FAULTS = ("wrong-model", "duplicate", "short-reply", "long-reply", "unterminated",
              "lower-mac", "apostrophes", "model-crlf", "no-discovery")
HTTP_FAULTS = ("keep-alive", "reset", "garbage", "slow", "huge", "silent", "late", "refuse",
               "open-cells")
FAULTS = UDP_FAULTS + HTTP_FAULTS
REBOOT_DELAY = 0.3
# Cell openings the open-cells fault adds to the survey page: about 120 KB of them.
OPEN_CELLS = 8000


def parse_fault(text):
    """'mode' or 'mode@/path'; returns (mode, path or None)."""
    mode, _, path = text.partition("@")
    if mode not in FAULTS:
        raise ValueError("unknown fault %r (known: %s)" % (mode, ", ".join(FAULTS)))
    if path and (mode in UDP_FAULTS or mode == "refuse"):
        raise ValueError("fault %r cannot be limited to a page" % mode)
    return mode, path or None


class Device:
    def __init__(self, loop, options, record):
        self.loop = loop
        self.options = options
        self.record = record
        self.model = options.model
        self.mac_hex = options.mac
        factory = rules.make_factory(options.ip, options.mask, options.user, options.password,
                                     options.firmware)
        self.settings = rules.Settings(factory)
        self.faults = [parse_fault(f) for f in options.fault]
        self.interface = Interface(options.iface, self.log) if options.iface else None
        self.phase = "off"
        self.boot_count = 0
        self.boot_time = time.monotonic()
        self.reboot_timer = None
        self.last_upload = None
        self.counters = {"queries": 0, "replies": 0, "requests": 0, "unauthorized": 0}
        self.udp_sockets = []
        self.http = HttpServer(loop, options.http_port, self.handle, self.http_faults_for, record,
                               self.log, options.slow_rate, options.huge_bytes)

    # -- helpers ------------------------------------------------------------------------------
    def log(self, text):
        stamp = time.strftime("%H:%M:%S") + ".%03d" % (time.time() % 1 * 1000)
        sys.stderr.write("%s repeater-sim[%s] %s\n" % (stamp, self.mac_hex, text))
        sys.stderr.flush()

    def fault_names(self):
        return {mode for mode, path in self.faults if path is None}

    def http_faults_for(self, path):
        return {mode for mode, limit in self.faults
                if mode in HTTP_FAULTS and (limit is None or limit == path)}

    def page_mac(self):
        return self.mac_hex.lower() if "lower-mac" in self.fault_names() else self.mac_hex.upper()

    def uptime_text(self):
        seconds = int(time.monotonic() - self.boot_time)
        return "%dday:%dh:%dm:%ds" % (seconds // 86400, seconds // 3600 % 24, seconds // 60 % 60,
                                      seconds % 60)

    def networks(self):
        try:
            return survey.load_networks(self.options.survey)
        except (OSError, ValueError) as error:
            self.log("survey file unreadable: %s" % error)
            return []

    # -- state file ---------------------------------------------------------------------------
    def state(self):
        return {"model": self.model, "mac": pages.mac_colons(self.mac_hex.upper()),
                "phase": self.phase, "boot_count": self.boot_count,
                "reboot_seconds": self.options.reboot_seconds,
                "running": self.settings.running, "saved": self.settings.saved,
                "factory": self.settings.factory,
                "wan": self.settings.wan,
                "faults": [mode + ("@" + path if path else "") for mode, path in self.faults],
                "last_upload": self.last_upload, "counters": self.counters,
                "reply_broadcast": self.options.reply_broadcast}

    def save_state(self):
        if not self.options.state:
            return
        temporary = self.options.state + ".tmp"
        with open(temporary, "w", encoding="utf-8") as handle:
            json.dump(self.state(), handle, indent=2, sort_keys=True)
            handle.write("\n")
        os.replace(temporary, self.options.state)

    # -- life cycle -----------------------------------------------------------------------------
    def power_on(self):
        if self.reboot_timer:
            self.reboot_timer.cancel()
            self.reboot_timer = None
        self.settings.boot(self.networks())
        running = self.settings.running
        if self.interface:
            self.interface.bring_up(pages.mac_colons(self.mac_hex.lower()), running["ip"],
                                    rules.prefix_length(running["mask"]))
        self._open_udp()
        if "refuse" not in self.fault_names():
            self.http.open()
        self.phase = "up"
        self.boot_count += 1
        self.boot_time = time.monotonic()
        self.log("up at %s/%s (boot %d, firmware %s)" % (running["ip"], running["mask"],
                                                         self.boot_count, running["firmware"]))
        self.save_state()

    def power_off(self, phase="off"):
        if self.reboot_timer:
            self.reboot_timer.cancel()
            self.reboot_timer = None
        if self.interface and self.phase in ("up", "unplugged"):
            self.interface.power_down()
        self.http.close(abort=True)
        self._close_udp()
        self.phase = phase
        self.log("off the network (%s)" % phase)
        self.save_state()

    def reboot(self, seconds=None):
        seconds = self.options.reboot_seconds if seconds is None else seconds
        self.power_off("rebooting")
        self.reboot_timer = self.loop.call_later(seconds, self._boot_after_reboot)

    def _boot_after_reboot(self):
        self.reboot_timer = None
        try:
            self.power_on()
        except OSError as error:
            # A device that cannot boot stays dark; the simulator itself keeps running.
            self.log("boot failed: %s" % error)
            self.http.close(abort=True)
            self._close_udp()
            self.phase = "off"
            self.save_state()

    def unplug(self):
        if self.phase != "up":
            return
        if self.interface:
            self.interface.set_link(False)
        self.phase = "unplugged"
        self.log("cable unplugged")
        self.save_state()

    def plug(self):
        if self.phase != "unplugged":
            return
        if self.interface:
            self.interface.set_link(True)
        self.phase = "up"
        self.log("cable plugged in")
        self.save_state()

    def set_faults(self, faults):
        had_refuse = "refuse" in self.fault_names()
        self.faults = faults
        refuse = "refuse" in self.fault_names()
        if self.phase in ("up", "unplugged") and refuse != had_refuse:
            if refuse:
                self.http.close(abort=True)
            else:
                self.http.open()
        self.save_state()

    # -- discovery ------------------------------------------------------------------------------
    def _open_udp(self):
        port = self.options.udp_port
        listener = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        listener.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
        listener.bind(("0.0.0.0", port))
        self.udp_sockets = [listener]
        # Replies leave from a socket bound to the device's own address: the source is then right
        # and a broadcast needs no route (the device has none towards another subnet).
        sender = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        sender.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        sender.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
        try:
            sender.bind((self.settings.running["ip"], port))
            self.udp_sockets.append(sender)
        except OSError as error:
            self.log("cannot bind %s:%d (%s); replies leave from any address"
                     % (self.settings.running["ip"], port, error))
            sender.close()
        for sock in self.udp_sockets:
            sock.setblocking(False)
            self.loop.watch(sock, reader=lambda s=sock: self._datagram(s))

    def _close_udp(self):
        for sock in self.udp_sockets:
            self.loop.forget(sock)
            sock.close()
        self.udp_sockets = []

    def _datagram(self, sock):
        try:
            data, peer = sock.recvfrom(65536)
        except OSError:
            return
        own = self.settings.running["ip"]
        if peer[0] == own and peer[1] == self.options.udp_port:
            return      # our own broadcast reply, looped back
        local = sock.getsockname()
        self.record.write("udp", "%s:%d" % peer, "%s:%d" % local, data)
        if data != discovery.QUERY:
            self.log("ignored a %d-byte datagram from %s:%d" % (len(data), peer[0], peer[1]))
            return
        self.counters["queries"] += 1
        destination = ("255.255.255.255", peer[1]) if self.options.reply_broadcast else peer
        sender = self.udp_sockets[-1]
        for reply in discovery.build_reply(self, self.fault_names()):
            try:
                sender.sendto(reply, destination)
            except OSError as error:
                if destination[0] == "255.255.255.255":
                    self.log("broadcast reply failed: %s" % error)
                    continue
                # No route back to an asker on another subnet: answer everyone on the wire.
                self.log("no route to %s (%s); broadcasting the reply" % (peer[0], error))
                destination = ("255.255.255.255", peer[1])
                try:
                    sender.sendto(reply, destination)
                except OSError as error:
                    self.log("broadcast reply failed: %s" % error)
                    continue
            self.counters["replies"] += 1
        self.log("query from %s:%d answered to %s" % (peer[0], peer[1], destination[0]))

    # -- web ------------------------------------------------------------------------------------
    def authorized(self, request):
        scheme, _, token = request.header("authorization").partition(" ")
        if scheme.lower() != "basic":
            return False
        try:
            given = base64.b64decode(token.strip(), validate=True)
        except ValueError:
            return False
        running = self.settings.running
        return given == (running["user"] + ":" + running["password"]).encode("latin-1")

    def handle(self, request):
        self.counters["requests"] += 1
        if request.method not in ("GET", "POST", "HEAD"):
            return Response(501, b"<html><body>Not Implemented</body></html>")
        if not self.authorized(request):
            self.counters["unauthorized"] += 1
            return Response(401, b"<html><head><title>401 Unauthorized</title></head>"
                                 b"<body><h2>Unauthorized</h2>Authorization required.</body></html>",
                            headers=['WWW-Authenticate: Basic realm="%s"' % self.model])
        path = request.path
        if path.startswith("/goform/"):
            if request.method != "POST":
                return Response(405, b"<html><body>Method Not Allowed</body></html>")
            handler = self.FORMS.get(path[len("/goform/"):])
            if handler is None:
                return Response(404, b"<html><body>Form not found</body></html>")
            return handler(self, request)
        text = self.page_text(path)
        if text is None:
            return Response(404, b"<html><body>Page not found</body></html>")
        body = text.encode("latin-1")
        return Response(200, b"" if request.method == "HEAD" else body)

    def page_text(self, path):
        if path in ("/", "/index.asp", "/home.asp"):
            return pages.index_page(self)
        if path == "/02_02_02_homenet.asp":
            return pages.lan_page(self)
        if path == "/02_02_01_int.asp":
            return pages.wan_page(self)
        if path == "/02_00_00_status.asp":
            return pages.status_page(self)
        if path == "/wlsurvey2.asp":
            open_cells = OPEN_CELLS if "open-cells" in self.http_faults_for(path) else 0
            return pages.survey_page(self, self.networks(), open_cells)
        return pages.setup_pages(self).get(path)

    def _message(self, title, text, back, after=None):
        body = pages.message_page(self, title, text, back).encode("latin-1")
        return Response(200, body, after=after)

    # -- form handlers --------------------------------------------------------------------------
    def form_tcpip(self, request):
        fields = forms.parse_urlencoded(request.body)
        ip, mask = fields.get("ip", ""), fields.get("mask", "")
        error = rules.check_lan(ip, mask)
        dhcp = fields.get("dhcp", "")
        if error is None and dhcp not in ("0", "2"):
            error = "Invalid DHCP setting!"
        if error:
            self.log("formTcpipSetup refused: %s" % error)
            return self._message("LAN Setup", error, "/01_03_00_homenet.asp")
        saved = self.settings.saved
        saved.update({"ip": ip, "mask": mask, "dhcp": dhcp == "2"})
        start, end = fields.get("dhcpRangeStart", ""), fields.get("dhcpRangeEnd", "")
        if rules.parse_dotted(start) and rules.parse_dotted(end):
            saved.update({"dhcp_start": start, "dhcp_end": end})
        else:
            saved["dhcp_start"], saved["dhcp_end"] = rules.dhcp_range_for(ip)
        self.log("formTcpipSetup saved %s/%s dhcp=%s" % (ip, mask, dhcp))
        self.save_state()
        banner = "Settings saved. They take effect when the device restarts."
        return Response(200, pages.status_page(self, banner).encode("latin-1"))

    def form_stadrv(self, request):
        fields = forms.parse_urlencoded(request.body)
        if not fields.get("stadrv_ssid") or fields.get("stadrv_encrypttype") not in ("0", "1", "2"):
            self.log("formStaDrvSetup refused: %r" % fields)
            return self._message("Wireless Repeater", "Invalid settings!", "/wanwisp.asp")
        wireless = rules.factory_wireless()
        wireless.update({name: value for name, value in fields.items() if name in wireless})
        self.settings.saved["wireless"] = wireless
        self.log("formStaDrvSetup saved SSID %r" % wireless["stadrv_ssid"])
        self.save_state()
        return self._message("Wireless Repeater",
                             "Settings saved. The repeater connects after it restarts.",
                             "/wanwisp.asp")

    def form_upload(self, request):
        boundary = forms.boundary_of(request.header("content-type"))
        parts = forms.parse_multipart(request.body, boundary) if boundary else {}
        image = parts.get("binary", (None, b""))[1]
        valid, detail = firmware.check_image(image, self.model)
        self.last_upload = {"size": len(image), "valid": valid,
                            "detail": detail, "filename": parts.get("binary", (None,))[0],
                            "first_byte_at": request.first_byte_at,
                            "last_byte_at": request.last_byte_at}
        if not valid:
            self.log("formUpload refused %d bytes: %s" % (len(image), detail))
            self.save_state()
            return self._message("Firmware", "Invalid file format!", "/03_02_firmware_b.asp")
        self.settings.saved["firmware"] = detail
        self.log("formUpload accepted firmware %s (%d bytes)" % (detail, len(image)))
        self.save_state()
        return self._message("Firmware", "Firmware %s stored. It runs after the device restarts."
                             % detail, "/03_02_firmware_b.asp")

    def form_password(self, request):
        fields = forms.parse_urlencoded(request.body)
        new = fields.get("newpass", "")
        if fields.get("oldpass") != self.settings.running["password"]:
            error = "Old password is not correct!"
        elif new != fields.get("confpass"):
            error = "The passwords do not match!"
        elif not new or len(new) > rules.PASSWORD_LIMIT:
            error = "The password must have 1 to %d characters!" % rules.PASSWORD_LIMIT
        else:
            error = None
        if error:
            self.log("formPasswordSetup refused: %s" % error)
            return self._message("Password", error, "/01_01_02_passset.asp")
        self.settings.change_password(new)
        self.log("formPasswordSetup: password changed")
        self.save_state()
        return self._message("Password", "The password has been changed.", "/01_01_02_passset.asp")

    def form_reboot(self, request):
        self.log("formReboot: restarting")
        # The answer goes out first; the device drops off the network a moment later.
        return self._message("Reboot", "The device is restarting. Please wait.",
                             "/03_03_reset.asp",
                             after=lambda: self.loop.call_later(REBOOT_DELAY, self.reboot))

    def form_mp(self, request):
        command = forms.parse_urlencoded(request.body).get("command", "")
        if command == "COMMAND flash default":
            self.settings.restore_factory()
            self.log("mp: factory defaults written to flash")
            self.save_state()
            return Response(200, b"flash default OK\r\n", content_type="text/plain")
        self.log("mp: unknown command %r" % command)
        return Response(200, b"unknown command\r\n", content_type="text/plain")

    FORMS = {"formTcpipSetup": form_tcpip, "formStaDrvSetup": form_stadrv,
             "formUpload": form_upload, "formPasswordSetup": form_password,
             "formReboot": form_reboot, "mp": form_mp}
