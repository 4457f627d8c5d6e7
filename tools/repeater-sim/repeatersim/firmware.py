"""The firmware image format this device accepts.

    offset  size  content
    0       8     magic b"QZFWIMG\\x1a"
    8       4     format version, 1 (big-endian)
    12      4     payload length N (big-endian)
    16      32    model name, zero-padded
    48      32    firmware version text, zero-padded
    80      4     CRC-32 of the payload (big-endian)
    84      4     CRC-32 of bytes 0..83 (big-endian)
    88      N     payload

An image is valid when the magic, the header CRC, the model, the total length (88 + N) and the
payload CRC all agree.
"""

import random
import struct
import zlib

MAGIC = b"QZFWIMG\x1a"
HEADER = struct.Struct(">8sII32s32sI")
HEADER_SIZE = HEADER.size + 4
INVALID_KINDS = ("checksum", "signature", "model", "truncated", "header")


def build_image(size, version, model, invalid=None, seed=1):
    """Returns an image of exactly size bytes; invalid names the one defect to build in."""
    if size < HEADER_SIZE:
        raise ValueError("an image needs at least %d bytes" % HEADER_SIZE)
    # Pseudo-random payload: zero bytes, CR LF and question marks all occur in it.
    payload = bytearray(random.Random(seed).randbytes(size - HEADER_SIZE))
    declared = len(payload) + (16 if invalid == "truncated" else 0)
    image_model = (model + "X") if invalid == "model" else model
    magic = b"QZFWIMG\x00" if invalid == "signature" else MAGIC
    head = HEADER.pack(magic, 1, declared, image_model.encode("latin-1"), version.encode("latin-1"),
                       zlib.crc32(payload))
    head_crc = zlib.crc32(head) ^ (1 if invalid == "header" else 0)
    if invalid == "checksum":
        if payload:
            payload[len(payload) // 2] ^= 0x01
        else:
            head_crc ^= 1
    return head + struct.pack(">I", head_crc) + bytes(payload)


def check_image(data, model):
    """Returns (True, version) for a valid image, else (False, reason)."""
    if len(data) < HEADER_SIZE:
        return False, "shorter than the header"
    magic, fmt, length, image_model, version, payload_crc = HEADER.unpack_from(data)
    (head_crc,) = struct.unpack_from(">I", data, HEADER.size)
    if magic != MAGIC:
        return False, "no firmware signature"
    if zlib.crc32(data[:HEADER.size]) != head_crc:
        return False, "header checksum mismatch"
    if fmt != 1:
        return False, "unknown format version %d" % fmt
    if image_model.rstrip(b"\0") != model.encode("latin-1"):
        return False, "image is for model %r" % image_model.rstrip(b"\0").decode("latin-1")
    if len(data) != HEADER_SIZE + length:
        return False, "length %d, header says %d" % (len(data), HEADER_SIZE + length)
    if zlib.crc32(data[HEADER_SIZE:]) != payload_crc:
        return False, "payload checksum mismatch"
    return True, version.rstrip(b"\0").decode("latin-1")
