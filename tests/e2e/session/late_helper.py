#!/usr/bin/env python3
"""Stands between the wizard and the real network helper (KELDA_REAL_HELPER) and delivers the
helper's answer to the first neighbour flush 6 s late, after the wizard's 5 s wait. Writes what
happened to KELDA_LATE_RECORD: "held" when it holds the answer back, "late" when it sends it,
"request" for every other request it passes on after that."""

import os
import socket
import subprocess
import threading
import time

FLUSH = 6
DELAY = 6.0

wizard = socket.socket(fileno=os.dup(0))
os.close(0)
helper_end, ours = socket.socketpair(socket.AF_UNIX, socket.SOCK_SEQPACKET)
helper = subprocess.Popen([os.environ["KELDA_REAL_HELPER"]], stdin=helper_end)
helper_end.close()
record = open(os.environ["KELDA_LATE_RECORD"], "a", buffering=1)
held = {"sequence": None, "done": False}
lock = threading.Lock()


def note(word):
    with lock:
        record.write(word + "\n")


def send_late(reply):
    time.sleep(DELAY)
    note("late")
    wizard.send(reply)


def answers():
    while True:
        reply = ours.recv(4096)
        if not reply:
            break
        sequence = int.from_bytes(reply[-4:], "little")
        if sequence == held["sequence"]:
            threading.Thread(target=send_late, args=(reply,), daemon=True).start()
        else:
            wizard.send(reply)


threading.Thread(target=answers, daemon=True).start()
while True:
    request = wizard.recv(4096)
    if not request:
        break
    op = int.from_bytes(request[:4], "little")
    if op == FLUSH and not held["done"]:
        held.update(sequence=int.from_bytes(request[32:36], "little"), done=True)
        note("held")
    elif held["done"]:
        note("request")
    ours.send(request)
# A plain close would leave the reader thread's recv holding the socket open.
ours.shutdown(socket.SHUT_RDWR)
helper.wait()
