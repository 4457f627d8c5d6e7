"""The device's web server: HTTP/1.1 over plain sockets, one response per connection.

Like a small embedded server it closes the connection after every response, whatever the client
asked for; the fault modes change how (and whether) a response goes out.
"""

import random
import socket
import struct
import time
from dataclasses import dataclass, field

MAX_HEADER = 64 * 1024
# Room for the 128 MiB image the upload benchmark sends.
MAX_BODY = 160 * 1024 * 1024
READ_IDLE_SECONDS = 30.0
SILENT_LIMIT_SECONDS = 600.0
LATE_SECONDS = 12.0
DRAIN_IDLE_SECONDS = 0.3
DRAIN_LIMIT_SECONDS = 2.0
DRIP_PERIOD = 0.1

STATUS_REASONS = {200: "OK", 400: "Bad Request", 401: "Unauthorized", 404: "Not Found",
                  405: "Method Not Allowed", 413: "Request Entity Too Large",
                  501: "Not Implemented"}


@dataclass
class Request:
    method: str
    target: str
    version: str
    headers: dict
    body: bytes
    peer: tuple
    local: tuple
    # Unix times of the request's first and last byte as they were read.
    first_byte_at: float = 0.0
    last_byte_at: float = 0.0

    @property
    def path(self):
        return self.target.split("?", 1)[0]

    def header(self, name, default=""):
        return self.headers.get(name.lower(), default)


@dataclass
class Response:
    status: int
    body: bytes = b""
    content_type: str = "text/html"
    headers: list = field(default_factory=list)
    after: object = None          # called once the response has been handed to the connection

    def serialize(self, keep_alive):
        lines = ["HTTP/1.1 %d %s" % (self.status, STATUS_REASONS.get(self.status, "Error")),
                 "Server: QZ-httpd/1.4", "Pragma: no-cache", "Cache-Control: no-cache",
                 "Content-Type: " + self.content_type]
        lines += self.headers
        if keep_alive:
            # A server that keeps the connection must frame its answers.
            lines += ["Content-Length: %d" % len(self.body), "Connection: Keep-Alive"]
        else:
            lines.append("Connection: close")
        return ("\r\n".join(lines) + "\r\n\r\n").encode("latin-1") + self.body


def garbage_bytes(size=4096):
    """Deterministic bytes that are no HTTP answer: no "HTTP", no "200" among them."""
    data = bytearray(random.Random(7).randbytes(size))
    for marker in (b"HTTP", b"200"):
        index = data.find(marker)
        while index >= 0:
            data[index] ^= 0x80
            index = data.find(marker)
    return bytes(data)


def pad_huge(payload, size):
    """Makes an answer of many megabytes that still carries every marker, after the padding."""
    filler = b"<!-- " + (b"padding " * (size // 8 + 1))[:size] + b" -->\n"
    split = payload.find(b"<head>")
    split = split + 6 if split >= 0 else payload.find(b"\r\n\r\n") + 4
    return payload[:split] + filler + payload[split:]


class Connection:
    def __init__(self, server, sock, peer):
        self.server = server
        self.loop = server.loop
        self.sock = sock
        self.peer = peer
        self.local = sock.getsockname()
        self.pending = bytearray()      # received, not yet parsed
        self.head = None                # (request line, headers, header end, body length)
        self.received = bytearray()     # everything the client sent, for the record
        self.first_byte_at = None       # of the request being read
        self.out = b""
        self.out_pos = 0
        self.out_limit = 0
        self.mode = "reading"
        self.keep_alive = False
        self.reset_after_write = False
        self.peer_done = False
        self.timer = None
        self.drip_timer = None
        self.drain_deadline = None
        sock.setblocking(False)
        self.loop.watch(sock, reader=self.on_readable)
        self._arm(READ_IDLE_SECONDS, self.close)

    # -- timers -----------------------------------------------------------------------------
    def _arm(self, delay, callback):
        if self.timer:
            self.timer.cancel()
        self.timer = self.loop.call_later(delay, callback)

    # -- reading ----------------------------------------------------------------------------
    def on_readable(self):
        try:
            data = self.sock.recv(256 * 1024)
        except BlockingIOError:
            return
        except OSError:
            self.close()
            return
        if not data:
            self.peer_done = True
            if self.mode == "writing":
                self.loop.watch(self.sock, writer=self.on_writable if not self.drip_timer else None)
            else:
                self.close()
            return
        if self.first_byte_at is None:
            self.first_byte_at = time.time()
        self.received += data
        if self.mode == "draining":
            self._arm(DRAIN_IDLE_SECONDS, self.close)
            return
        if self.mode == "reading" or (self.mode == "writing" and self.keep_alive):
            self.pending += data
        if self.mode == "reading":
            self._parse()

    def _parse(self):
        if self.head is None:
            self.head = self._parse_head()
            if self.head is None:
                return
        parts, headers, end, length = self.head
        # Large uploads arrive in many pieces; the header is parsed once, then bytes are counted.
        if len(self.pending) < end + 4 + length:
            self._arm(READ_IDLE_SECONDS, self.close)
            return
        last_byte_at = time.time()
        self.head = None
        body = bytes(self.pending[end + 4:end + 4 + length])
        del self.pending[:end + 4 + length]
        request = Request(parts[0], parts[1], parts[2], headers, body, self.peer, self.local,
                          self.first_byte_at, last_byte_at)
        self.first_byte_at = None
        faults = self.server.faults_for(request.path)
        self.server.log("%s %s %s from %s" % (request.method, request.target, request.version,
                                              self.peer[0]))
        if "silent" in faults:
            self.mode = "silent"
            self._arm(SILENT_LIMIT_SECONDS, self.close)
            return
        response = self.server.handler(request)
        if "late" in faults:
            # Handled now, answered later: a client that gives up first finds the form taken.
            self.mode = "late"
            self._arm(LATE_SECONDS, lambda: self._respond(response, faults - {"late"}))
            return
        self._respond(response, faults)

    def _parse_head(self):
        end = self.pending.find(b"\r\n\r\n")
        if end < 0:
            if len(self.pending) > MAX_HEADER:
                self._respond(Response(400, b"<html><body>Bad Request</body></html>"), set())
            return None
        lines = bytes(self.pending[:end]).decode("latin-1").split("\r\n")
        parts = lines[0].split(" ")
        if len(parts) != 3 or not parts[2].startswith("HTTP/"):
            self._respond(Response(400, b"<html><body>Bad Request</body></html>"), set())
            return None
        headers = {}
        for line in lines[1:]:
            name, colon, value = line.partition(":")
            if colon:
                headers.setdefault(name.strip().lower(), value.strip())
        length_text = headers.get("content-length", "0")
        if not length_text.isdigit():
            self._respond(Response(400, b"<html><body>Bad Content-Length</body></html>"), set())
            return None
        if int(length_text) > MAX_BODY:
            self._respond(Response(413, b"<html><body>Request too large</body></html>"), set())
            return None
        return parts, headers, end, int(length_text)

    # -- writing ----------------------------------------------------------------------------
    def _respond(self, response, faults):
        self.keep_alive = "keep-alive" in faults
        payload = response.serialize(self.keep_alive)
        if "huge" in faults:
            payload = pad_huge(payload, self.server.huge_bytes)
        if "garbage" in faults:
            payload = garbage_bytes()
        self.server.log("  -> %d, %d bytes%s" % (response.status, len(payload),
                                                 (" [" + " ".join(sorted(faults)) + "]")
                                                 if faults else ""))
        self.out = payload
        self.out_pos = 0
        self.reset_after_write = "reset" in faults
        self.out_limit = max(1, len(payload) // 2) if self.reset_after_write else len(payload)
        self.mode = "writing"
        if self.timer:
            self.timer.cancel()
        if "slow" in faults:
            self.loop.watch(self.sock, reader=self.on_readable)
            self.drip_timer = self.loop.call_later(0, self._drip)
        else:
            self.loop.watch(self.sock, reader=None if self.peer_done else self.on_readable,
                            writer=self.on_writable)
        if response.after:
            response.after()

    def _send(self, limit):
        try:
            sent = self.sock.send(self.out[self.out_pos:limit])
        except BlockingIOError:
            return
        except OSError:
            self.close()
            return
        self.out_pos += sent
        if self.out_pos >= self.out_limit:
            self._written()

    def on_writable(self):
        self._send(self.out_limit)

    def _drip(self):
        self.drip_timer = None
        if self.mode != "writing":
            return
        step = max(1, int(self.server.slow_rate * DRIP_PERIOD))
        self._send(min(self.out_limit, self.out_pos + step))
        if self.mode == "writing":
            self.drip_timer = self.loop.call_later(DRIP_PERIOD, self._drip)

    def _written(self):
        if self.drip_timer:
            self.drip_timer.cancel()
            self.drip_timer = None
        if self.reset_after_write:
            self.mode = "resetting"
            self.loop.watch(self.sock)
            self._arm(0.05, lambda: self.close(abort=True))
            return
        if self.keep_alive:
            self.mode = "reading"
            self.loop.watch(self.sock, reader=self.on_readable)
            self._arm(READ_IDLE_SECONDS, self.close)
            if self.pending:
                self._parse()
            return
        # Half-close, then read what the client still sends (a CR LF after the body, say), so
        # that closing with unread data does not turn the FIN into a reset.
        try:
            self.sock.shutdown(socket.SHUT_WR)
        except OSError:
            self.close()
            return
        self.mode = "draining"
        if self.peer_done:
            self.close()
            return
        self.loop.watch(self.sock, reader=self.on_readable)
        self.drain_deadline = self.loop.call_later(DRAIN_LIMIT_SECONDS, self.close)
        self._arm(DRAIN_IDLE_SECONDS, self.close)

    # -- closing ----------------------------------------------------------------------------
    def close(self, abort=False):
        if self.mode == "closed":
            return
        self.mode = "closed"
        for timer in (self.timer, self.drip_timer, self.drain_deadline):
            if timer:
                timer.cancel()
        self.loop.forget(self.sock)
        if abort:
            try:
                self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            except OSError:
                pass
        self.sock.close()
        self.server.connection_closed(self)


class HttpServer:
    def __init__(self, loop, port, handler, faults_for, record, log, slow_rate, huge_bytes):
        self.loop = loop
        self.port = port
        self.handler = handler
        self.faults_for = faults_for
        self.record = record
        self.log = log
        self.slow_rate = slow_rate
        self.huge_bytes = huge_bytes
        self.listener = None
        self.connections = set()

    def open(self):
        listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        listener.bind(("0.0.0.0", self.port))
        listener.listen(32)
        listener.setblocking(False)
        self.listener = listener
        self.loop.watch(listener, reader=self._accept)

    def _accept(self):
        try:
            sock, peer = self.listener.accept()
        except (BlockingIOError, OSError):
            return
        self.connections.add(Connection(self, sock, peer))

    def connection_closed(self, connection):
        self.connections.discard(connection)
        self.record.write("tcp", "%s:%d" % connection.peer[:2], "%s:%d" % connection.local[:2],
                          connection.received)

    def close(self, abort=True):
        """Stops listening and drops every connection (abort: as a power cut would)."""
        if self.listener:
            self.loop.forget(self.listener)
            self.listener.close()
            self.listener = None
        for connection in list(self.connections):
            connection.close(abort=abort)
