#!/usr/bin/env python3
# An .ico file holding PNG images as they are (Windows Vista and later read
# PNG entries), from the icon's PNG sizes in res/icons/hicolor.
#   make_ico.py OUT.ico IN.png...
import struct
import sys


def png_size(data):
    if data[:8] != b"\x89PNG\r\n\x1a\n" or data[12:16] != b"IHDR":
        raise SystemExit("make_ico: not a PNG file")
    return struct.unpack(">II", data[16:24])


def main():
    out, inputs = sys.argv[1], sys.argv[2:]
    images = [open(p, "rb").read() for p in inputs]
    header = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b""
    for data in images:
        w, h = png_size(data)
        if w > 256 or h > 256:
            raise SystemExit("make_ico: an icon is at most 256 pixels wide")
        # 256 is written as 0: the field is one byte.
        entries += struct.pack("<BBBBHHII", w % 256, h % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(out, "wb") as f:
        f.write(header + entries + b"".join(images))


main()
