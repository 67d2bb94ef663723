#!/usr/bin/env python3
"""Draws the 16 x 16 image of a partition that has a drive letter: a small drive with a green
lamp. Writes a 24-bit BMP; the background is 0xC8C8C8, the colour the image list masks out."""

import struct
import sys

SIZE = 16
BACKGROUND = (0xC8, 0xC8, 0xC8)
OUTLINE = (0x40, 0x40, 0x40)
BODY = (0xE8, 0xE8, 0xE8)
SHADE = (0x90, 0x90, 0x90)
LAMP = (0x20, 0xC0, 0x30)


def pixel(x, y):
    # The drive's box: rows 5 to 11, columns 1 to 14.
    if not (1 <= x <= 14 and 5 <= y <= 11):
        return BACKGROUND
    if x in (1, 14) or y in (5, 11):
        return OUTLINE
    if y == 10:
        return SHADE
    if 11 <= x <= 12 and 7 <= y <= 8:
        return LAMP
    if 3 <= x <= 8 and y == 8:
        return SHADE
    return BODY


def bmp():
    rows = []
    for y in reversed(range(SIZE)):  # bottom-up
        row = b"".join(bytes((b, g, r)) for (r, g, b) in (pixel(x, y) for x in range(SIZE)))
        rows.append(row)  # 48 bytes: already a multiple of 4
    data = b"".join(rows)
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(data), 0, 0, 14 + 40)
    info = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    return header + info + data


if __name__ == "__main__":
    with open(sys.argv[1], "wb") as out:
        out.write(bmp())
