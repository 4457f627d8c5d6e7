"""What the device keeps in flash, what it runs with, and the rules for both.

Texts are kept as Python strings holding one character per byte (ISO-8859-1), so that any byte a
form or the command line gave survives unchanged into pages, replies and the state file.
"""

import copy
import hashlib
import ipaddress

MODE_NAMES = {"0": "AP", "1": "Client", "2": "WDS", "3": "Repeater"}
PASSWORD_LIMIT = 30


def factory_wireless():
    return {"stadrv_type": "0", "stadrv_ssid": "", "stadrv_chan": "11", "stadrv_encrypttype": "0",
            "stadrv_weplength": "0", "stadrv_defaultkey": "0", "key1": "", "key2": "", "key3": "",
            "key4": "", "stadrv_wepformat1": "0", "stadrv_wepformat2": "0",
            "stadrv_wepformat3": "0", "stadrv_wepformat4": "0", "stadrv_wpacipher": "0",
            "stadrv_pskformat": "0", "stadrv_pskkey": ""}


def dhcp_range_for(ip):
    prefix = ip.rsplit(".", 1)[0]
    return prefix + ".100", prefix + ".199"


def make_factory(ip, mask, user, password, firmware):
    start, end = dhcp_range_for(ip)
    return {"ip": ip, "mask": mask, "dhcp": True, "dhcp_start": start, "dhcp_end": end,
            "user": user, "password": password, "firmware": firmware,
            "wireless": factory_wireless()}


def prefix_length(mask):
    return ipaddress.IPv4Network("0.0.0.0/" + mask).prefixlen


def parse_dotted(text):
    """Strict dotted decimal: four decimal octets 0-255, nothing else."""
    parts = text.split(".")
    if len(parts) != 4 or not all(p.isdigit() and len(p) <= 3 and int(p) <= 255 for p in parts):
        return None
    return [int(p) for p in parts]


def check_lan(ip, mask, allow_loopback=False):
    """Returns an error text, or None when the device can run with this address and mask."""
    octets = parse_dotted(ip)
    if (octets is None or not 1 <= octets[0] <= 223
            or (octets[0] == 127 and not allow_loopback)):
        return "Invalid IP address!"
    mask_octets = parse_dotted(mask)
    if mask_octets is None:
        return "Invalid subnet mask!"
    value = int.from_bytes(bytes(mask_octets), "big")
    inverted = ~value & 0xFFFFFFFF
    if value == 0 or value & 1 or inverted & (inverted + 1):
        return "Invalid subnet mask!"
    host = int.from_bytes(bytes(octets), "big") & inverted
    if inverted > 1 and host in (0, inverted):
        return "Invalid IP address!"
    return None


def security_text(wireless):
    kind = wireless.get("stadrv_encrypttype", "0")
    if kind == "1":
        return "WEP 128-bit" if wireless.get("stadrv_weplength") == "1" else "WEP 64-bit"
    if kind == "2":
        return "WPA2-PSK (AES)" if wireless.get("stadrv_wpacipher") == "1" else "WPA-PSK (TKIP)"
    return "None"


def _wep_key_bytes(key, hex_format):
    if hex_format:
        try:
            return bytes.fromhex(key)
        except ValueError:
            return None
    return key.encode("latin-1")


def key_matches(wireless, network):
    """Whether the stored key would let the device join the network."""
    wanted = network.get("key")
    kind = wireless.get("stadrv_encrypttype", "0")
    cipher = network.get("cipher", "").upper()
    if cipher == "NONE":
        return kind == "0"
    if cipher == "WEP":
        if kind != "1":
            return False
        index = wireless.get("stadrv_defaultkey", "0")
        slot = str(int(index) + 1) if index in ("0", "1", "2", "3") else "1"
        key = wireless.get("key" + slot, "")
        got = _wep_key_bytes(key, wireless.get("stadrv_wepformat" + slot) == "1")
        return got is not None and (wanted is None or got == str(wanted).encode("latin-1"))
    if cipher in ("TKIP", "AES"):
        if kind != "2" or wireless.get("stadrv_wpacipher") != ("1" if cipher == "AES" else "0"):
            return False
        key = wireless.get("stadrv_pskkey", "")
        if wanted is None:
            return len(key) >= 8
        if wireless.get("stadrv_pskformat") == "1":
            pmk = hashlib.pbkdf2_hmac("sha1", str(wanted).encode("latin-1"),
                                      network["ssid"].encode("utf-8"), 4096, 32)
            return key.lower() == pmk.hex()
        return key == str(wanted)
    return False


def join(wireless, networks):
    """The internet side after a boot: joined to the configured network, or not."""
    wan = {"ip": "0.0.0.0", "mask": "0.0.0.0", "gw": "", "dns1": "", "dns2": "",
           "associated": False}
    if wireless.get("stadrv_type") != "3" or not wireless.get("stadrv_ssid"):
        return wan
    for index, network in enumerate(networks):
        if network["ssid"].encode("utf-8").decode("latin-1") != wireless["stadrv_ssid"]:
            continue
        if not key_matches(wireless, network):
            continue
        subnet = 100 + index
        given = network.get("wan", {})
        wan.update({"ip": "192.168.%d.57" % subnet, "mask": "255.255.255.0",
                    "gw": "192.168.%d.1" % subnet, "dns1": "192.168.%d.1" % subnet,
                    "dns2": "8.8.4.4"})
        wan.update({k: str(v) for k, v in given.items() if k in wan})
        wan["associated"] = True
        return wan
    return wan


class Settings:
    """Flash (saved) and running settings of one device."""

    def __init__(self, factory):
        self.factory = copy.deepcopy(factory)
        self.saved = copy.deepcopy(factory)
        self.running = copy.deepcopy(factory)
        self.wan = join(self.running["wireless"], [])

    def boot(self, networks):
        self.running = copy.deepcopy(self.saved)
        self.wan = join(self.running["wireless"], networks)

    def restore_factory(self):
        self.saved = copy.deepcopy(self.factory)

    def change_password(self, new):
        # A new password is written to flash and used at once.
        self.saved["password"] = new
        self.running["password"] = new
