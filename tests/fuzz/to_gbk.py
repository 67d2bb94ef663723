#!/usr/bin/env python3
"""Writes a UTF-8 source file as GBK, for clang, which has no -fexec-charset=GBK and compiles literals
byte for byte. A character whose GBK trail byte is a backslash would escape a quote or continue a //
comment, so it stops the build instead of silently changing the code. Usage: to_gbk.py <input> <output>"""
import re
import sys

data = open(sys.argv[1], encoding="utf-8").read().encode("gbk")
if any(pair[1:] == b"\\" for pair in re.findall(rb"[\x81-\xfe][\x40-\xfe]", data)):
    sys.exit(f"{sys.argv[1]}: a character whose GBK trail byte is a backslash; write it as \\x escapes")
open(sys.argv[2], "wb").write(data)
