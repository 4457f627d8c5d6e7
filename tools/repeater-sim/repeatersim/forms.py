"""Form bodies decoded the way a web server decodes what a browser posts."""

import re

_HEX = b"0123456789abcdefABCDEF"


def unquote_plus(raw):
    """'+' is a blank, %XX a byte; a '%' not followed by two hex digits stays as it is."""
    out = bytearray()
    index = 0
    while index < len(raw):
        byte = raw[index]
        if byte == 0x2B:
            out.append(0x20)
        elif (byte == 0x25 and index + 2 < len(raw) and raw[index + 1] in _HEX
              and raw[index + 2] in _HEX):
            out.append(int(raw[index + 1:index + 3], 16))
            index += 2
        else:
            out.append(byte)
        index += 1
    return bytes(out)


def parse_urlencoded(body):
    """Returns {name: value} with one-character-per-byte strings; the first of a name wins."""
    fields = {}
    for pair in body.split(b"&"):
        if not pair:
            continue
        name, _, value = pair.partition(b"=")
        key = unquote_plus(name).decode("latin-1")
        fields.setdefault(key, unquote_plus(value).decode("latin-1"))
    return fields


def boundary_of(content_type):
    match = re.search(r"boundary=\"?([^\";]+)\"?", content_type, re.IGNORECASE)
    if not match or not content_type.lower().startswith("multipart/form-data"):
        return None
    return match.group(1).encode("latin-1")


def parse_multipart(body, boundary):
    """Returns {name: (filename or None, content bytes)}; an unreadable body gives {}."""
    delimiter = b"--" + boundary
    parts = {}
    if not body.startswith(delimiter):
        start = body.find(b"\r\n" + delimiter)
        if start < 0:
            return parts
        body = body[start + 2:]
    position = len(delimiter)
    while True:
        if body[position:position + 2] == b"--":
            return parts
        if body[position:position + 2] != b"\r\n":
            return parts
        header_end = body.find(b"\r\n\r\n", position + 2)
        if header_end < 0:
            return parts
        headers = body[position + 2:header_end].decode("latin-1")
        next_delimiter = body.find(b"\r\n" + delimiter, header_end + 4)
        if next_delimiter < 0:
            return parts
        content = body[header_end + 4:next_delimiter]
        disposition = re.search(r"content-disposition:([^\r\n]*)", headers, re.IGNORECASE)
        if disposition:
            name = re.search(r"\bname=\"([^\"]*)\"", disposition.group(1))
            filename = re.search(r"\bfilename=\"([^\"]*)\"", disposition.group(1))
            if name:
                parts.setdefault(name.group(1), (filename.group(1) if filename else None, content))
        position = next_delimiter + 2 + len(delimiter)
