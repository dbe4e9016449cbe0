#!/usr/bin/env python3
"""Writes the seeds of the command fuzz target into fuzz/corpus/command/.

    COMMAND_FUZZ_NAMES=1 DOLVICAR_HEADLESS=1 build/fuzz/game/macro/fuzz_command > names.txt
    python3 fuzz/game/macro/command_seeds.py names.txt

Each seed is a short script in the target's input form: per command a
two-byte index into the sorted registry, a byte of argument count and key
pattern, then the arguments (kind byte and its bytes).
"""
import os
import re
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", "..", ".."))

source = open(os.path.join(HERE, "command_fuzz.cpp"), encoding="utf-8").read()
table = source[source.index("kNumbers[] = {"):]
table = table[:table.index("};")]
NUMBERS = re.findall(r'"([^"]*)"', table)
NAMES = {}
for line in open(sys.argv[1]):
    parts = line.split()
    if len(parts) == 2 and parts[0].isdigit():
        NAMES[parts[1]] = int(parts[0])


def num(text):
    """An argument from the number table, else an exact 32-bit or double one."""
    if text in NUMBERS:
        return bytes([0, NUMBERS.index(text)])
    try:
        return bytes([2]) + struct.pack("<i", int(text))
    except ValueError:
        return bytes([3]) + struct.pack("<d", float(text))


def raw(text):
    data = text.encode("cp932")
    return bytes([6, len(data)]) + data


def long_text(b):
    return bytes([5, b])


EMPTY = bytes([4])


def cmd(name, *args, keys=0):
    return struct.pack("<H", NAMES[name]) + bytes([len(args) | keys << 3]) + b"".join(
        a if isinstance(a, bytes) else num(str(a)) for a in args)


MAX, MIN = "2147483647", "-2147483648"
SEEDS = {
    # Floors outside the dungeon, far positions and far headings.
    "floor_negative": cmd("setN", "-3") + cmd("draw2dall"),
    "floor_huge": cmd("pos", "1e300", 3, 3) + cmd("draw2dall"),
    "floor_walk_down": cmd("pos", 0, 2, 2, 0, 270) + cmd("walk", 5) + cmd("draw2dall") + cmd("draw2d"),
    "heading_huge": cmd("pos", 0, 1, 20) + cmd("setT", "100000000") + cmd("draw3d"),
    "heading_nan": cmd("pos", 0, 1, 20, "nan", "inf") + cmd("draw3d") + cmd("draw2d"),
    "minimap_far": cmd("draw2d", MAX, MIN, 50, 0, MAX, MAX, MAX),
    "scan_far": cmd("map_scan", "2000000000", "9999"),
    "scan_event_far": cmd("scan_event", MAX, MAX, MAX, MAX) + cmd("scan_pushevent", 0, MIN, MIN, 1, MIN),
    # Windows, menus and pictures at the ends of the coordinate range.
    "mes_far": cmd("mes_open", MAX, MAX, MAX, MAX) + cmd("mes", raw("abc")) + cmd("mes_key", keys=0),
    "mes_wide": cmd("mes_open", MIN, MIN, MIN, MIN) + cmd("mes", long_text(7)) + cmd("mes_close"),
    "menu_far": cmd("selecth", MAX, MAX, 0, 0, raw("a"), raw("b")) + cmd("selectw", MIN, MIN, 0, 1, raw("c")),
    "win_far": cmd("win", MAX, MAX, MAX, MAX) + cmd("win", MIN, MIN, MIN, MIN),
    "fill_far": cmd("fill", MAX, MAX, MAX, MAX, 255, 255, 255) + cmd("fill", MIN, MIN, MAX, MAX, 1, 2, 3, 50),
    "blt_far": cmd("blt", raw("data/system/title.png"), MAX, MIN, MAX, MAX, MIN, MIN),
    "bg_far": cmd("bg_memo", 0, MIN, MIN, MAX, MAX) + cmd("bg_draw", 0, MAX, MAX) + cmd("bg_open", 1, MAX, MAX),
    "txt_far": cmd("txt", MAX, MAX, raw("x")) + cmd("txt", MIN, MIN, long_text(3)) + cmd("txtwidth", long_text(9)),
    "mosaic_far": cmd("mosaic", MIN, MIN, MAX, MAX, MAX) + cmd("effect", MAX, MAX, MAX, MAX, MAX, MAX),
    "input_far": cmd("input", MAX, MAX, MIN, 20, raw("abc"), keys=1),
    # Saves and loads through the run's folder.
    "save_load": cmd("hero_name", long_text(39)) + cmd("save", raw("s1")) + cmd("load", raw("s1")) +
                 cmd("hero_name"),
    "load_missing": cmd("load", raw("none")) + cmd("load", EMPTY) + cmd("setupload"),
}

out = os.path.join(ROOT, "fuzz", "corpus", "command")
os.makedirs(out, exist_ok=True)
for name, data in SEEDS.items():
    with open(os.path.join(out, name), "wb") as f:
        f.write(data)
# Every command once with no arguments and once with far ones.
for name, index in sorted(NAMES.items()):
    with open(os.path.join(out, "each_" + name), "wb") as f:
        f.write(cmd(name) + cmd(name, MAX, MIN, "1e300", "-1", EMPTY, raw("a"), "nan", keys=2))
