"""The wireless networks the device's site survey reports."""

import json

# Every security class the wizard distinguishes, plus one it cannot handle.
DEFAULT_NETWORKS = [
    {"ssid": "CafeOpen", "bssid": "00:0e:8e:10:20:01", "channel": "1", "cipher": "NONE",
     "auth": "OPEN", "signal": "92", "mode": "11b/g"},
    {"ssid": "OldWep", "bssid": "00:0e:8e:10:20:02", "channel": "6", "cipher": "WEP",
     "auth": "OPEN", "signal": "71", "mode": "11b/g", "key": "12345"},
    {"ssid": "HomeTkip", "bssid": "00:0e:8e:10:20:03", "channel": "11", "cipher": "TKIP",
     "auth": "WPAPSK", "signal": "66", "mode": "11b/g/n", "key": "tkip-secret"},
    {"ssid": "OfficeAes", "bssid": "00:0e:8e:10:20:04", "channel": "3", "cipher": "AES",
     "auth": "WPA2PSK", "signal": "58", "mode": "11b/g/n", "key": "aes-secret-1"},
    {"ssid": "MixedMode", "bssid": "00:0e:8e:10:20:05", "channel": "9", "cipher": "TKIPAES",
     "auth": "WPA1PSKWPA2PSK", "signal": "40", "mode": "11b/g/n", "key": "mixed-secret"},
]

FIELDS = ("ssid", "bssid", "channel", "cipher", "auth", "signal", "mode")


def load_networks(path):
    """Reads the survey file on every call, so that a test can change what the device sees."""
    if not path:
        return [dict(n) for n in DEFAULT_NETWORKS]
    with open(path, encoding="utf-8") as handle:
        data = json.load(handle)
    if isinstance(data, dict):
        data = data.get("networks", [])
    networks = []
    for index, entry in enumerate(data):
        network = {field: str(entry.get(field, "")) for field in FIELDS}
        if not network["bssid"]:
            network["bssid"] = "00:0e:8e:00:00:%02x" % (index & 0xFF)
        for extra in ("key", "wan"):
            if extra in entry:
                network[extra] = entry[extra]
        networks.append(network)
    return networks
