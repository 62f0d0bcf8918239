#!/usr/bin/env python3
"""Writes the seed corpus of the bundle reader's fuzz target: small bundled files, whole and spoilt."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "corpus", "bundle_reader")
MAGIC = b"tesmora\0"


def record(name, attribute, data):
    raw = name.encode()[:32].ljust(32, b"\0")
    return struct.pack("<i", 38 + len(data)) + struct.pack(">H", attribute) + raw + data


def bundle(image, records, version=4):
    body = b"".join(records)
    starts, at = [], 0
    for r in records:
        starts.append(at)
        at += len(r)
    trailer_length = 4 * len(records) + 14
    total = len(body) + trailer_length
    trailer = b"".join(struct.pack("<I", total - s) for s in starts)
    trailer += struct.pack("<HHH", version, len(records), trailer_length) + MAGIC
    return image + body + trailer


def message(caption, text, live=5, ftp=1, tftp=1, steady=0):
    head = b"VELT-note".ljust(16, b"\0") + caption.encode().ljust(64, b"\0")
    head += struct.pack("<H", live) + bytes([ftp, tftp, 0]) + bytes(32) + bytes(1)
    head += struct.pack("<H", len(text)) + struct.pack("<I", 0x00FFEEDD) + bytes([steady])
    return head + text


IMAGE = b"\x7fELF" + bytes(60)
FILES = {
    "plain": IMAGE,
    "empty": b"",
    "magic-only": MAGIC,
    "count-zero": bundle(IMAGE, []),
    "one-image": bundle(IMAGE, [record("main.bin", 0x080D, b"firmware" * 8)]),
    "five-kinds": bundle(IMAGE, [
        record("control.cfg", 0x1000, bytes(117) + b"\x9f" + bytes(106)),
        record("main.bin", 0x080D, b"A" * 100),
        record("abc_boot.bin", 0x081A, b"B" * 50),
        record("hello", 0x0403, message("Hello", b"{\\rtf1 Hi \\b there\\b0 }")),
        record("keep.txt", 0x0100, b"kept"),
    ]),
    "version-3": bundle(IMAGE, [record("a.bin", 0x080D, b"x")], version=3),
    "name-dotdot": bundle(IMAGE, [record("..", 0x080D, b"x")]),
    "name-slash": bundle(IMAGE, [record("../escape", 0x080D, b"x")]),
    "name-32": bundle(IMAGE, [record("N" * 32, 0x080D, b"x")]),
    "duplicate": bundle(IMAGE, [record("x", 0x080D, b"1"), record("x", 0x080D, b"22")]),
    "sixty-five": bundle(IMAGE, [record("f%d" % i, 0x080D, b"") for i in range(65)]),
}
spoilt = bytearray(FILES["one-image"])
struct.pack_into("<i", spoilt, len(IMAGE), 20)
FILES["record-length-20"] = bytes(spoilt)
spoilt = bytearray(FILES["one-image"])
struct.pack_into("<i", spoilt, len(IMAGE), 0x7FFFFFFF)
FILES["record-past-end"] = bytes(spoilt)
spoilt = bytearray(FILES["one-image"])
struct.pack_into("<H", spoilt, len(spoilt) - 10, 0xFFFF)
FILES["trailer-too-long"] = bytes(spoilt)
spoilt = bytearray(FILES["five-kinds"])
struct.pack_into("<H", spoilt, len(spoilt) - 12, 9)
FILES["count-mismatch"] = bytes(spoilt)

os.makedirs(OUT, exist_ok=True)
for name, data in FILES.items():
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(data)
print("wrote %d seeds to %s" % (len(FILES), OUT))
