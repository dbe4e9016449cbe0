#!/usr/bin/env python3
"""Writes the seeds of the drawing fuzz target into fuzz/corpus/draw/.

    python3 fuzz/draw/draw_seeds.py

Each seed is a display byte (0/1: 16/32 bits without a 3-D device, 2/3 with
the software device, 4/5 with the hardware one; 6 to 11 the same with surfaces
in video memory), then calls: an operation
byte and its arguments, ints in the tagged form of draw_fuzz.cpp's Reader.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.normpath(os.path.join(HERE, "..", "corpus", "draw"))

INT_MAX, INT_MIN = 2**31 - 1, -2**31
EDGES = [0, 1, -1, 119, 120, 159, 160, 8, 15, 16, 100, 255, 256, 320, 479, 480, 639, 640, 1000, 65535, 65536,
         1 << 20, INT_MAX, INT_MIN, INT_MAX - 1, INT_MIN + 1, -(2**30), (2**31 - 1) // 2, -640, -480, 1536, 101]
MAX, MIN, HALF_MIN, HALF_MAX = INT_MAX, INT_MIN, -(2**30), (2**31 - 1) // 2

# Operations (the cases of Draw).
CLS, FILL, FILLRGB, FILLKEY, RECT, SETPIXEL, GETPIXEL, LINE = range(8)
BLT, BLTNOKEY, BLTPART, BLTPARTNOKEY, STRETCH, UNDER, MIRROR, TILE, INVERT, INVERTD3D = range(8, 18)
ADD, ADDPCT, SUB, ALPHA, HALF, MESH, MESHPCT, GRAY, DARKEN, LIGHTEN, HUE, MASK = range(18, 30)
AFFINE, ROTATE, WAVE, JITTER, SIL, SILADD, SILALPHA = range(30, 37)
F_ALPHA, F_HALF, F_ADD, F_SUB, F_MUL, F_DARKEN, F_LIGHTEN, F_MESH, F_MESHPCT = range(37, 46)
ELLIPSE, FILLELLIPSE, TRIANGLE, TRIANGLED3D, TRAPEZOID, MOSAIC, FADEOUT, FADEIN = range(46, 54)
TEXT, TEXTW, PRINTF, PRINTFW, TEXTBMP, FONT, CLIP, RESETCLIP, PAINT = range(54, 63)
PUSH, PUSHSURFACE, POP, CAPTURE, LOCK, CURSOR, MIRRORBMP, TEXTBMPW, HOSTPAINT = range(63, 72)


def i(v):
    v = (v + 2**31) % 2**32 - 2**31  # colours and masks as the int they are read as
    if -16 <= v <= 47:
        return bytes([v + 16])
    if v in EDGES:
        return bytes([0x40 + EDGES.index(v)])
    if -32768 <= v <= 32767:
        return bytes([0x80]) + struct.pack("<h", v)
    return bytes([0xC0]) + struct.pack("<i", v)


def call(op, *args):
    """A list of one call; args are ints, or bytes taken as they are (bitmap
    choice, flags, text choice)."""
    return [bytes([op]) + b"".join(a if isinstance(a, bytes) else i(a) for a in args)]


def b(n):
    return bytes([n])


WHITE = 0xFFFFFF
FAR = [(MIN, MIN), (MAX, MAX), (MIN, MAX), (HALF_MIN, HALF_MAX), (-3, -5), (150, 110)]


def fills():
    out = call(CLS, 0x123456)
    for x, y in FAR:
        out += call(FILL, x, y, MAX, MAX, WHITE) + call(FILLRGB, x, y, 300, MAX, 300, -5, MIN)
        out += call(FILLKEY, x, y, MIN, 20, 7) + call(RECT, x, y, MAX, MAX, WHITE, MAX)
        out += call(SETPIXEL, x, y, WHITE) + call(GETPIXEL, x, y)
    out += call(RECT, 10, 10, 50, 40, WHITE, 3) + call(RECT, 0, 0, MAX, MAX, WHITE, MIN)
    out += call(LINE, MIN, 0, MAX, 119, WHITE) + call(LINE, 5, MIN, 600, MAX, WHITE)
    out += call(LINE, 0, 0, 159, 119, WHITE) + call(LINE, 20, 30, 20, 30, WHITE)
    return out


def blits():
    out = []
    for x, y in FAR + [(10, 10)]:
        out += call(BLT, b(0), x, y) + call(BLTNOKEY, b(1), x, y) + call(UNDER, b(1), x, y)
        out += call(BLTPART, b(1), x, y, MIN, MAX, MAX, MAX) + call(BLTPARTNOKEY, b(0), x, y, 2, 2, 4, 4)
        out += call(STRETCH, b(0), x, y, MAX, 2) + call(MIRROR, b(1), b(3), x, y)
        out += call(TILE, b(0), x, y, 40, 30) + call(INVERT, x, y, MAX, MAX)
    out += call(STRETCH, b(1), 5, 5, 33, 17) + call(TILE, b(1), -20, -20, 100, 100)
    return out


def effects():
    out = []
    for x, y in FAR + [(4, 4)]:
        out += call(ADD, b(0), x, y) + call(ADDPCT, b(1), x, y, 50) + call(SUB, b(0), x, y)
        out += call(ALPHA, b(1), x, y, 30) + call(HALF, b(0), x, y)
        out += call(MESH, b(1), x, y, 0xFF00FF00, 0x00FF00FF, -1, 0) + call(MESHPCT, b(0), x, y, 75)
        out += call(GRAY, b(1), x, y) + call(DARKEN, b(0), x, y) + call(LIGHTEN, b(1), x, y)
        out += call(HUE, b(0), x, y, MAX) + call(MASK, b(1), b(2), x, y, x + 3, y)
        out += call(SIL, b(0), x, y, WHITE) + call(SILADD, b(1), x, y, 0x102030)
        out += call(SILALPHA, b(0), x, y, WHITE, 60)
    return out


def moves():
    out = []
    for x, y in FAR + [(100, 100)]:
        out += call(AFFINE, b(1), x, y, x + 16, y, x, y + 16)
        out += call(ROTATE, b(0), x, y, 4, 4, 45, 100) + call(ROTATE, b(1), x, y, MAX, 8, 1000, 300)
        out += call(WAVE, b(1), x, y, 5, 16, 3) + call(JITTER, b(0), x, y, 3)
    out += call(AFFINE, b(0), MIN, MIN, MAX, MIN, MIN, MAX) + call(AFFINE, b(0), 0, 0, 0, 0, 0, 0)
    out += call(WAVE, b(0), 50, 50, MAX, MIN, MAX) + call(JITTER, b(1), 50, 50, MAX)
    out += call(ROTATE, b(0), 200, 200, 0, 0, MIN, MAX)
    return out


def rect_effects():
    out = []
    for x, y in FAR:
        for op in (F_ALPHA, F_HALF, F_ADD, F_SUB, F_MUL, F_DARKEN, F_LIGHTEN):
            out += call(op, x, y, MAX, MAX, 0x405060, *([40] if op == F_ALPHA else []))
        out += call(F_MESH, x, y, 100, 100, WHITE, 50) + call(F_MESHPCT, x, y, MAX, 9, WHITE, 25)
    out += call(MOSAIC, 0, 0, 100, 100, 8) + call(MOSAIC, MIN, MIN, MAX, MAX, MAX)
    out += call(MOSAIC, 150, 110, 200, 200, 7)
    return out


def shapes():
    out = call(ELLIPSE, 20, 20, 40, 30, WHITE) + call(FILLELLIPSE, 100, 100, 41, 21, WHITE)
    out += call(ELLIPSE, 150, 110, 1000, 1000, WHITE) + call(FILLELLIPSE, -500, -500, 1000, 1200, WHITE)
    for x, y in FAR:
        out += call(TRIANGLE, b(0), x, y, 20, 10, 15, 20, WHITE, 100)
        out += call(TRIANGLE, b(1), x, y, MAX, y, x, MAX, 0x204080, 40)
        out += call(TRIANGLED3D, b(0), x, y, 300, 10, 15, 200, WHITE, 70)
        out += call(TRAPEZOID, b(1), x, y, x, y, 10, 40, WHITE, 50)
    out += call(TRAPEZOID, b(0), 10 << 12, 20 << 12, 5 << 12, 30 << 12, 10, 30, WHITE, 100)
    return out


def text():
    out = call(TEXT, 10, 10, b(2), WHITE) + call(TEXT, MIN, MAX, b(3), WHITE) + call(TEXT, -5, 115, b(4), WHITE)
    out += call(TEXTW, 150, 5, b(2), WHITE) + call(TEXTW, MAX, MIN, b(3), WHITE)
    out += call(PRINTF, 0, 100, WHITE, MIN, b(3)) + call(PRINTFW, HALF_MIN, 100, WHITE, MAX, b(2))
    out += call(TEXTBMP, b(2), WHITE, 100, 100) + call(TEXTBMPW, b(2), 0x808080, MIN, MAX)
    out += call(FONT, b(7), 30, 15) + call(TEXT, 20, 80, b(2), WHITE) + call(FONT, b(0), -12, 0)
    out += call(TEXT, 20, 100, b(3), WHITE)
    return out


def targets():
    out = call(CLIP, 10, 10, 100, 100) + call(FILL, MIN, MIN, MAX, MAX, WHITE)
    out += call(CLIP, 150, 110, MAX, MAX) + call(LINE, MIN, MIN, MAX, MAX, WHITE) + call(RESETCLIP)
    out += call(PUSH, b(3)) + call(BLT, b(0), 4, 4) + call(ADD, b(1), MIN, -3) + call(CLIP, 2, 2, 10, 10)
    out += call(TEXT, 0, 0, b(2), WHITE) + call(PUSHSURFACE, b(2)) + call(FILL, 1, 1, 3, 3, 7)
    out += call(POP, b(1)) + call(POP, b(0)) + call(PUSH, b(0)) + call(BLT, b(0), 1, 1) + call(POP, b(1))
    out += call(PAINT, 0, 0, 160, 120) + call(PAINT, MIN, MIN, MAX, MAX) + call(PAINT, 10, 10, 100, 50)
    out += call(HOSTPAINT, 0, 0, 160, 120, 0, 0) + call(HOSTPAINT, MIN, MIN, MAX, MAX, MAX, MIN)
    out += call(LOCK, 0, 0, 160, 120) + call(LOCK, 150, 110, 170, 130) + call(LOCK, MIN, MIN, MAX, MAX)
    out += call(LOCK, 5, 5, 4, 4)
    return out


def others():
    out = call(CAPTURE, 10, 10, 16, 16, b(1), 100, 100) + call(CAPTURE, MIN, MAX, 40, -3, b(0), 0, 0)
    out += call(MIRRORBMP, b(1), b(3), 50, 50) + call(MIRRORBMP, b(0), b(0), MIN, 0)
    out += call(CURSOR, b(0), 4, 4, 2, 100, 80, 60) + call(CURSOR, b(1), MIN, MAX, MIN, MIN, 0, 0)
    out += call(CURSOR, b(1), 0, 0, MAX, MAX, 159, 119)
    out += call(FADEOUT, 0x808080, 30) + call(FADEIN, WHITE, 17)
    return out


# Calls a seed: longer lists are split, as the target draws at most 64 an input.
LIMIT = 48

def far_ends():
    """Clips, rotations, ellipses and lines whose numbers reach past the int range."""
    out = call(CLIP, MIN, MIN, MIN, MIN) + call(FILL, 0, 0, 160, 120, WHITE) + call(LINE, MIN, MIN, MAX, MAX, WHITE)
    out += call(CLIP, -5, -5, MIN, 20) + call(LINE, 0, 5, MAX, 5, WHITE) + call(RESETCLIP)
    out += call(ROTATE, b(0), 80, 60, MIN, MIN, 90, 100) + call(ROTATE, b(1), MIN, MAX, MIN, 0, 45, MAX)
    out += call(ELLIPSE, MAX, MAX, MIN, MIN, WHITE) + call(FILLELLIPSE, 0, 0, MIN, 50, WHITE)
    out += call(FILLELLIPSE, MIN, MIN, MAX, MAX, WHITE) + call(ELLIPSE, -60000, -1000, 120000, 2000, WHITE)
    out += call(LINE, MIN, 60, MAX, 61, WHITE) + call(LINE, 80, MIN, 81, MAX, WHITE)
    out += call(LINE, -2000000, -2000000, 2000000, 2000000, WHITE)
    return out


SEEDS = {
    "fills16": (0, fills()), "fills32_d3d": (5, fills()),
    "blits16": (0, blits()), "blits32_soft3d": (3, blits()),
    "effects32": (1, effects()), "effects16_hw": (4, effects()),
    "moves32": (1, moves()), "moves16_hw": (4, moves()),
    "rect_effects16": (0, rect_effects()), "rect_effects32_hw": (5, rect_effects()),
    "shapes32": (1, shapes()), "shapes16_soft3d": (2, shapes()), "shapes32_hw": (5, shapes()),
    "text16": (0, text()), "text32_hw": (5, text()),
    "targets32": (1, targets()), "targets16_hw": (4, targets()),
    "others32": (1, others()), "others16_soft3d": (2, others()),
    "far_ends16": (0, far_ends()), "far_ends32_hw": (5, far_ends()), "far_ends32_soft3d": (3, far_ends()),
    "effects32_vram": (7, effects()), "shapes16_vram": (6, shapes()), "targets32_hw_vram": (11, targets()),
}


def main():
    os.makedirs(OUT, exist_ok=True)
    for name, (config, body) in SEEDS.items():
        parts = [body[k:k + LIMIT] for k in range(0, len(body), LIMIT)]
        for n, part in enumerate(parts):
            suffix = "" if len(parts) == 1 else "_%d" % (n + 1)
            with open(os.path.join(OUT, name + suffix), "wb") as f:
                f.write(bytes([config]) + b"".join(part))


if __name__ == "__main__":
    main()
