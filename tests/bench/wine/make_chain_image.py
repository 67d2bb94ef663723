#!/usr/bin/env python3
"""Writes a sparse disk image for the start-up benchmark: an MBR with one NTFS primary and an
extended container (0F) holding a chain of `logicals` NTFS logical partitions, one EBR every
2048 sectors, each logical starting 63 sectors after its EBR.

Usage: make_chain_image.py <image> <logicals>"""

import struct
import sys

SECTOR = 512
PRIMARY_START, PRIMARY_SIZE = 2048, 20480
CHAIN_START, STRIDE = PRIMARY_START + PRIMARY_SIZE, 2048


def entry(boot, kind, start, count):
    return struct.pack("<B3sB3sII", boot, b"\0\0\0", kind, b"\0\0\0", start, count)


def table(entries):
    body = b"".join(entries)
    return b"\0" * 446 + body + b"\0" * (64 - len(body)) + b"\x55\xaa"


def main(path, logicals):
    chain_size = logicals * STRIDE
    with open(path, "wb") as image:
        image.truncate((CHAIN_START + chain_size + 2048) * SECTOR)
        image.write(table([entry(0x80, 0x07, PRIMARY_START, PRIMARY_SIZE),
                           entry(0x00, 0x0F, CHAIN_START, chain_size)]))
        for i in range(logicals):
            links = [entry(0, 0x07, 63, STRIDE - 63)]
            if i + 1 < logicals:
                links.append(entry(0, 0x05, (i + 1) * STRIDE, STRIDE))
            image.seek((CHAIN_START + i * STRIDE) * SECTOR)
            image.write(table(links))


if __name__ == "__main__":
    main(sys.argv[1], int(sys.argv[2]))
