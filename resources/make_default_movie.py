#!/usr/bin/env python3
"""Writes the built-in movie: an uncompressed SWF 4 file of exactly 1,416
bytes, a 550 x 400 pixel stage, 18 frames per second, 238 frames, looping.
Run: python3 make_default_movie.py default_movie.swf

The picture: three whirls of thin spiral ribbons on a night-blue stage, each
ribbon carrying a glowing bead. A cool violet-to-cyan whirl turns one way, a
gold one the other way around a different centre, and a wide, faint blue one
turns behind them, so the ribbons keep crossing and parting and every part of
the stage is lit only while a ribbon sweeps over it.

How it fits: the 238 ShowFrame tags of the main timeline alone take 476
bytes, so the main timeline only places the three whirls once. All motion
lives in two short "turner" sprites (17 and 14 frames) that each turn a ring
of 16 ribbons by exactly one ribbon spacing per cycle. The ring then looks as
it did at the start, so the cycle reads as a slow, endless turn; 17 and 14
both divide 238, so the picture after frame 238 is frame 1's again. The ring
is one ribbon placed 16 times through sprites that each double their part.
"""
import math
import struct
import sys

FILE_SIZE = 1416
SWF_VERSION = 4
STAGE_W, STAGE_H = 550 * 20, 400 * 20  # twips
FRAME_RATE = 18
FRAME_COUNT = 238

# Tag codes; all exist since SWF 3, so a version 4 file may hold them.
END, SHOW_FRAME, SET_BACKGROUND_COLOR = 0, 1, 9
PLACE_OBJECT2, DEFINE_SHAPE3, DEFINE_SPRITE, FRAME_LABEL = 26, 32, 39, 43


# ---- bit fields ---------------------------------------------------------------

class BitWriter:
    """SWF bit fields: most significant bit first; records start on a byte."""

    def __init__(self):
        self.data = bytearray()
        self.bit = 0  # bits used in the last byte; 0: the next bit starts a byte

    def ubits(self, value, count):
        assert 0 <= value < (1 << count) or value == 0, (value, count)
        for i in range(count - 1, -1, -1):
            if self.bit == 0:
                self.data.append(0)
            if (value >> i) & 1:
                self.data[-1] |= 0x80 >> self.bit
            self.bit = (self.bit + 1) % 8

    def sbits(self, value, count):
        assert -(1 << (count - 1)) <= value < (1 << (count - 1)), (value, count)
        self.ubits(value & ((1 << count) - 1), count)

    def align(self):
        self.bit = 0

    def raw(self, data):
        self.align()
        self.data += data


def signed_bits(*values):
    """The width a signed field needs to hold every value."""
    return max(1, *(v.bit_length() + 1 if v >= 0 else (~v).bit_length() + 1 for v in values))


def fixed(value):
    """16.16 fixed point."""
    return int(round(value * 65536))


def write_rect(w, xmin, xmax, ymin, ymax):
    n = signed_bits(xmin, xmax, ymin, ymax)
    w.ubits(n, 5)
    for v in (xmin, xmax, ymin, ymax):
        w.sbits(v, n)
    w.align()


def write_matrix(w, a=1.0, b=0.0, c=0.0, d=1.0, tx=0, ty=0):
    """x' = a*x + c*y + tx, y' = b*x + d*y + ty. The scale and rotate parts
    are left out when they are the identity's."""
    a, b, c, d = fixed(a), fixed(b), fixed(c), fixed(d)
    has_scale = (a, d) != (65536, 65536)
    w.ubits(has_scale, 1)
    if has_scale:
        n = signed_bits(a, d)
        w.ubits(n, 5)
        w.sbits(a, n)
        w.sbits(d, n)
    has_rotate = (b, c) != (0, 0)
    w.ubits(has_rotate, 1)
    if has_rotate:
        n = signed_bits(b, c)
        w.ubits(n, 5)
        w.sbits(b, n)
        w.sbits(c, n)
    n = signed_bits(tx, ty) if (tx, ty) != (0, 0) else 0
    w.ubits(n, 5)
    if n:
        w.sbits(tx, n)
        w.sbits(ty, n)
    w.align()


def rotation(degrees, scale=1.0, tx=0, ty=0):
    """Matrix fields: scale, then turn by `degrees` (clockwise on screen, where
    y points down), then move."""
    t = math.radians(degrees)
    return dict(a=scale * math.cos(t), b=scale * math.sin(t), c=-scale * math.sin(t),
                d=scale * math.cos(t), tx=int(round(tx)), ty=int(round(ty)))


def write_cxform(w, mult, add=None):
    """A colour transform with alpha: multiply terms (r, g, b, a as factors)
    and, when given, add terms (r, g, b, a from -255 to 255)."""
    terms = [int(round(m * 256)) for m in mult] + list(add or ())
    w.ubits(1 if add else 0, 1)
    w.ubits(1, 1)  # multiply terms present
    n = signed_bits(*terms)
    w.ubits(n, 4)
    for t in terms:  # the multiply terms, then the add terms
        w.sbits(t, n)
    w.align()


# ---- tags -----------------------------------------------------------------------

def tag(code, body=b""):
    # The short header holds lengths up to 62; longer bodies need the long one.
    if len(body) < 63:
        return struct.pack("<H", code << 6 | len(body)) + body
    return struct.pack("<HI", code << 6 | 63, len(body)) + body


def show_frame():
    return tag(SHOW_FRAME)


def place(depth, char=None, matrix=None, mult=None, add=None):
    """PlaceObject2: a new object when char is given, else a change to the
    object already at depth."""
    w = BitWriter()
    flags = (0x01 if char is None else 0x02) | (0x04 if matrix else 0) | (0x08 if mult else 0)
    w.raw(struct.pack("<BH", flags, depth))
    if char is not None:
        w.raw(struct.pack("<H", char))
    if matrix:
        write_matrix(w, **matrix)
    if mult:
        write_cxform(w, mult, add)
    return tag(PLACE_OBJECT2, bytes(w.data))


def define_sprite(char, frames):
    """frames: a list of frames, each a list of control tags."""
    body = struct.pack("<HH", char, len(frames))
    for frame in frames:
        body += b"".join(frame) + show_frame()
    return tag(DEFINE_SPRITE, body + tag(END))


def set_background(r, g, b):
    return tag(SET_BACKGROUND_COLOR, bytes([r, g, b]))


def frame_label(text):
    return tag(FRAME_LABEL, text.encode("ascii") + b"\0")


class Shape:
    """A DefineShape3 body: closed paths in integer twips, each filled with
    one of the (RGBA) fill styles; no lines."""

    def __init__(self):
        self.fills = []  # (matrix fields, [(ratio, (r, g, b, a))]), all radial
        self.paths = []  # (fill number from 1, start point, segments); a segment
        #                  is (x, y) for a line or (cx, cy, x, y) for a curve

    def radial(self, radius, stops):
        """A radial gradient centred on the origin whose last stop lies at
        `radius`; returns its fill number."""
        self.fills.append((dict(a=radius / 16384, d=radius / 16384), stops))
        return len(self.fills)

    def path(self, fill, start, segments):
        self.paths.append((fill, start, segments))

    def define(self, char):
        w = BitWriter()
        w.raw(struct.pack("<H", char))
        points = [p for _, start, segs in self.paths
                  for p in [start] + [s[i:i + 2] for s in segs for i in range(0, len(s), 2)]]
        xs, ys = zip(*points)
        write_rect(w, min(xs), max(xs), min(ys), max(ys))
        w.raw(bytes([len(self.fills)]))
        for matrix, stops in self.fills:
            w.raw(bytes([0x12]))  # radial gradient
            write_matrix(w, **matrix)
            w.raw(bytes([len(stops)]))
            for ratio, rgba in stops:
                w.raw(bytes([ratio, *rgba]))
        w.raw(bytes([0]))  # no line styles
        fill_bits = len(self.fills).bit_length()
        w.ubits(fill_bits, 4)
        w.ubits(0, 4)  # line style bits
        for fill, start, segments in self.paths:
            write_path(w, fill, fill_bits, start, segments)
        w.ubits(0, 6)  # end of shape
        return tag(DEFINE_SHAPE3, bytes(w.data))


def write_path(w, fill, fill_bits, start, segments):
    # The fill goes on the inside of the path: on the right of the edges
    # (fill style 1) when it runs clockwise on screen, else on the left.
    anchors = [start] + [s[-2:] for s in segments]
    area = sum(x0 * y1 - x1 * y0 for (x0, y0), (x1, y1) in zip(anchors, anchors[1:] + anchors[:1]))
    clockwise = area > 0
    w.ubits(0b000111, 6)  # style change: fill style 1, fill style 0, move to
    n = signed_bits(*start)
    w.ubits(n, 5)
    w.sbits(start[0], n)
    w.sbits(start[1], n)
    w.ubits(0 if clockwise else fill, fill_bits)  # fill style 0: left
    w.ubits(fill if clockwise else 0, fill_bits)  # fill style 1: right
    x, y = start
    for s in segments:
        if len(s) == 2:
            write_line(w, s[0] - x, s[1] - y)
        else:
            # Curve fields are relative: control to the pen, anchor to control.
            deltas = (s[0] - x, s[1] - y, s[2] - s[0], s[3] - s[1])
            n = max(2, signed_bits(*deltas))
            w.ubits(0b10, 2)  # curved edge
            w.ubits(n - 2, 4)
            for v in deltas:
                w.sbits(v, n)
        x, y = s[-2:]


def write_line(w, dx, dy):
    n = max(2, signed_bits(dx, dy))
    w.ubits(0b11, 2)  # straight edge
    w.ubits(n - 2, 4)
    if dx and dy:
        w.ubits(1, 1)  # general line
        w.sbits(dx, n)
        w.sbits(dy, n)
    else:
        w.ubits(0, 1)
        w.ubits(1 if dx == 0 else 0, 1)  # vertical
        w.sbits(dy if dx == 0 else dx, n)


# ---- geometry ---------------------------------------------------------------------

def px(v):
    return int(round(v * 20))


def curve_through(fn, u0, u1, count):
    """Quadratic segments (in twips) following fn(u) -> (x, y) in pixels from
    u0 to u1; each control point is where the tangents at both ends meet."""
    segs = []
    eps = 1e-4
    for i in range(count):
        a = u0 + (u1 - u0) * i / count
        b = u0 + (u1 - u0) * (i + 1) / count
        p0, p1 = fn(a), fn(b)
        t0 = [(q - p) / eps for p, q in zip(fn(a - eps), p0)]
        t1 = [(q - p) / eps for p, q in zip(p1, fn(b + eps))]
        cross = t0[0] * t1[1] - t0[1] * t1[0]
        if abs(cross) < 1e-9:
            c = ((p0[0] + p1[0]) / 2, (p0[1] + p1[1]) / 2)
        else:
            s = ((p1[0] - p0[0]) * t1[1] - (p1[1] - p0[1]) * t1[0]) / cross
            c = (p0[0] + t0[0] * s, p0[1] + t0[1] * s)
        segs.append((px(c[0]), px(c[1]), px(p1[0]), px(p1[1])))
    return segs


class Spiral:
    """A logarithmic spiral from radius r0 to r1 pixels, turning by `sweep`
    degrees on the way out."""

    def __init__(self, r0, r1, sweep):
        self.r0, self.r1 = r0, r1
        self.k = math.radians(sweep) / math.log(r1 / r0)

    def point(self, r, offset=0.0):
        a = self.k * math.log(r / self.r0) + offset
        return (r * math.cos(a), r * math.sin(a))

    def ribbon(self, half_width):
        """A ribbon along the spiral, `half_width` degrees wide on each side at
        its middle and tapering to points at both ends."""
        w = math.radians(half_width)

        def edge(sign):
            return lambda u: self.point(self.r0 * (self.r1 / self.r0) ** u,
                                        sign * w * math.sin(math.pi * u))
        segments = curve_through(edge(+1), 0, 1, 4) + curve_through(edge(-1), 1, 0, 4)
        return (px(self.r0), 0), segments


# ---- the picture --------------------------------------------------------------------

GLOW, RIBBON, BLADE, PAIR, RING4, RING8, RING16, TURN17, TURN14 = range(1, 10)
RIBBONS = 16  # per ring; a turner moves the ring on by one ribbon spacing per cycle

# Turner frames are the costliest tags (one per frame) and their matrix
# fields get shorter with a small scale: the ring is built BIG times too
# large and each turner frame shrinks it back. Just under 1/BIG keeps the
# largest field below a power of two, one bit shorter.
BIG = 32
TURN_SCALE = 0.999 / BIG


def doubled(char, part, degrees, scale=1.0):
    """A sprite holding `part` twice, the second copy turned by `degrees`."""
    first = rotation(0, scale) if scale != 1 else None
    return define_sprite(char, [[place(1, part, first), place(2, part, rotation(degrees, scale))]])


def turner(char, period):
    """A sprite that turns the ring by one ribbon spacing over `period` frames.
    The angles run from minus to plus half a spacing: small sines need fewer
    bits, and the ring at +half looks the same as at -half."""
    frames = []
    for i in range(period):
        m = rotation((i / period - 0.5) * 360 / RIBBONS, TURN_SCALE)
        frames.append([place(1, RING16, m) if i == 0 else place(1, None, m)])
    return define_sprite(char, frames)


def movie_tags():
    """The definitions and the main timeline's first frame."""
    tags = set_background(6, 9, 24)

    # A glowing bead: a square whose radial gradient ends, transparent, on its
    # inner circle; four straight edges cost far less than a round outline.
    glow = Shape()
    r = 1000
    fill = glow.radial(r, [(0, (255, 240, 255, 255)), (40, (190, 170, 255, 110)),
                           (255, (140, 140, 255, 0))])
    glow.path(fill, (-r, -r), [(r, -r), (r, r), (-r, r), (-r, -r)])
    tags += glow.define(GLOW)

    # A ribbon whose colour runs from violet at the hub to cyan outside; its
    # gradient is centred on the hub, so turning the ribbon keeps colour tied
    # to distance. Both ends fade out, which keeps the crowded hub dark.
    spiral = Spiral(12, 340, 110)
    ribbon = Shape()
    fill = ribbon.radial(px(340), [(0, (255, 255, 255, 0)), (25, (140, 110, 255, 40)),
                                   (80, (150, 120, 255, 230)), (170, (90, 210, 255, 190)),
                                   (255, (90, 255, 200, 0))])
    ribbon.path(fill, *spiral.ribbon(2.2))
    tags += ribbon.define(RIBBON)

    bx, by = spiral.point(150)
    tags += define_sprite(BLADE, [[place(1, RIBBON),
                                   place(2, GLOW, dict(a=0.5, d=0.5, tx=px(bx), ty=px(by)))]])
    tags += doubled(PAIR, BLADE, 180, BIG)
    tags += doubled(RING4, PAIR, 90)
    tags += doubled(RING8, RING4, 45)
    tags += doubled(RING16, RING8, 22.5)
    tags += turner(TURN17, 17)
    tags += turner(TURN14, 14)

    s = 1 / (BIG * TURN_SCALE)  # undoes the turners' shrinking
    cx, cy = STAGE_W // 2, STAGE_H // 2
    first = [
        # Behind: the wide, faint blue whirl.
        place(1, TURN17, rotation(7, 1.6 * s, cx, cy), mult=(0.5, 0.5, 1, 0.4)),
        # The cool whirl, up and to the right of centre.
        place(2, TURN17, rotation(0, s, cx + 1100, cy - 500), mult=(1, 1, 1, 0.85)),
        # The gold whirl, mirrored so it turns the other way, down and left:
        # a flat gold that keeps the ribbons' fading.
        place(3, TURN14, dict(a=-s, d=s, tx=cx - 1100, ty=cy + 500), mult=(0.2, 0.2, 0.1, 0.6),
              add=(200, 140, 50, 0)),
    ]
    return tags, first


# ---- the file ---------------------------------------------------------------------------

def header(body_length):
    w = BitWriter()
    write_rect(w, 0, STAGE_W, 0, STAGE_H)
    rest = bytes(w.data) + struct.pack("<HH", FRAME_RATE << 8, FRAME_COUNT)
    return b"FWS" + bytes([SWF_VERSION]) + struct.pack("<I", 8 + len(rest) + body_length) + rest


def padding_label(size):
    """A frame label tag of exactly `size` bytes (at least 3). It names the
    last frame, which nothing jumps to; every player passes over it."""
    assert size >= 3, f"the movie is {3 - size} bytes too big"
    header_size = 2 if size - 2 < 63 else 6
    text = ("orrivel" + "." * size)[:size - header_size - 1]
    result = frame_label(text)
    assert len(result) == size
    return result


def build():
    definitions, first_frame = movie_tags()
    frames = [b"".join(first_frame)] + [b""] * (FRAME_COUNT - 1)
    fixed_size = len(header(0)) + len(definitions) + sum(map(len, frames)) \
        + FRAME_COUNT * len(show_frame()) + len(tag(END))
    frames[-1] += padding_label(FILE_SIZE - fixed_size)
    body = definitions + b"".join(f + show_frame() for f in frames) + tag(END)
    data = header(len(body)) + body
    assert len(data) == FILE_SIZE, len(data)
    return data


if __name__ == "__main__":
    with open(sys.argv[1] if len(sys.argv) > 1 else "default_movie.swf", "wb") as out:
        out.write(build())
