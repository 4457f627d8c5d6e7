"""What the Locate end-to-end test needs from a simulated device of the current run.

usage: simdevice.py values N   the thirteen values the summary page must show, as JSON
       simdevice.py join N     make device N the repeater of a network, so that every value
                               of its pages has something to show, and reboot it
       simdevice.py udp N      the datagrams device N received: [[unix time, source], ...]
"""

import json
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "sim"))
import simtest  # noqa: E402
from simtest import Device, wait_until  # noqa: E402
from repeatersim import settings as rules  # noqa: E402


def values(device):
    state = device.state()
    running, wan = state["running"], state["wan"]
    wireless = running["wireless"]
    mac = ":".join(device.mac[i:i + 2] for i in range(0, 12, 2)).upper()
    return [mac, running["firmware"], running["ip"], running["mask"],
            "Enable" if running["dhcp"] else "Disable",
            rules.MODE_NAMES[wireless["stadrv_type"]], rules.security_text(wireless),
            wan["ip"] or "0.0.0.0", wireless["stadrv_ssid"], wan["mask"] or "0.0.0.0",
            wan["gw"] or "0.0.0.0", wan["dns1"] or "0.0.0.0", wan["dns2"] or "0.0.0.0"]


def join(device):
    # A device on another subnet is reached through an address of our own, removed at once.
    pc_if = os.environ["KELDA_PC_IF"]
    route = subprocess.run(["ip", "route", "get", device.ip], capture_output=True, text=True)
    borrowed = device.ip.rsplit(".", 1)[0] + ".250/24" if " via " in route.stdout else None
    if borrowed:
        subprocess.run(["ip", "addr", "add", borrowed, "dev", pc_if], check=True)
    try:
        body = (b"stadrv_type=3&stadrv_ssid=OfficeAes&stadrv_chan=3&stadrv_encrypttype=2"
                b"&stadrv_weplength=0&stadrv_defaultkey=0&key1=&stadrv_wepformat1=0&key2="
                b"&stadrv_wepformat2=0&key3=&stadrv_wepformat3=0&key4=&stadrv_wepformat4=0"
                b"&stadrv_wpacipher=1&stadrv_pskformat=0&stadrv_pskkey=aes-secret-1"
                b"&submit-url=%2Fwanwisp.asp")
        request = (b"POST /goform/formStaDrvSetup HTTP/1.1\r\nHost: " + device.ip.encode() +
                   b"\r\nAuthorization: Basic " + device.auth().encode() +
                   b"\r\nContent-Length: %d\r\n\r\n" % len(body) + body)
        if simtest.exchange(device.ip, request).status != 200:
            raise SystemExit("the device did not take the repeater settings")
        before = device.state()["boot_count"]
        device.ctl("reboot", "1")
        wait_until(lambda: device.state()["boot_count"] > before and
                   device.state()["phase"] == "up", 30, what="the device back")
    finally:
        if borrowed:
            subprocess.run(["ip", "addr", "del", borrowed, "dev", pc_if], check=True)
    # From here on the record holds only what the wizard sends.
    open(device.record_path, "wb").close()


def udp(device):
    return [[r.time, r.source] for r in device.records("udp")]


def main():
    command, number = sys.argv[1], int(sys.argv[2])
    device = Device(number)
    if command == "values":
        print(json.dumps(values(device)))
    elif command == "join":
        join(device)
        print("[]")
    elif command == "udp":
        print(json.dumps(udp(device)))
    else:
        raise SystemExit(__doc__)
    return 0


if __name__ == "__main__":
    sys.exit(main())
