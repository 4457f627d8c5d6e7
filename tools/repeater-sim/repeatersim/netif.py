"""The device's one Ethernet interface, driven through iproute2 inside its own namespace."""

import subprocess


class Interface:
    def __init__(self, name, log):
        self.name = name
        self.log = log

    def _ip(self, *args):
        result = subprocess.run(["ip"] + list(args), capture_output=True, text=True)
        if result.returncode != 0:
            raise OSError("ip %s: %s" % (" ".join(args), result.stderr.strip()))

    def bring_up(self, mac, ip, prefix):
        self._ip("link", "set", "dev", self.name, "down")
        self._ip("link", "set", "dev", self.name, "address", mac)
        self._ip("addr", "flush", "dev", self.name)
        self._ip("addr", "add", "%s/%d" % (ip, prefix), "brd", "+", "dev", self.name)
        self._ip("link", "set", "dev", self.name, "up")

    def power_down(self):
        # Link first: nothing the closing sockets still want to say leaves the device.
        self._ip("link", "set", "dev", self.name, "down")
        self._ip("addr", "flush", "dev", self.name)

    def set_link(self, up):
        self._ip("link", "set", "dev", self.name, "up" if up else "down")
