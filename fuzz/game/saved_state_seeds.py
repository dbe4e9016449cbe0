#!/usr/bin/env python3
"""Writes the seeds of the saved-state fuzz target into fuzz/corpus/saved_state/.

    python3 fuzz/game/saved_state_seeds.py

Each seed is a key byte, then changes to a new game's saved block: a
three-byte offset, a byte of length and the bytes (saved_state_fuzz.cpp).
"""
import math
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.normpath(os.path.join(HERE, "..", "corpus", "saved_state"))

HP, MAX_HP, GOLD, POISON = 0x100, 0x104, 0x114, 0x110
EQUIP, CARRIED, BANK = 0x118, 0x248, 0x448
HERO_POS, ENEMY_RIP, ENEMY_PIC, STORY = 0x4448, 0x4478, 0x5478, 0x6478
MAP_FLAGS, OBJECTS, GROUP = 0x7478, 0x106F8, 0x146F8

# What the player does after the load (kPlays): 0 walks ahead, 1 walks back,
# 2 opens the camp menu's item list, 3 its equipment, 5 its map, 6 the system
# menu, 7 turns.
UP, DOWN, RETURN, EQUIP_LIST, MAP, ESCAPE, RIGHT = 0, 1, 2, 3, 5, 6, 7


def change(offset, data):
    out = b""
    while data:
        part = data[:255]
        out += struct.pack("<I", offset)[:3] + bytes([len(part)]) + part
        offset += len(part)
        data = data[255:]
    return out


def i32(*values):
    return struct.pack("<%di" % len(values), *values)


def f64(*values):
    return struct.pack("<%dd" % len(values), *values)


def slot(count, use, extra, item):
    return i32(count, use, extra, item)


def obj(x, y, n, active, picture, part, event, width, height, alpha):
    return f64(x, y, n) + struct.pack("<4I", active, picture, part, event) + f64(width, height) + \
        struct.pack("<2I", alpha, 0)


def map_flag(floor, x, y):
    return MAP_FLAGS + 4 * ((floor * 25 + x) * 25 + y)


SEEDS = {
    "new_game_camp": bytes([RETURN]),
    "new_game_walk": bytes([UP]),
    "new_game_turn": bytes([RIGHT]),
    "new_game_system": bytes([ESCAPE]),
    "hero_far": bytes([UP]) + change(HERO_POS, f64(1e308, -1e308, 77, 1e300, -1e300)),
    "hero_not_numbers": bytes([DOWN]) + change(HERO_POS, f64(math.nan, math.inf, -math.inf, math.nan, math.inf)),
    "hero_between_cells": bytes([UP]) + change(HERO_POS, f64(2.5, 21.25, 0.75, 45, 359.5)),
    "objects_far_sizes": bytes([UP]) + change(OBJECTS + 7 * 64, obj(11, 13, 0, 1, 44, 0, 0, math.inf, -1e308, 255) +
                                              obj(11, 14, 0, 1, 44, 3, 116, 1e300, math.nan, 128) +
                                              obj(1e308, math.nan, -5, 7, 300, 999, 99999, 2, 2, 0xFFFFFFFF)),
    "objects_every_cell": bytes([RIGHT]) + b"".join(
        change(OBJECTS + i * 64, obj(8 + i % 7, 10 + i // 7 % 7, 0, 1, 40 + i % 8, i % 300, 0, 2, 2, i))
        for i in range(10, 60)),
    "items_out_of_range": bytes([EQUIP_LIST]) + change(CARRIED, slot(-5, 0, 0, 5000) + slot(2147483647, -1, -1, -1) +
                                                   slot(3, 0, 0, 1023)) +
    change(EQUIP, slot(1, 0, 0, 99999) + slot(-2147483648, 0, 0, 0) + slot(5, 0, 0, -7)),
    "bank_full": bytes([RETURN]) + b"".join(change(BANK + 16 * i, slot(i + 1, 0, 0, i)) for i in range(0, 1024, 97)),
    "hero_values_extreme": bytes([RETURN]) + change(HP, i32(2147483647, -2147483648, -1, 2147483647, -9, -2147483648)),
    "hero_dead": bytes([UP]) + change(HP, i32(0)),
    "name_without_end": bytes([RETURN]) + change(0, b"\x82" * 256),
    "map_flags_all_set": bytes([MAP]) + b"".join(change(map_flag(0, x, 0), b"\xff" * 100) for x in range(25)),
    "map_flags_around_start": bytes([UP]) + b"".join(change(map_flag(0, 11, y), i32(0x1F)) for y in range(10, 17)),
    "tables_extreme": bytes([RETURN]) + change(ENEMY_RIP, i32(-1, 2147483647, -2147483648) * 40) +
    change(ENEMY_PIC, i32(-1, 2147483647, 99999) * 40) + change(STORY, i32(1, -1, 2147483647, 4) * 10) +
    change(GROUP, i32(-2147483648)),
    "group_far": bytes([UP]) + change(GROUP, i32(99)),
    "poison": bytes([UP]) + change(POISON, i32(2147483647)) + change(HP, i32(1)),
}


def main():
    os.makedirs(OUT, exist_ok=True)
    for name, data in SEEDS.items():
        with open(os.path.join(OUT, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
