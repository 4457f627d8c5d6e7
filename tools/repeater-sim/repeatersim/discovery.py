"""The discovery query this device answers and the reply it sends."""

QUERY = b"\xff" * 6 + b"BREVIK" + b"\x00\xa0\xff\x5f"
REPLY_SIZE = 424
LONG_REPLY_SIZE = 1100
WRONG_MODEL = "QZ-8060Tr"

# (offset, space) of each text field; the password runs to the end of the datagram.
FIELDS = {"mac": (17, 32), "model": (49, 23), "ip": (72, 32), "mask": (104, 32),
          "user": (136, 16), "password": (152, None)}


def _with_apostrophe(text, position):
    position = min(position, len(text))
    return text[:position] + "'" + text[position:]


def reply_fields(device, faults):
    running = device.settings.running
    mac = device.mac_hex.lower() if "lower-mac" in faults else device.mac_hex.upper()
    model = device.model
    if "wrong-model" in faults:
        model = WRONG_MODEL
    if "model-crlf" in faults:
        model += "\r\n"
    fields = {"mac": mac, "model": model, "ip": running["ip"], "mask": running["mask"],
              "user": running["user"], "password": running["password"]}
    if "apostrophes" in faults:
        # The wizard strips apostrophes from every field but the model.
        for name, position in (("mac", 2), ("ip", 0), ("mask", len(fields["mask"])),
                               ("user", 2), ("password", 1)):
            fields[name] = _with_apostrophe(fields[name], position)
    return fields


def build_reply(device, faults):
    """Returns the datagrams to send for one query (none, one or two)."""
    if "no-discovery" in faults:
        return []
    size = LONG_REPLY_SIZE if "long-reply" in faults else REPLY_SIZE
    reply = bytearray(size)
    # Bytes 0-16 are not read by the wizard: the MAC in binary, the signature, an answer code.
    reply[0:6] = bytes.fromhex(device.mac_hex)
    reply[6:12] = b"BREVIK"
    reply[12:17] = b"\x00\xa0\xff\x60\x01"
    unterminated = "unterminated" in faults
    for name, text in reply_fields(device, faults).items():
        offset, space = FIELDS[name]
        if space is None:
            space = REPLY_SIZE - offset
        data = text.encode("latin-1")
        if unterminated:
            data = data[:space].ljust(space, b" ")
        else:
            data = data[:space - 1]
        reply[offset:offset + len(data)] = data
    if "short-reply" in faults:
        reply = reply[:REPLY_SIZE - 1]
    copies = 2 if "duplicate" in faults else 1
    return [bytes(reply)] * copies
