#!/usr/bin/env python3
"""Writes a sparse disk image for the start-up benchmark: an MBR with one NTFS primary and an extended
container (0F) holding a chain of `logicals` NTFS logicals, an EBR every 2048 sectors, each logical 63
sectors after its EBR. Usage: make_chain_image.py <image> <logicals>"""
import struct
import sys

PRIMARY_START, PRIMARY_SIZE, STRIDE = 2048, 20480, 2048
CHAIN_START = PRIMARY_START + PRIMARY_SIZE
def table(*entries):  # (boot, type, start, count) each
    body = b"".join(struct.pack("<B3sB3sII", boot, b"\0" * 3, kind, b"\0" * 3, start, count) for boot, kind, start, count in entries)
    return b"\0" * 446 + body.ljust(64, b"\0") + b"\x55\xaa"
path, logicals = sys.argv[1], int(sys.argv[2])
with open(path, "wb") as image:
    image.truncate((CHAIN_START + logicals * STRIDE + 2048) * 512)
    image.write(table((0x80, 0x07, PRIMARY_START, PRIMARY_SIZE), (0, 0x0F, CHAIN_START, logicals * STRIDE)))
    for i in range(logicals):
        image.seek((CHAIN_START + i * STRIDE) * 512)
        image.write(table((0, 0x07, 63, STRIDE - 63), *([(0, 0x05, (i + 1) * STRIDE, STRIDE)] if i + 1 < logicals else [])))
