"""Sends random datagrams, 0 to 2000 bytes long, to the PC's discovery port for a while; run in
the device's namespace. Prints how many went out.

usage: flood.py PC_IP SECONDS
"""

import os
import random
import socket
import sys
import time


def main():
    target = (sys.argv[1], 13379)
    end = time.monotonic() + float(sys.argv[2])
    sender = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sent = 0
    while time.monotonic() < end:
        # Empty, oversized and reply-sized ones are the lengths a receiver treats differently.
        length = random.choice([0, 424, random.randint(0, 2000), random.randint(424, 1024),
                                random.randint(1025, 2000)])
        try:
            sender.sendto(os.urandom(length), target)
            sent += 1
        except OSError:
            pass
        time.sleep(float(os.environ.get("FLOOD_PAUSE", "0.002")))
    print(sent)
    return 0


if __name__ == "__main__":
    sys.exit(main())
