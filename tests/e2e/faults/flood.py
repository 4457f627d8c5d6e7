"""Floods the PC's discovery port for a while; run in the device's namespace. Prints how many
datagrams went out.

usage: flood.py PC_IP SECONDS                 random datagrams, 0 to 2000 bytes long
       flood.py PC_IP SECONDS --valid MODEL N  well-formed replies of N made-up devices of that
                                              model, each MAC in turn, as fast as they go
"""

import os
import random
import socket
import struct
import sys
import time


def random_datagram():
    # Empty, oversized and reply-sized ones are the lengths a receiver treats differently.
    length = random.choice([0, 424, random.randint(0, 2000), random.randint(424, 1024),
                            random.randint(1025, 2000)])
    return os.urandom(length)


def valid_reply(model, index):
    """A 424-byte reply as a device lays it out: each text zero-padded at its offset."""
    mac = struct.pack(">Q", 0x020000000000 + index)[2:]
    reply = bytearray(424)

    def put(offset, data):
        reply[offset:offset + len(data)] = data

    put(0, mac + b"BREVIK\x00\xa0\xff\x60\x01")
    put(17, mac.hex().upper().encode())
    put(49, model.encode())
    put(72, ("10.%d.%d.%d" % (index >> 16 & 255, index >> 8 & 255, index & 255)).encode())
    put(104, b"255.0.0.0")
    put(136, b"admin")
    put(152, b"flood")
    return bytes(reply)


def main():
    target = (sys.argv[1], 13379)
    end = time.monotonic() + float(sys.argv[2])
    if len(sys.argv) == 6 and sys.argv[3] == "--valid":
        replies = [valid_reply(sys.argv[4], i) for i in range(int(sys.argv[5]))]
        pause = 0.0
    else:
        replies = None
        pause = float(os.environ.get("FLOOD_PAUSE", "0.002"))
    sender = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sent = 0
    while time.monotonic() < end:
        datagram = replies[sent % len(replies)] if replies else random_datagram()
        try:
            sender.sendto(datagram, target)
            sent += 1
        except OSError:
            pass
        if pause:
            time.sleep(pause)
    print(sent)
    return 0


if __name__ == "__main__":
    sys.exit(main())
