"""The record file: every datagram and every TCP connection's received bytes, unaltered.

Each record is one header line followed by the raw bytes and a newline:

    #REC <seq> <kind> <unix-time> <source ip:port> <destination ip:port> <length>\\n
    <length raw bytes>\\n

kind is "udp" (one datagram) or "tcp" (everything one client sent on one connection, written when
the connection ends). The header is ASCII, so the file can be read by anything that can read a line
and then a counted number of bytes.
"""

import time
from dataclasses import dataclass


@dataclass
class Record:
    seq: int
    kind: str
    time: float
    source: str
    destination: str
    data: bytes


class RecordWriter:
    def __init__(self, path):
        self._path = path
        self._seq = 0
        if path:
            # Open once in append mode; several writers never share a file.
            self._file = open(path, "ab", buffering=0)
        else:
            self._file = None

    def write(self, kind, source, destination, data):
        if not self._file:
            return
        self._seq += 1
        header = "#REC %d %s %.6f %s %s %d\n" % (self._seq, kind, time.time(), source, destination,
                                                len(data))
        # One write call per record, so that a reader polling the file sees whole records.
        self._file.write(header.encode("ascii") + bytes(data) + b"\n")

    def close(self):
        if self._file:
            self._file.close()
            self._file = None


def read_records(path):
    """Returns the records of a record file; a record still being written is left out."""
    records = []
    try:
        with open(path, "rb") as handle:
            blob = handle.read()
    except FileNotFoundError:
        return records
    pos = 0
    while pos < len(blob):
        end = blob.find(b"\n", pos)
        if end < 0:
            break
        fields = blob[pos:end].decode("ascii").split(" ")
        if len(fields) != 7 or fields[0] != "#REC":
            raise ValueError("bad record header at byte %d of %s" % (pos, path))
        length = int(fields[6])
        start = end + 1
        if start + length + 1 > len(blob):
            break
        records.append(Record(int(fields[1]), fields[2], float(fields[3]), fields[4], fields[5],
                              blob[start:start + length]))
        pos = start + length + 1
    return records


def format_peer(address):
    return "%s:%d" % (address[0], address[1])

