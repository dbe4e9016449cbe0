#!/usr/bin/env python3
"""Writes the seeds of the package index fuzz target into fuzz/corpus/package_index/.

    python3 fuzz/package/package_seeds.py

Each seed is a package file as the game reads it: the package's offset at
byte 36, "--PackageHeader--" there, the entry count, the entry headers
{offset, size, stored name length, the name inverted but for its final zero}
and the entries' data. Most are whole packages; the rest are damaged in one
way each, as the reader must refuse them.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.normpath(os.path.join(HERE, "..", "corpus", "package_index"))
START = 64  # where the package begins, after the space of the header


def header(name):
    raw = name.encode("cp932")
    return bytes(~b & 0xFF for b in raw) + b"\0"


def package(entries, count=None, magic=b"--PackageHeader--", start=START):
    """entries: (name, data) pairs, or (name, data, offset, size, stored name) to damage one."""
    index = len(magic) + 4 + sum(12 + len(header(e[0])) for e in entries)
    at = start + index
    heads, body = b"", b""
    for e in entries:
        name, data = e[0], e[1]
        offset, size, stored = at, len(data), header(name)
        if len(e) > 2:
            offset = e[2] if e[2] is not None else offset
            size = e[3] if e[3] is not None else size
            stored = e[4] if e[4] is not None else stored
        heads += struct.pack("<III", offset, size, len(stored)) + stored
        body += data
        at += len(data)
    lead = bytearray(start)
    lead[36:40] = struct.pack("<I", start)
    n = len(entries) if count is None else count
    return bytes(lead) + magic + struct.pack("<I", n) + heads + body


GOOD = [("data/map/map.cfg", b"FLOOR 1\n"), ("data/event/event.csv", b"1,sys_start.txt\n"),
        ("data/system/cata.txt", b"")]
LONG = "data/" + "x" * 1012 + ".txt"  # 1022 name bytes, the longest stored

SEEDS = {
    "three_entries.pak": package(GOOD),
    "no_entries.pak": package([]),
    "japanese_name.pak": package([("data/item/\u5263.txt", b"\x82\xa0\x82\xa2")]),
    "longest_name.pak": package([(LONG, b"abc")]),
    "name_too_long.pak": package([(LONG + "y", b"abc")]),
    "same_name_twice.pak": package([("data/a.txt", b"first"), ("data/a.txt", b"second!")]),
    "entry_past_end.pak": package([("data/a.txt", b"abc", None, 4096, None)]),
    "offset_past_end.pak": package([("data/a.txt", b"abc", 0xFFFFFFF0, None, None)]),
    "entry_in_index.pak": package([("data/a.txt", b"abc", 40, 30, None)]),
    "name_without_zero.pak": package([("data/a.txt", b"abc", None, None, header("data/a.txt")[:-1] + b"x")]),
    "empty_name.pak": package([("", b"abc", None, None, b"\0")]),
    "count_too_large.pak": package(GOOD, count=1000),
    "count_all_ones.pak": package(GOOD, count=0xFFFFFFFF),
    "bad_magic.pak": package(GOOD, magic=b"--PackageHeader-!"),
    "header_past_end.pak": package(GOOD)[:36] + struct.pack("<I", 0x7FFFFFFF) + package(GOOD)[40:],
    "cut_in_index.pak": package(GOOD)[:START + 30],
    "too_short.pak": b"MZ" + bytes(20),
}


def main():
    os.makedirs(OUT, exist_ok=True)
    for name, data in SEEDS.items():
        with open(os.path.join(OUT, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
