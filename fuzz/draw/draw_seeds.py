#!/usr/bin/env python3
"""Writes the seeds of the drawing fuzz target into fuzz/corpus/draw/.

    python3 fuzz/draw/draw_seeds.py

Each seed is a display byte (depth 8, 16, 24, 32 for 0 to 3; plus 4 with the
software 3-D device, 8 with the hardware one; plus 12 with surfaces in video
memory), then calls: an operation byte and its arguments, ints and floats in
the tagged forms of draw_fuzz.h's Reader. Operations are numbered in the order
of the tables of draw_fuzz.cpp, draw_more.cpp and draw_scene.cpp, read from
the sources here. Every family of calls is written at every depth, most of
them under a clip rectangle smaller than the screen, which the target holds
the clipping calls to; some draw up to the right edge of the screen or of a
bitmap, where the target watches the padding past each row, and some read
from a source up to its right edge or bottom, then one pixel past it.
"""
import math
import os
import re
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.normpath(os.path.join(HERE, "..", "corpus", "draw"))

OPS = []
for source in ("draw_fuzz.cpp", "draw_more.cpp", "draw_scene.cpp"):
    with open(os.path.join(HERE, source), encoding="utf-8") as f:
        OPS += re.findall(r'^\s*\{"(\w+)", k(?:NoDraw|Unclipped|Clipped|ClippedSoft),', f.read(), re.M)

INT_MAX, INT_MIN = 2**31 - 1, -2**31
EDGES = [0, 1, -1, 119, 120, 159, 160, 8, 15, 16, 100, 255, 256, 320, 479, 480, 639, 640, 1000, 65535, 65536,
         1 << 20, INT_MAX, INT_MIN, INT_MAX - 1, INT_MIN + 1, -(2**30), (2**31 - 1) // 2, -640, -480, 1536, 101]
MAX, MIN, HALF_MIN, HALF_MAX = INT_MAX, INT_MIN, -(2**30), (2**31 - 1) // 2
FLT_MAX = struct.unpack("<f", struct.pack("<I", 0x7F7FFFFF))[0]
INF, NAN = math.inf, math.nan
FEDGES = [0.0, -0.0, 1.0, -1.0, 0.5, 0.999, 1.001, 2.0, 45.0, 90.0, 180.0, 360.0, 1000.0, 1e6, 16777217.0,
          2147483648.0, -2147483648.0, 1e10, 1e30, -1e30, FLT_MAX, -FLT_MAX, 1.1754943508222875e-38, 1e-45, 1e-30,
          INF, -INF, NAN, 159.5, 119.5, -0.5, 65536.0]


def f32(v):
    return struct.unpack("<f", struct.pack("<f", v))[0] if math.isfinite(v) and abs(v) <= FLT_MAX else v


class F:
    """A float argument."""
    def __init__(self, v):
        self.v = v

    def encode(self):
        v = float(self.v)
        if math.isnan(v):
            return bytes([0x80 + 27])
        for n, e in enumerate(FEDGES):
            if not math.isnan(e) and f32(e) == f32(v) and math.copysign(1, e) == math.copysign(1, v):
                return bytes([0x80 + n])
        if (v * 4).is_integer() and -32 <= v * 4 < 32:
            return bytes([int(v * 4) + 32])
        if ((v + 32) / 4).is_integer() and 0 <= (v + 32) / 4 < 64:
            return bytes([0x40 + int((v + 32) / 4)])
        return bytes([0xA0]) + struct.pack("<f", v)


class D(F):
    """A double argument: 1e300 is the edge tag of 1e30."""
    def encode(self):
        if self.v in (1e300, -1e300):
            return F(math.copysign(1e30, self.v)).encode()
        return F(self.v).encode()


def i(v):
    v = (v + 2**31) % 2**32 - 2**31  # colours and masks as the int they are read as
    if -16 <= v <= 47:
        return bytes([v + 16])
    if v in EDGES:
        return bytes([0x40 + EDGES.index(v)])
    if -32768 <= v <= 32767:
        return bytes([0x80]) + struct.pack("<h", v)
    return bytes([0xE0]) + struct.pack("<i", v)


class Far:
    """A position `step` from a far edge of the call's target (axis 0: its
    width, 1: its height) or of the clip (2: right, 3: bottom). A mutation of
    the step's bits moves it onto the edge or a pixel past it."""
    STEPS = (1, 0, -1, -2, -7, -8, -15, -16)

    def __init__(self, axis, step):
        self.axis, self.step = axis, step

    def encode(self):
        return bytes([0xA0 | self.STEPS.index(self.step) << 2 | self.axis])


def b(n):
    return bytes([n])


def call(name, *args):
    """A list of one call; args are ints, floats (F, D), lists of them, or
    bytes taken as they are (bitmap choice, flags, text choice)."""
    def enc(a):
        if isinstance(a, bytes):
            return a
        if isinstance(a, (F, Far)):
            return a.encode()
        if isinstance(a, (list, tuple)):
            return b"".join(enc(x) for x in a)
        return i(a)
    return [bytes([OPS.index(name)]) + b"".join(enc(a) for a in args)]


def vec(x, y, z):
    return [F(x), F(y), F(z)]


WHITE = 0xFFFFFF
FAR = [(MIN, MIN), (MAX, MAX), (MIN, MAX), (HALF_MIN, HALF_MAX), (-3, -5), (150, 110)]


def fills():
    out = call("dxcls", 0x123456)
    for x, y in FAR:
        out += call("dxfillrect", x, y, MAX, MAX, WHITE) + call("dxfillrectrgb", x, y, 300, MAX, 300, -5, MIN)
        out += call("dxfillrectkey", x, y, MIN, 20, 7) + call("dxrect", x, y, MAX, MAX, WHITE, MAX)
        out += call("dxsetpixel", x, y, WHITE) + call("dxgetpixel", x, y)
    out += call("dxrect", 10, 10, 50, 40, WHITE, 3) + call("dxrect", 0, 0, MAX, MAX, WHITE, MIN)
    out += call("dxfillrectrgb", 1, 2, 33, 17, 128, 64, 200) + call("dxfillrectkey", 0, 0, 160, 120, 0x4321)
    out += call("dxline", MIN, 0, MAX, 119, WHITE) + call("dxline", 5, MIN, 600, MAX, WHITE)
    out += call("dxline", 0, 0, 159, 119, WHITE) + call("dxline", 20, 30, 20, 30, WHITE)
    out += call("dxgetpixel", 159, 119) + call("dxsetpixel", 159, 119, WHITE)
    return out


def blits():
    out = []
    for x, y in FAR[:5] + [(10, 10)]:
        out += call("dxblt", b(0), x, y) + call("dxbltnokey", b(1), x, y) + call("dxbltunder", b(1), x, y)
        out += call("dxbltpart", b(1), x, y, MIN, MAX, MAX, MAX)
        out += call("dxbltpartnokey", b(0), x, y, 2, 2, 4, 4)
        out += call("dxstretchblt", b(0), x, y, MAX, 2) + call("dxbltmirror", b(1), b(3), x, y)
        out += call("dxblttile", b(0), x, y, 40, 30) + call("dxinvertrect", x, y, MAX, MAX)
    out += call("dxstretchblt", b(1), 5, 5, 33, 17) + call("dxblttile", b(1), -20, -20, 100, 100)
    out += call("dxinvertrectd3d", 10, 10, 50, 40)
    return out


def effects():
    out = []
    for x, y in FAR[:2] + [(4, 4), (13, 9)]:
        out += call("dxbltadd", b(0), x, y) + call("dxbltaddpct", b(1), x, y, 50) + call("dxbltsub", b(0), x, y)
        out += call("dxbltalpha", b(1), x, y, 30) + call("dxblthalf", b(0), x, y)
        out += call("dxbltmesh", b(1), x, y, 0xFF00FF00, 0x00FF00FF, -1, 0)
        out += call("dxbltmeshpct", b(0), x, y, 75) + call("dxbltgray", b(1), x, y)
        out += call("dxbltdarken", b(0), x, y) + call("dxbltlighten", b(1), x, y)
        out += call("dxblthue", b(0), x, y, MAX) + call("dxbltmask", b(1), b(2), x, y, x + 3, y)
        out += call("dxbltsilhouette", b(0), x, y, WHITE) + call("dxbltsilhouetteadd", b(1), x, y, 0x102030)
        out += call("dxbltsilhouettealpha", b(0), x, y, WHITE, 60)
    return out


def moves():
    out = []
    for x, y in FAR + [(100, 100)]:
        out += call("dxbltaffine", b(1), x, y, x + 16, y, x, y + 16)
        out += call("dxbltrotate", b(0), x, y, 4, 4, 45, 100) + call("dxbltrotate", b(1), x, y, MAX, 8, 1000, 300)
        out += call("dxbltwave", b(1), x, y, 5, 16, 3) + call("dxbltjitter", b(0), x, y, 3)
    out += call("dxbltaffine", b(0), MIN, MIN, MAX, MIN, MIN, MAX) + call("dxbltaffine", b(0), 0, 0, 0, 0, 0, 0)
    out += call("dxbltwave", b(0), 50, 50, MAX, MIN, MAX) + call("dxbltjitter", b(1), 50, 50, MAX)
    out += call("dxbltrotate", b(0), 200, 200, 0, 0, MIN, MAX) + call("dxbltjitter", b(1), 50, 50, 0)
    return out


def rect_effects():
    out = []
    for x, y in FAR[:3] + [(-3, -5), (7, 3)]:
        for op in ("dxfillrecthalf", "dxfillrectadd", "dxfillrectsub", "dxfillrectmul", "dxfillrectdarken",
                   "dxfillrectlighten"):
            out += call(op, x, y, MAX if x < 0 else 90, MAX if y < 0 else 70, 0x405060)
        out += call("dxfillrectalpha", x, y, MAX, MAX, 0x405060, 40)
        out += call("dxfillrectmesh", x, y, 100, 100, WHITE, 50) + call("dxfillrectmeshpct", x, y, MAX, 9, WHITE, 25)
    out += call("dxmosaic", 0, 0, 100, 100, 8) + call("dxmosaic", MIN, MIN, MAX, MAX, MAX)
    out += call("dxmosaic", 150, 110, 200, 200, 7) + call("dxmosaic", 3, 3, 41, 37, 5)
    return out


def shapes():
    out = call("dxellipse", 20, 20, 40, 30, WHITE) + call("dxfillellipse", 100, 100, 41, 21, WHITE)
    out += call("dxellipse", 150, 110, 1000, 1000, WHITE) + call("dxfillellipse", -500, -500, 1000, 1200, WHITE)
    for x, y in FAR:
        out += call("dxtriangle", b(0), x, y, 20, 10, 15, 20, WHITE, 100)
        out += call("dxtriangle", b(1), x, y, MAX, y, x, MAX, 0x204080, 40)
        out += call("dxtriangled3d", b(0), x, y, 300, 10, 15, 200, WHITE, 70)
        out += call("dxtrapezoid", b(1), x, y, x, y, 10, 40, WHITE, 50)
    out += call("dxtriangle", b(1), 3, 100, 150, 2, 80, 119, WHITE, 50)
    for additive, percent in ((1, 40), (0, 30), (0, 50), (1, 100)):
        out += call("dxtriangle", b(additive), 10, 10, 120, 20, 50, 90, 0x204080, percent)
    out += call("dxtrapezoid", b(0), 10 << 12, 20 << 12, 5 << 12, 30 << 12, 10, 30, WHITE, 100)
    return out


COMP_KANA, COMP_LONG = 2, 3


def text():
    out = call("dxtextout", 10, 10, b(2), WHITE) + call("dxtextout", MIN, MAX, b(3), WHITE)
    out += call("dxtextout", -5, 115, b(4), WHITE)
    out += call("dxtextoutw", 150, 5, b(2), WHITE) + call("dxtextoutw", MAX, MIN, b(3), WHITE)
    out += call("dxprintf", 0, 100, WHITE, MIN, b(3)) + call("dxprintfw", HALF_MIN, 100, WHITE, MAX, b(2))
    out += call("dxtextbitmap", b(2), WHITE, 100, 100) + call("dxtextbitmapw", b(2), 0x808080, MIN, MAX)
    out += call("dxsetfont", b(7), 30, 15) + call("dxtextout", 20, 80, b(2), WHITE)
    out += call("dxsetfont", b(0), -12, 0) + call("dxtextout", 20, 100, b(3), WHITE)
    # The input method's composition, drawn anywhere, and the line editors.
    out += call("dximeon", b(COMP_KANA), 1, 0) + call("dxdrawime", 30, 40) + call("dxdrawime", MIN, MAX)
    out += call("dximeon", b(COMP_LONG), 5, 4) + call("dxdrawime", 150, 110) + call("dxdrawime", -20, 3)
    out += call("dximeon", b(COMP_LONG), MAX, MIN) + call("dxdrawime", 2, 2) + call("dximeoff")
    text_x, key_left, key_back, comp = b(0), b(1), b(16), b(2 + 3 * 2)
    out += call("dxinputline", 10, 50, 100, b(20), b(1), WHITE, b(4), text_x, key_left, key_back, comp,
                b(1), b(1), b(1))
    out += call("dxinputline", MIN, MAX, MIN, b(4), b(0), WHITE, b(2), b(3), b(4), b(0), b(0), b(0))
    out += call("dxinputlinew", 150, 110, MAX, b(8), b(1), WHITE, b(3), b(3), b(7), comp, b(0), b(1), b(1))
    out += call("dxinputlinew", -5, 3, 30, b(0), b(0), WHITE, b(0), b(1), b(1), b(1))
    return out


def targets():
    out = call("dxsetclip", 10, 10, 100, 100) + call("dxfillrect", MIN, MIN, MAX, MAX, WHITE)
    out += call("dxsetclip", 150, 110, MAX, MAX) + call("dxline", MIN, MIN, MAX, MAX, WHITE) + call("dxresetclip")
    out += call("dxpushtarget", b(3)) + call("dxblt", b(0), 4, 4) + call("dxbltadd", b(1), MIN, -3)
    out += call("dxsetclip", 2, 2, 10, 10) + call("dxtextout", 0, 0, b(2), WHITE)
    out += call("dxpushtargetsurface", b(2)) + call("dxfillrect", 1, 1, 3, 3, 7)
    out += call("dxpoptarget", b(1)) + call("dxpoptarget", b(0)) + call("dxpushtarget", b(0))
    out += call("dxblt", b(0), 1, 1) + call("dxpoptarget", b(1))
    out += call("dxpresent", 0, 0, 160, 120) + call("dxpresent", MIN, MIN, MAX, MAX) + call("dxpresent", 10, 10, 100, 50)
    out += call("dxpaint", 0, 0, 160, 120, 0, 0) + call("dxpaint", MIN, MIN, MAX, MAX, MAX, MIN)
    out += call("dxlocktarget", 0, 0, 160, 120) + call("dxlocktarget", 150, 110, 170, 130)
    out += call("dxlocktarget", MIN, MIN, MAX, MAX) + call("dxlocktarget", 5, 5, 4, 4)
    # Bitmaps that take another's copies, or a capture's, then drawn and drawn into.
    out += call("dxassignbitmap", b(0), b(1)) + call("dxbltadd", b(0), 3, 3) + call("dxpushtarget", b(0))
    out += call("dxfillrect", 2, 2, 4, 4, WHITE) + call("dxpoptarget", b(1))
    out += call("dxassignbitmap", b(2), b(0x81), 5, 5, 13, 7) + call("dxblt", b(2), 100, 100)
    out += call("dxassignbitmap", b(3), b(0x80), MIN, MAX, 64, -3) + call("dxbltalpha", b(3), 1, 1, 50)
    return out


def others():
    out = call("dxcapture", 10, 10, 16, 16, b(1), 100, 100) + call("dxcapture", MIN, MAX, 40, -3, b(0), 0, 0)
    out += call("dxmirrorbitmap", b(1), b(3), 50, 50) + call("dxmirrorbitmap", b(0), b(0), MIN, 0)
    out += call("dxsetswcursor", b(0), 4, 4, 2, 100, 80, 60) + call("dxsetswcursor", b(1), MIN, MAX, MIN, MIN, 0, 0)
    out += call("dxsetswcursor", b(1), 0, 0, MAX, MAX, 159, 119)
    out += call("dxfadeout", 0x808080, 30) + call("dxfadein", WHITE, 17)
    # The palette (8 bits) and its dither cells.
    out += call("dxsetpalette", 7, 10, 20, 30) + call("dxsetpalette", 0, MAX, MIN, 300)
    out += call("dxsetpalette", 255, 1, 2, 3) + call("dxsetpalette", MIN, 0, 0, 0)
    out += call("dxditherindex", 3, 2, 100, 100, 100) + call("dxditherindex", MAX, MIN, MAX, MIN, 128)
    out += call("dxfillrectrgb", 0, 0, 40, 40, 100, 100, 100) + call("dxrealizepalette", b(0))
    out += call("dxfadeout", 0x1234, 39) + call("dxresetpalette", b(0)) + call("dxrealizepalette", b(1))
    out += call("dxditherindex", MIN, MAX, 77, 300, -5) + call("dxresetpalette", b(1))
    return out


def far_ends():
    """Clips, rotations, ellipses and lines whose numbers reach past the int range."""
    out = call("dxsetclip", MIN, MIN, MIN, MIN) + call("dxfillrect", 0, 0, 160, 120, WHITE)
    out += call("dxline", MIN, MIN, MAX, MAX, WHITE)
    out += call("dxsetclip", -5, -5, MIN, 20) + call("dxline", 0, 5, MAX, 5, WHITE) + call("dxresetclip")
    out += call("dxbltrotate", b(0), 80, 60, MIN, MIN, 90, 100) + call("dxbltrotate", b(1), MIN, MAX, MIN, 0, 45, MAX)
    out += call("dxellipse", MAX, MAX, MIN, MIN, WHITE) + call("dxfillellipse", 0, 0, MIN, 50, WHITE)
    out += call("dxfillellipse", MIN, MIN, MAX, MAX, WHITE) + call("dxellipse", -60000, -1000, 120000, 2000, WHITE)
    out += call("dxline", MIN, 60, MAX, 61, WHITE) + call("dxline", 80, MIN, 81, MAX, WHITE)
    out += call("dxline", -2000000, -2000000, 2000000, 2000000, WHITE)
    return out


def gdi():
    """GDI on the target's device context, and AVI frames drawn through it."""
    out = []
    for dib in range(8):
        out += call("StretchDIBits", b(dib), 10, 10, 30, 20, 0, 0, 9, 5, b(1))
    out += call("StretchDIBits", b(2), MIN, MIN, MAX, MAX, MIN, MAX, MAX, MIN, b(1))
    out += call("StretchDIBits", b(5), 150, 110, -40, -30, 2, 1, -3, 2, b(1))
    out += call("StretchDIBits", b(6), 5, 5, 10, 10, 0, 0, 4, 4, b(0), 0x00660046)
    out += call("InvertRect", 20, 20, 60, 50) + call("InvertRect", MIN, MIN, MAX, MAX)
    out += call("InvertRect", 150, 110, 5, 3)
    out += call("StretchBlt", b(1), 0, 0, 80, 60, 0, 0, 16, 16) + call("StretchBlt", b(4), 10, 10, -50, 40, 0, 0, 160, 120)
    out += call("StretchBlt", b(2), MIN, MAX, MAX, MIN, MAX, MIN, MIN, MAX)
    for avi in range(4):
        out += call("dxdrawavi", b(avi), 5, 5, 0, 0) + call("dxfadein", 0, 30)
        out += call("dxdrawavi", b(avi), MAX, MAX, 40, 30) + call("dxdrawavi", b(avi), MIN, MIN, MAX, MAX)
    out += call("dxdrawavi", b(1), 150, 110, -20, -10)
    return out


def scene():
    """Meshes, billboards, indexed primitives, lights and fog."""
    mat = [F(1), F(0.5), F(0.25), F(1)] * 4 + [F(2), 16]
    glass = [F(0.2), F(0.4), F(0.6), F(0.5)] + [F(0)] * 12 + [F(0), 0]
    box = [b(0x80 | 3)]
    for x, y, z in ((-1, -1, 0), (1, -1, 0), (1, 1, 0), (-1, 1, 0)):
        box += vec(x, y, z) + vec(0, 0, -1) + [F((x + 1) / 2), F((y + 1) / 2)]
    box += [b(6), b(0), b(1), b(2), b(0), b(2), b(3)]
    flat = [b(2)] + vec(0, 2, 1) + [F(0), F(0)] + vec(2, -2, 1) + [F(1), F(0)] + vec(-2, -2, 1) + [F(0), F(1)]
    flat += [b(3), b(0), b(1), b(2)]
    out = call("dxbeginscene")
    out += call("dxcreatemesh", b(0), box, mat, b(0), b(0))
    out += call("dxcreatemesh", b(1), flat, glass, b(4), flat, mat, b(1), b(1), b(2), b(1))
    out += call("dxcreatemesh", b(0), [b(0)] + vec(NAN, INF, -INF) + [F(FLT_MAX), F(-FLT_MAX)], b(3),
                b(0), b(0), b(0), mat, b(5), b(0))
    out += call("dxadddirectionallight", 0, D(1), D(1), D(1), vec(0, 0, 1))
    out += call("dxaddpointlight", 1, D(0.5), D(2), D(-1), vec(0, 0, -5), D(100))
    out += call("dxaddspotlight", 2, D(1), D(0), D(0), vec(0, 3, -3), vec(0, -1, 1), D(45), D(1e300))
    out += call("dxaddparallelpointlight", 8, D(NAN), D(INF), D(-1e300), vec(INF, 0, NAN), D(-1))
    out += call("dxaddlight", 3, b(5), [F(1)] * 4, vec(0, 0, 0), vec(0, 0, 0), [F(NAN)] * 7, MAX)
    out += call("dxsetambient", 0x404040) + call("dxsetfog", 0x808080, D(1), D(30), b(1))
    out += call("dxsetcamera", vec(0, 0, -8), vec(0, 0, 0), D(0)) + call("dxsetprojection", D(1), D(100), D(60))
    out += call("dxdrawmesh", b(0), b(0), 100, b(0)) + call("dxdrawmeshnow", b(1), b(2), vec(1, 0, 0),
                                                              vec(1, 2, 1), D(30), D(20), D(10), 60, b(1))
    out += call("dxdrawmeshcolor", b(0), b(0), 0xFF8000, 50, b(1))
    out += call("dxdrawmeshcolornow", b(2), b(1), [F(1), F(0), F(0), F(0), F(0), F(1), F(0), F(0), F(0), F(0),
                                                       F(1), F(0), F(NAN), F(1e30), F(5), F(1)], 0x00FF00, 100, b(0))
    out += call("dxdrawmesh", b(1), b(3), vec(0, 1, 2), D(45), D(1e300), D(10), vec(0, 1, 0), D(90),
                vec(3, 3, 3), D(-45), 30, b(0))
    out += call("dxdrawbillboard", vec(0, 0, 2), b(1), [F(-1), F(-1), F(1), F(1)], 40, b(1), D(30))
    out += call("dxdrawbillboardnow", vec(1, 1, 1), b(0), [F(0), F(0), F(2), F(1)], 100, b(0), D(0))
    out += call("dxdrawbillboard", vec(INF, 0, 1), b(2), [F(NAN), F(-FLT_MAX), F(FLT_MAX), F(1)], MAX, b(0), D(NAN))
    tl = [b(4 + (3 << 3)), b(3)]
    for x, y in ((10.0, 10.0), (150.0, 20.0), (80.0, 110.0)):
        tl += [F(x), F(y), F(0.5), F(1), 0xFF00FF, 0, F(0), F(0)]
    out += call("dxdrawindexed", tl, b(3), b(0), b(1), b(2), b(0))
    out += call("dxdrawindexed", b(6 + (2 << 3)), b(4), [vec(-1, -1, 1), WHITE, 0, F(0), F(0)] * 4, b(5), b(0),
                b(1), b(2), b(3), b(0xF0), 1, b(4))
    out += call("dxdrawindexed", b(2 + (1 << 3)), b(2), [vec(-3, 0, 2), vec(0, 0, -1), F(0), F(0)] * 2, b(2), b(0),
                b(1), b(4))
    out += call("dxdrawindexed", b(1 + (3 << 3)), b(2), [F(1e10), F(-1e10), F(0.5), F(0), 7, 0, F(0), F(0)] * 2,
                b(2), b(0), b(1), b(4))
    out += call("dxdrawindexed", b(0), b(1), vec(0, 0, 0), vec(0, 0, 0), F(0), F(0), b(1), b(0), b(4))
    out += call("dxsetrenderstate", b(21), b(0), 0) + call("dxsetrenderstate", b(35), b(1), F(NAN))
    out += call("dxsetmaterial", mat, b(1)) + call("dxsetworld", b(1), [F(2)] * 16)
    out += call("dxsetview", b(2), vec(0, 0, -3), vec(1, 1, 1), D(0), D(10), D(0))
    out += call("dxsetprojectionmatrix", b(0)) + call("dxremovelight", 1, b(0)) + call("dxfogoff")
    out += call("dxflushdraws") + call("dxdrawmesh", b(1), b(0), 50, b(1)) + call("dxendscene")
    out += call("dxsetprojection", D(0), D(0), D(1e300)) + call("dxsetcamera", vec(0, 0, 0), vec(0, 0, 0), D(INF))
    out += call("dxbeginscene") + call("dxdrawmeshnow", b(0), b(0), 100, b(0)) + call("dxcleardraws")
    out += call("dxremovelight", MIN, b(1))
    return out


def clipped():
    """Every call that clips, with far numbers, under a clip of odd edges."""
    out = call("dxsetclip", 13, 7, 101, 77)
    for x, y in ((MIN, MIN), (5, 3), (100, 70), (-7, 60)):
        out += call("dxfillrect", x, y, MAX, MAX, WHITE) + call("dxrect", x, y, 120, 90, 0x3344, 5)
        out += call("dxbltpart", b(1), x, y, 0, 0, 16, 16) + call("dxbltmirror", b(1), b(1), x, y)
        out += call("dxbltwave", b(1), x, y, 9, 7, 11) + call("dxbltjitter", b(0), x, y, 6)
        out += call("dxtextout", x, y + 5, b(2), WHITE) + call("dxfillellipse", x, y, 90, 70, WHITE)
        out += call("dxtrapezoid", b(1), x << 12, (x + 150) << 12, (x - 20) << 12, (x + 170) << 12, y, y + 80,
                    0x8080, 30)
        out += call("dxbltsilhouettealpha", b(1), x, y, WHITE, 50) + call("dxfillrectmeshpct", x, y, 150, 100, 7, 33)
    out += call("dxcls", 0x55) + call("dxinvertrect", 0, 0, 160, 120) + call("dxmosaic", 0, 0, 160, 120, 3)
    out += call("dxdrawavi", b(2), 0, 0, 160, 120) + call("StretchDIBits", b(5), 0, 0, 160, 120, 0, 0, 7, 4, b(1))
    out += call("dximeon", b(COMP_LONG), 2, 3) + call("dxdrawime", 90, 70)
    out += call("StretchBlt", b(1), 0, 0, 160, 120, 0, 0, 16, 16) + call("InvertRect", 0, 0, 160, 120)
    return out


def edges():
    """Pictures, fills and lines that end at the screen's right edge, on rows at
    the top, the middle and the bottom, then the same one pixel further: each
    draws a row's last pixel, and the pixel past it must be cut or refused, not
    land in the padding past the row."""
    out = []
    for past in (0, 1):
        x8, x16 = Far(0, -8 + past), Far(0, -16 + past)  # 152 and 144 on the screen, then 153 and 145
        for y in (0, 56, 112):
            out += call("dxblt", b(0), x8, y) + call("dxbltnokey", b(1), x16, y) + call("dxbltunder", b(2), x8, y)
            out += call("dxbltpart", b(1), x8, y, 0, 0, 8, 8) + call("dxbltadd", b(0), x8, y)
            out += call("dxbltalpha", b(1), x16, y, 50) + call("dxbltmirror", b(0), b(1), x8, y)
            out += call("dxblttile", b(0), 96, y, 64 + past, 8) + call("dxstretchblt", b(2), 140, y, 20 + past, 8)
            out += call("dxfillrect", 157, y, 3 + past, 8, WHITE) + call("dxline", 0, y, 159 + past, y, WHITE)
            out += call("dxsetpixel", Far(0, -1 + past), y + 7, WHITE)
    return out


def bitmap_edges():
    """The same at the right edge of a bitmap pushed as the target (16 x 16),
    then of one pushed as a surface."""
    out = []
    for push, target in (("dxpushtarget", b(1)), ("dxpushtargetsurface", b(3))):
        out += call(push, target)
        for past in (0, 1):
            x8 = Far(0, -8 + past)  # 8 on the bitmap, then 9
            for y in (0, 4, 8):
                out += call("dxblt", b(0), x8, y) + call("dxbltnokey", b(2), x8, y) + call("dxbltunder", b(0), x8, y)
                out += call("dxbltpart", b(2), x8, y, 0, 0, 8, 8) + call("dxbltadd", b(0), x8, y)
                out += call("dxbltalpha", b(2), x8, y, 50) + call("dxbltmirror", b(0), b(1), x8, y)
                out += call("dxfillrect", 13, y, 3 + past, 8, WHITE)
        out += call("dxpoptarget", b(0))
    return out


def source_edges():
    """Source rectangles that end on a source's right edge or bottom, then one
    pixel past it: the part blits (bitmaps of 8 and 16), GDI's stretches from a
    bitmap, from a picture and from the target itself, the mask's offset,
    affine corners one pixel wide of the bitmap, and captures of the target.
    The one that fits reads the last column or row; the one past must be
    refused or cut, never read the bytes past the row."""
    out = []
    for past in (0, 1):
        for bitmap, side in ((b(0), 8), (b(1), 16)):
            out += call("dxbltpart", bitmap, 20, 20, past, 0, side, side)
            out += call("dxbltpart", bitmap, 20, 20, 0, past, side, side)
            out += call("dxbltpartnokey", bitmap, 40, 40, past, 0, side, side)
            out += call("dxbltpartnokey", bitmap, 40, 40, side - 1 + past, side - 1 + past, 1, 1)
        out += call("StretchBlt", b(1), 10, 60, 16, 16, past, 0, 16, 16)
        out += call("StretchBlt", b(1), 30, 60, 16, 16, 0, past, 16, 16)
        out += call("StretchBlt", b(2), 60, 60, 32, 24, past, past, 8, 8)
        # From the target's own context: its right edge, then its bottom.
        out += call("StretchBlt", b(4), 10, 80, 16, 16, Far(0, -16 + past), 0, 16, 16)
        out += call("StretchBlt", b(4), 30, 80, 16, 16, 0, Far(1, -16 + past), 16, 16)
        for dib, w, h in ((b(2), 7, 5), (b(5), 7, 4)):
            out += call("StretchDIBits", dib, 100, 10, w, h, past, 0, w, h, b(1))
            out += call("StretchDIBits", dib, 100, 30, w * 2, h * 2, 0, past, w, h, b(1))
        out += call("dxbltmask", b(0), b(2), 70, 20, 70 - past, 20)
        out += call("dxbltmask", b(1), b(3), 90, 20, 90, 20 - past)
        out += call("dxbltaffine", b(0), 120, 60, 128 + past, 60, 120, 68)
        out += call("dxbltaffine", b(0), 120, 80, 128, 80, 120, 88 + past)
        out += call("dxcapture", Far(0, -16 + past), 10, 16, 16, b(1), 4, 100)
        out += call("dxcapture", 10, Far(1, -16 + past), 16, 16, b(0), 24, 100)
        out += call("dxassignbitmap", b(2), b(0x81), Far(0, -16 + past), 5, 16, 7)
        out += call("dxblt", b(2), 50, 100)
    return out


# Calls a seed: longer lists are split, as the target draws at most 64 an input.
LIMIT = 64
DEPTHS = (8, 16, 24, 32)
# Clips of the seeds at each depth (none at 32 bits): the target checks that
# the clipping calls leave what lies outside as it was.
CLIPS = {8: (3, 2, 150, 110), 16: (20, 15, 100, 80), 24: (1, 6, 158, 30), 32: None}
FAMILIES = [fills, blits, effects, moves, rect_effects, shapes, text, targets, others, far_ends, gdi, scene,
            clipped, edges, bitmap_edges, source_edges]
# Families whose calls take the device's path when it offers them: written at
# each depth both with the hardware device and without one.
BOTH = (effects, moves, rect_effects, shapes)


def display(depth, device, vram):
    return DEPTHS.index(depth) + 4 * device + (12 if vram else 0)


def seeds():
    """(name, display byte, calls) of every seed."""
    for k, family in enumerate(FAMILIES):
        body = family()
        for d, depth in enumerate(DEPTHS):
            # The 3-D device and video memory vary between the depths of a family.
            device = (k + d) % 3 if family is not scene else (1 + d % 2 if d < 3 else 0)
            vram = (k + d) % 4 == 3
            unclipped = (targets, far_ends, clipped, edges, bitmap_edges, source_edges)
            clip = CLIPS[depth] if family not in unclipped else None
            for dev in (device, 0 if device else 2) if family in BOTH else (device,):
                names = [family.__name__, str(depth), "3d" if dev == 1 else "hw" if dev == 2 else "",
                         "vram" if vram else ""]
                calls = (call("dxsetclip", *clip) if clip else []) + body
                parts = [calls[n:n + LIMIT] for n in range(0, len(calls), LIMIT)]
                for n, part in enumerate(parts):
                    name = "_".join(x for x in names if x) + ("" if len(parts) == 1 else "_%d" % (n + 1))
                    yield name, display(depth, dev, vram), (call("dxsetclip", *clip) if n and clip else []) + part


def main():
    os.makedirs(OUT, exist_ok=True)
    for old in os.listdir(OUT):
        os.remove(os.path.join(OUT, old))
    for name, config, calls in seeds():
        with open(os.path.join(OUT, name), "wb") as f:
            f.write(bytes([config]) + b"".join(calls))


if __name__ == "__main__":
    main()
