"""The control socket: a test tells a running device to reboot, vanish, come back or misbehave.

One command line per connection, one JSON line back: {"ok": true, "state": {...}} or
{"ok": false, "error": "..."}.
"""

import json
import os
import shlex
import socket

from .device import parse_fault

HELP = ("ping | status | reboot [SECONDS] | power-off | power-on | unplug | plug | away | back | "
        "fault MODE... | fault none | fault-add MODE | fault-remove MODE | factory-reset")


class ControlServer:
    def __init__(self, loop, path, device):
        self.loop = loop
        self.path = path
        self.device = device
        self.listener = None

    def open(self):
        if os.path.exists(self.path):
            os.unlink(self.path)
        listener = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        listener.bind(self.path)
        listener.listen(8)
        listener.setblocking(False)
        self.listener = listener
        self.loop.watch(listener, reader=self._accept)

    def close(self):
        if self.listener:
            self.loop.forget(self.listener)
            self.listener.close()
            self.listener = None
            try:
                os.unlink(self.path)
            except OSError:
                pass

    def _accept(self):
        try:
            sock, _ = self.listener.accept()
        except OSError:
            return
        sock.setblocking(False)
        buffer = bytearray()

        def readable():
            try:
                data = sock.recv(4096)
            except BlockingIOError:
                return
            except OSError:
                data = b""
            buffer.extend(data)
            if data and b"\n" not in buffer and len(buffer) < 4096:
                return
            self.loop.forget(sock)
            reply = self.execute(bytes(buffer).split(b"\n", 1)[0].decode("utf-8", "replace"))
            try:
                sock.setblocking(True)
                sock.sendall((json.dumps(reply) + "\n").encode("utf-8"))
            except OSError:
                pass
            sock.close()

        self.loop.watch(sock, reader=readable)

    def execute(self, line):
        try:
            words = shlex.split(line)
        except ValueError as error:
            return {"ok": False, "error": str(error)}
        if not words:
            return {"ok": False, "error": "empty command; commands: " + HELP}
        command, arguments = words[0], words[1:]
        device = self.device
        try:
            if command == "ping":
                pass
            elif command == "status":
                pass
            elif command == "reboot":
                device.reboot(float(arguments[0]) if arguments else None)
            elif command == "power-off":
                device.power_off()
            elif command == "power-on":
                if device.phase in ("off", "rebooting"):
                    device.power_on()
            elif command in ("unplug", "away"):
                device.unplug()
            elif command in ("plug", "back"):
                device.plug()
            elif command == "factory-reset":
                device.settings.restore_factory()
                device.save_state()
            elif command == "fault":
                names = [] if arguments in ([], ["none"]) else arguments
                device.set_faults([parse_fault(name) for name in names])
            elif command == "fault-add":
                device.set_faults(device.faults + [parse_fault(name) for name in arguments])
            elif command == "fault-remove":
                remove = {parse_fault(name) for name in arguments}
                device.set_faults([f for f in device.faults if f not in remove])
            else:
                return {"ok": False, "error": "unknown command %r; commands: %s" % (command, HELP)}
        except (ValueError, OSError) as error:
            return {"ok": False, "error": str(error)}
        return {"ok": True, "state": device.state()}
