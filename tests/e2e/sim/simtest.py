"""Helpers for tests that run inside the PC namespace of scripts/netns."""

import base64
import json
import os
import socket
import subprocess
import sys
import time
import unittest

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", "..", ".."))
SIM_DIR = os.path.join(ROOT, "tools", "repeater-sim")
sys.path.insert(0, SIM_DIR)

from repeatersim.record import read_records  # noqa: E402

QUERY = b"\xff" * 6 + b"BREVIK" + b"\x00\xa0\xff\x5f"
PORT = 13379


def wait_until(check, timeout, interval=0.1, what="condition"):
    deadline = time.monotonic() + timeout
    while True:
        value = check()
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError("timed out after %.1f s waiting for %s" % (timeout, what))
        time.sleep(interval)


class Device:
    """One simulated device of the current run, as the harness describes it."""

    def __init__(self, number=1):
        prefix = "KELDA_DEV%d_" % number
        self.number = number
        for name in ("ip", "mask", "mac", "model", "user", "password", "control", "log"):
            setattr(self, name, os.environ[prefix + name.upper()])
        self.record_path = os.environ[prefix + "RECORD"]
        self.state_path = os.environ[prefix + "STATE"]

    def ctl(self, *words):
        result = subprocess.run([os.environ["KELDA_SIM_CTL"], self.control] + list(words),
                                capture_output=True, text=True, timeout=15)
        answer = json.loads(result.stdout)
        if not answer.get("ok"):
            raise AssertionError("control %s refused: %s" % (words, answer.get("error")))
        return answer["state"]

    def state(self):
        with open(self.state_path, encoding="utf-8") as handle:
            return json.load(handle)

    def records(self, kind=None):
        return [r for r in read_records(self.record_path) if kind is None or r.kind == kind]

    def auth(self, user=None, password=None):
        user = self.user if user is None else user
        password = self.password if password is None else password
        return base64.b64encode((user + ":" + password).encode("latin-1")).decode("ascii")

    def wait_phase(self, phase, timeout=20):
        return wait_until(lambda: self.state()["phase"] == phase, timeout, what="phase " + phase)


def devices():
    return [Device(n) for n in range(1, int(os.environ["KELDA_DEV_COUNT"]) + 1)]


def query(destination="255.255.255.255", payload=QUERY, wait=1.5, interface=None):
    """Sends one datagram from port 13379 and returns every (data, source) that comes back."""
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as sock:
        sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        sock.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
        if interface:
            sock.setsockopt(socket.SOL_SOCKET, socket.SO_BINDTODEVICE, interface.encode())
        sock.bind(("0.0.0.0", PORT))
        sock.sendto(payload, (destination, PORT))
        answers = []
        deadline = time.monotonic() + wait
        while True:
            left = deadline - time.monotonic()
            if left <= 0:
                return answers
            sock.settimeout(left)
            try:
                data, source = sock.recvfrom(4096)
            except socket.timeout:
                return answers
            if data != payload:             # our own broadcast comes back too
                answers.append((data, source))


def field(reply, offset):
    """A reply field read the way the wizard reads it: up to the first zero byte."""
    end = reply.find(b"\0", offset)
    return reply[offset:end if end >= 0 else len(reply)]


class Exchange:
    """What came back on one TCP connection, and how the connection ended."""

    def __init__(self, data, ending, chunks):
        self.data = data
        self.ending = ending        # "closed", "reset" or "open" (still open at the deadline)
        self.chunks = chunks        # (seconds since the request, bytes) per receive

    @property
    def text(self):
        return self.data.decode("latin-1")

    @property
    def status(self):
        line = self.data.split(b"\r\n", 1)[0].split(b" ")
        return int(line[1]) if len(line) > 1 and line[1].isdigit() else None

    @property
    def body(self):
        return self.data.partition(b"\r\n\r\n")[2]


def exchange(ip, request, wait=5.0, port=80, connect_timeout=3.0):
    """Sends raw request bytes on a fresh connection and reads until close, reset or wait."""
    sock = socket.create_connection((ip, port), timeout=connect_timeout)
    try:
        sock.sendall(request)
        start = time.monotonic()
        data, chunks = bytearray(), []
        while True:
            left = start + wait - time.monotonic()
            if left <= 0:
                return Exchange(bytes(data), "open", chunks)
            sock.settimeout(left)
            try:
                chunk = sock.recv(1 << 20)
            except socket.timeout:
                return Exchange(bytes(data), "open", chunks)
            except ConnectionResetError:
                return Exchange(bytes(data), "reset", chunks)
            if not chunk:
                return Exchange(bytes(data), "closed", chunks)
            chunks.append((time.monotonic() - start, chunk))
            data += chunk
    finally:
        sock.close()


def browser_get(device, path, auth=None, ip=None):
    """A GET shaped like the wizard's page requests (Keep-Alive asked for, Basic credentials)."""
    ip = ip or device.ip
    auth = device.auth() if auth is None else auth
    return ("GET %s HTTP/1.1\r\nAccept: */*\r\nAccept-Language: en-us\r\nHost: %s\r\n"
            "Connection: Keep-Alive\r\nAuthorization: Basic %s\r\n\r\n" % (path, ip, auth)
            ).encode("latin-1")


def form_post(device, path, body, auth=None, ip=None, content_type=None, trailer=b""):
    """A form post shaped like the wizard's: lower-case content-Length, body unencoded."""
    ip = ip or device.ip
    auth = device.auth() if auth is None else auth
    if isinstance(body, str):
        body = body.encode("latin-1")
    content_type = content_type or "application/x-www-form-urlencoded"
    head = ("POST %s HTTP/1.1\r\nAccept: */*\r\nReferer: http://%s/\r\nAccept-Language: en-us\r\n"
            "Content-Type: %s\r\nHost: %s\r\ncontent-Length: %d\r\nConnection: Keep-Alive\r\n"
            "Cache-Control: no-cache\r\nAuthorization: Basic %s\r\n\r\n"
            % (path, ip, content_type, ip, len(body), auth)).encode("latin-1")
    return head + body + trailer


def get_page(device, path, ip=None):
    result = exchange(ip or device.ip, browser_get(device, path, ip=ip))
    if result.status != 200 or result.ending != "closed":
        raise AssertionError("GET %s: status %s, connection %s" % (path, result.status,
                                                                   result.ending))
    return result.text


def reachable(ip, port=80, timeout=0.5):
    try:
        socket.create_connection((ip, port), timeout=timeout).close()
        return True
    except OSError:
        return False


class Scraper:
    """Cuts values out of a page the way the wizard's scrapers do: markers in order, never back."""

    DIV = '<div align="left">'

    def __init__(self, text):
        self.text = text

    def skip_to(self, marker):
        index = self.text.find(marker)
        if index >= 0:
            self.text = self.text[index:]
        return index >= 0

    def skip_past(self, marker):
        index = self.text.find(marker)
        self.text = self.text[index + len(marker):] if index >= 0 else self.text[len(marker) - 1:]
        return index >= 0

    def take_until(self, marker):
        index = self.text.find(marker)
        return self.text[:index].strip() if index > 0 else ""

    def value(self, marker, end="</div>", start=DIV):
        """Skip-to marker, skip-past start, take until end; None when a marker is missing."""
        if not self.skip_to(marker) or not self.skip_past(start):
            return None
        return self.take_until(end)


def multipart_upload(image):
    """The upload body exactly as the wizard builds it (boundary, fixed file name, extra fields)."""
    line = b"-----------------------------7d9222c1903be"
    body = (line + b"\r\nContent-Disposition: form-data; name=\"binary\"; filename=\"c:\\1.bin\""
            b"\r\nContent-Type: text/plain\r\n\r\n" + image)
    for name, value in ((b"submit-url", b"03_02_firmware_b.asp"), (b"main_menu_number", b"4"),
                        (b"sub_menu_number", b"2"), (b"third_menu_number", b"0")):
        body += (b"\r\n" + line + b"\r\nContent-Disposition: form-data; name=\"" + name +
                 b"\"\r\n\r\n" + value)
    return body + b"\r\n" + line + b"--\r\n"


MULTIPART_TYPE = "multipart/form-data; boundary=---------------------------7d9222c1903be"


def make_firmware(path, size, *extra):
    subprocess.run([os.environ["KELDA_MAKE_FIRMWARE"], "--size", str(size), path] + list(extra),
                   check=True)
    with open(path, "rb") as handle:
        return handle.read()


def main():
    if "KELDA_NETNS_TOPOLOGY" not in os.environ:
        sys.stderr.write("run me through scripts/netns with TOPOLOGY -- ...\n")
        sys.exit(2)
    unittest.main(module="__main__", verbosity=2)
