"""Runs the console driver inside the PC namespace of scripts/netns and checks what it did
against the simulated repeater: its record of the requests, its state, its pages' values.

usage: check_console.py MODE DRIVER
"""

import base64
import json
import os
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "sim"))
import simtest  # noqa: E402
from simtest import Device  # noqa: E402
sys.path.insert(0, os.path.join(HERE, "..", "locate"))
import simdevice  # noqa: E402

FAILURES = []


def check(condition, what):
    if not condition:
        FAILURES.append(what)
        print("FAIL:", what)


def run_driver(driver, device, user=None, password=None, extra=(), timeout=170):
    args = [driver, "--ip", device.ip, "--mask", device.mask,
            "--user", device.user if user is None else user,
            "--password", device.password if password is None else password] + list(extra)
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    started = time.monotonic()
    done = subprocess.run(args, capture_output=True, text=True, timeout=timeout, env=env)
    sys.stderr.write(done.stderr[-4000:])
    if done.returncode != 0:
        raise SystemExit("driver ended with %d" % done.returncode)
    result = json.loads(done.stdout.strip().splitlines()[-1])
    result["wall"] = time.monotonic() - started
    print("driver:", json.dumps(result))
    return result


def status_get(page, ip, auth):
    # Written out from the request tables, line by line.
    return (b"GET " + page + b" HTTP/1.1\r\n"
            b"Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, "
            b"application/x-shockwave-flash, */*\r\n"
            b"Referer: http://" + ip + page + b"\r\n"
            b"Accept-Language: en-us\r\n"
            b"UA-CPU: x86\r\n"
            b"Accept-Encoding: gzip, deflate\r\n"
            b"User-Agent: Mozilla/4.0 (compatible; MSIE 7.0; Windows NT 5.1; .NET CLR 1.1.4322; "
            b".NET CLR 2.0.50727)\r\n"
            b"Host: " + ip + b"\r\n"
            b"Connection: Keep-Alive\r\n"
            b"Authorization: Basic " + auth + b"\r\n\r\n")


def check_chain_requests(device, auth):
    requests = [r.data for r in device.records("tcp")]
    ip = device.ip.encode()
    expected = [status_get(page, ip, auth) for page in
                (b"/02_02_02_homenet.asp", b"/02_02_01_int.asp", b"/02_00_00_status.asp")]
    check(requests[:3] == expected, "the three requests byte-exact: %r" % requests[:3])
    return requests


VALUE_NAMES = ("lan_mac", "firmware", "lan_ip", "lan_mask", "dhcp", "mode", "security", "wan_ip",
               "ssid", "wan_mask", "gateway", "dns1", "dns2")


def expected_values(device):
    return dict(zip(VALUE_NAMES, simdevice.values(device)))


def mode_chain(driver, device):
    simdevice.join(device)
    result = run_driver(driver, device)
    values = expected_values(device)
    check(result["values"] == values, "all thirteen values: %r != %r" % (result["values"], values))
    check(all(result["values"].values()), "no value empty")
    check(result["bitmaps"] == [172, 175, 179, 171], "progress pictures %r" % result["bitmaps"])
    check(result["messages"] == [], "no message")
    check(result["console_visible"], "the console stays")
    check_chain_requests(device, device.auth().encode())


def mode_lower_mac(driver, device):
    result = run_driver(driver, device)
    check(result["values"]["lan_mac"] == expected_values(device)["lan_mac"],
          "lower-case MAC stored upper case: %r" % result["values"]["lan_mac"])
    page = simtest.exchange(device.ip, b"GET /02_02_02_homenet.asp HTTP/1.1\r\nAuthorization: "
                            b"Basic " + device.auth().encode() + b"\r\n\r\n").text
    check(device.mac.lower()[:2] + ":" + device.mac.lower()[2:4] in page,
          "the device's page shows it in lower case")


def mode_unauthorized(driver, device):
    result = run_driver(driver, device, password="wrong", extra=["--prefill", "kept"])
    check(all(v == "kept" for v in result["values"].values()),
          "values untouched by 401 answers: %r" % result["values"])
    check(result["messages"] == [], "a 401 is no lost connection")
    check(result["bitmaps"] == [172, 175, 179, 171], "the chain went on: %r" % result["bitmaps"])
    wrong = base64.b64encode(("%s:wrong" % device.user).encode()).decode().encode()
    check_chain_requests(device, wrong)
    counters = device.ctl("status")["counters"]
    check(counters["unauthorized"] >= 3, "the device refused three times: %r" % counters)


def mode_down(driver, device):
    result = run_driver(driver, device)
    check(result["messages"] == ["Cannot Connect to Repeater."], "message %r" % result["messages"])
    check(not result["console_visible"], "back to the Locate page")
    check(all(v == "" for v in result["values"].values()), "no value")


def mode_forms(driver, device):
    key = "a&b=c+d%e f"
    password = "n&w=p+%"
    result = run_driver(driver, device, extra=["--repeater", "HomeTkip:11:" + key,
                                               "--new-password", password])
    check(result["sent"] == ["REPEATER", "SETUPPASSWORD"], "both sent")
    saved = device.state()["saved"]
    check(saved["wireless"]["stadrv_pskkey"] == key, "key arrives whole: %r" %
          saved["wireless"]["stadrv_pskkey"])
    check(saved["wireless"]["stadrv_ssid"] == "HomeTkip", "ssid")
    check(saved["password"] == password, "password arrives whole: %r" % saved["password"])
    check(not result["console_visible"], "a password change ends on the Locate page")


class NoDevice:
    """The 'none' topology: the device the driver is pointed at does not exist."""
    ip, mask, user, password = "192.168.77.10", "255.255.255.0", "admin", "s3cret"


def main():
    mode, driver = sys.argv[1], sys.argv[2]
    device = NoDevice() if mode == "absent" else Device(1)
    {"chain": mode_chain, "lower-mac": mode_lower_mac, "unauthorized": mode_unauthorized,
     "down": mode_down, "absent": mode_down, "forms": mode_forms}[mode](driver, device)
    if FAILURES:
        print("%d check(s) failed" % len(FAILURES))
        return 1
    print("ok")
    return 0


if __name__ == "__main__":
    sys.exit(main())
