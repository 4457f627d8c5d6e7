"""Command line of the simulated repeater."""

import argparse
import json
import os
import re
import signal
import subprocess
import sys

from . import device as device_module
from .control import ControlServer
from .loop import Loop
from .record import RecordWriter
from .settings import check_lan


def latin1(text):
    """Command-line texts become device bytes in Windows-1252, the wizard's code page."""
    try:
        return text.encode("cp1252").decode("latin-1")
    except UnicodeEncodeError:
        raise argparse.ArgumentTypeError("%r is not Windows-1252 text" % text)


def mac_address(text):
    digits = re.sub(r"[:\-]", "", text)
    if not re.fullmatch(r"[0-9A-Fa-f]{12}", digits):
        raise argparse.ArgumentTypeError("a MAC address is 12 hexadecimal digits: %r" % text)
    return digits.lower()


def fault_list(text):
    return [part for part in re.split(r"[,\s]+", text) if part]


def parse_arguments(argv):
    parser = argparse.ArgumentParser(
        prog="repeater-sim",
        description="A simulated QZ-8061Tr repeater: discovery on UDP 13379, web server on TCP "
                    "80. Run it only inside a network namespace of its own.")
    parser.add_argument("--ip", required=True, help="LAN address (factory setting)")
    parser.add_argument("--mask", required=True, help="LAN subnet mask (factory setting)")
    parser.add_argument("--mac", required=True, type=mac_address, help="12 hex digits")
    parser.add_argument("--model", default="QZ-8061Tr", type=latin1)
    parser.add_argument("--user", default="admin", type=latin1)
    parser.add_argument("--password", required=True, type=latin1)
    parser.add_argument("--record", help="append every datagram and connection received here")
    parser.add_argument("--state", help="keep the current settings here as JSON")
    parser.add_argument("--fault", action="append", default=[], type=fault_list,
                        help="MODE or MODE@/page; repeatable: " + ", ".join(device_module.FAULTS))
    parser.add_argument("--survey", help="JSON file of the networks the site survey lists")
    parser.add_argument("--reply-broadcast", action="store_true",
                        help="answer queries to 255.255.255.255 (no route back to the asker)")
    parser.add_argument("--iface", help="the interface the device owns: MAC, address, link")
    parser.add_argument("--reboot-seconds", type=float, default=8.0,
                        help="time off the network during a reboot (default 8)")
    parser.add_argument("--control", help="Unix socket path for control commands")
    parser.add_argument("--firmware", default="1.0.4", type=latin1,
                        help="firmware version at the factory (default 1.0.4)")
    parser.add_argument("--slow-rate", type=int, default=400,
                        help="bytes per second of the slow fault (default 400)")
    parser.add_argument("--huge-bytes", type=int, default=8 * 1024 * 1024,
                        help="padding of the huge fault (default 8 MiB)")
    parser.add_argument("--http-port", type=int, default=80, help=argparse.SUPPRESS)
    parser.add_argument("--udp-port", type=int, default=13379, help=argparse.SUPPRESS)
    options = parser.parse_args(argv)
    options.fault = [name for group in options.fault for name in group]
    try:
        for name in options.fault:
            device_module.parse_fault(name)
    except ValueError as error:
        parser.error(str(error))
    problem = check_lan(options.ip, options.mask, allow_loopback=True)
    if problem:
        parser.error("%s %s/%s" % (problem, options.ip, options.mask))
    return options


def in_own_network_namespace():
    """The device answers broadcasts: it must never run in the machine's own network."""
    me = os.stat("/proc/self/ns/net").st_ino
    try:
        return me != os.stat("/proc/1/ns/net").st_ino
    except OSError:
        pass        # PID 1 may be out of sight (a sandbox); judge by the namespace itself
    try:
        for name in os.listdir("/run/netns"):
            if os.stat(os.path.join("/run/netns", name)).st_ino == me:
                return True
    except OSError:
        pass
    # An unnamed namespace (unshare --net) passes only if it holds nothing that could lead out.
    try:
        links = json.loads(subprocess.run(["ip", "-d", "-j", "link", "show"], capture_output=True,
                                          text=True, check=True).stdout)
    except (OSError, ValueError, subprocess.CalledProcessError):
        return False
    return all(link.get("link_type") == "loopback"
               or link.get("linkinfo", {}).get("info_kind") in ("veth", "bridge", "dummy")
               for link in links)


def main(argv=None):
    options = parse_arguments(sys.argv[1:] if argv is None else argv)
    if not in_own_network_namespace():
        sys.stderr.write("repeater-sim: refusing to run in the machine's own network namespace; "
                         "start it with 'ip netns exec' or 'unshare --net' (scripts/netns does)\n")
        return 2
    loop = Loop()
    record = RecordWriter(options.record)
    device = device_module.Device(loop, options, record)
    control = ControlServer(loop, options.control, device) if options.control else None
    try:
        device.power_on()
    except OSError as error:
        sys.stderr.write("repeater-sim: cannot start: %s\n" % error)
        return 1
    # The control socket appears last: once it exists, the device is on the network.
    if control:
        control.open()
    loop.stop_on_signals(signal.SIGTERM, signal.SIGINT, signal.SIGHUP)
    loop.run()
    device.log("stopping")
    if control:
        control.close()
    device.http.close(abort=False)
    record.close()
    return 0
