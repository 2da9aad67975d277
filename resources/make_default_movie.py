#!/usr/bin/env python3
"""Writes the built-in movie: an uncompressed SWF 4 file of exactly 1,416
bytes, a 550 x 400 pixel stage, 18 frames per second, 238 frames, looping.
Run: python3 make_default_movie.py default_movie.swf

The picture: three couples of lights waltz over a still night sky with a
soft violet glow. In each couple a warm lantern and a small firefly, which
trails two fading sparks, circle a centre of their own on opposite sides;
the couples are gold, rose and aqua, one turns the other way, and their six
circles cross so that together they pass over every region of the stage. A
light lights a pixel only for a moment once per loop, and only the six small
lights change from frame to frame, so a player that redraws only what
changed redraws a few percent of the screen.

How it fits: the 238 ShowFrame tags of the main timeline alone take 476
bytes, so the main timeline only places the sky's glow and the three couples
once. A light circling once in 238 frames would need a 238-frame timeline.
Instead three nested "spinner" sprites of 2, 7 and 17 frames (they divide
238) turn whole numbers of times per cycle, fast and mostly against each
other, and their turns add up to one slow turn per loop (see SPINNERS).
Every spinner ends its cycle exactly where it began, so after frame 238 the
picture is frame 1's again and no light ever jumps.
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


def px(v):
    """Pixels to twips."""
    return int(round(v * 20))


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


def rotation(degrees, scale=1.0, x=0.0, y=0.0, mirrored=False):
    """Matrix fields: scale, turn by `degrees` (clockwise on screen, where y
    points down), mirror left to right when asked, then move to (x, y) px."""
    t = math.radians(degrees)
    flip = -1 if mirrored else 1
    return dict(a=flip * scale * math.cos(t), b=scale * math.sin(t),
                c=-flip * scale * math.sin(t), d=scale * math.cos(t), tx=px(x), ty=px(y))


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

def tag(code, body=b"", long_header=False):
    # The short header holds lengths up to 62; longer bodies need the long one,
    # which any body may use.
    if len(body) < 63 and not long_header:
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


def define_glow(char, radius, stops):
    """DefineShape3 of a round glow reaching `radius` px from the origin: a
    square whose radial gradient ends, transparent, on its inner circle; four
    straight edges cost far less than a round outline. stops: (ratio, (r, g,
    b, a)) from the centre out."""
    r = px(radius)
    w = BitWriter()
    w.raw(struct.pack("<H", char))
    write_rect(w, -r, r, -r, r)
    w.raw(bytes([1, 0x12]))  # one fill style: a radial gradient
    write_matrix(w, a=r / 16384, d=r / 16384)  # the gradient's own square is 32768 twips wide
    w.raw(bytes([len(stops)]))
    for ratio, rgba in stops:
        w.raw(bytes([ratio, *rgba]))
    w.raw(bytes([0]))  # no line styles
    w.ubits(1, 4)  # fill style index bits
    w.ubits(0, 4)  # line style index bits
    # From the top left corner clockwise on screen, so the inside is on the
    # right of every edge: fill style 1.
    w.ubits(0b000101, 6)  # style change: fill style 1, move to
    n = signed_bits(-r)
    w.ubits(n, 5)
    w.sbits(-r, n)
    w.sbits(-r, n)
    w.ubits(1, 1)  # fill style 1: the gradient
    for dx, dy in ((2 * r, 0), (0, 2 * r), (-2 * r, 0), (0, -2 * r)):
        n = signed_bits(dx + dy)
        w.ubits(0b11, 2)  # straight edge
        w.ubits(n - 2, 4)
        w.ubits(0, 1)  # along an axis:
        w.ubits(dx == 0, 1)  # vertical or horizontal
        w.sbits(dx + dy, n)
    w.ubits(0, 6)  # end of shape
    return tag(DEFINE_SHAPE3, bytes(w.data))


# ---- the picture ------------------------------------------------------------------

LANTERN, FIREFLY, SKY_GLOW, COUPLE, SPIN2, SPIN7, SPIN17 = range(1, 8)

# Three nested spinners: (sprite, frames per cycle, turns per cycle), the
# outermost first. Per loop they turn 238 / 17 * -6 = -84, 238 / 7 * -1 = -34
# and 238 / 2 * 1 = 119 times, one turn in all: each frame the couple turns
# 1.5 degrees clockwise.
SPINNERS = [(SPIN17, 17, -6), (SPIN7, 7, -1), (SPIN2, 2, 1)]
assert sum(FRAME_COUNT // frames * turns for _, frames, turns in SPINNERS) == 1

# Spinner frames are the costliest tags, and their matrix fields are shortest
# with a small scale: just under 1/16 keeps every field within 13 bits. The
# half-turn spinner needs no scale (its frames have no turn fields); the couple
# is drawn SPIN_SCALE**-2 times larger to make up for the other two.
SPIN_SCALE = 0.999 / 16

# A couple, around its centre: (light, distance (px), angle (degrees), size,
# alpha). The firefly's sparks follow it on its circle.
COUPLE_LIGHTS = [
    (LANTERN, 104, 0, 1.0, 1.0),
    (FIREFLY, 150, 175.8, 0.45, 0.25),
    (FIREFLY, 150, 177.8, 0.7, 0.5),
    (FIREFLY, 150, 180, 1.0, 1.0),
]

# The couples: centre (px), size, mirrored (turns the other way), start angle
# (degrees), colour transform (multiply, add) or None. Their six circles
# cross every part of the stage; the lights move 3 to 4.5 px per frame.
COUPLES = [
    ((187, 198), 1.1, False, 0, None),  # gold
    ((364, 229), 1.1, True, 200, ((1, 0.6, 0.9, 1), (30, 0, 40, 0))),  # rose
    ((317, 116), 1.1, False, 120, ((0.35, 0.85, 1, 1), (0, 20, 70, 0))),  # aqua
]


def spinner(char, child, frames, turns):
    """A sprite that turns `child` by `turns` whole turns per cycle of
    `frames` frames, evenly."""
    scale = 1 if frames == 2 else SPIN_SCALE
    return define_sprite(char, [
        [place(1, child if i == 0 else None, rotation(360 * turns * i / frames, scale))]
        for i in range(frames)])


def movie_tags():
    """The definitions and the main timeline's first frame."""
    tags = set_background(4, 6, 18)
    tags += define_glow(LANTERN, 14, [
        (0, (255, 255, 240, 255)), (12, (255, 240, 190, 245)), (34, (255, 200, 110, 190)),
        (70, (255, 150, 70, 125)), (125, (235, 110, 70, 66)), (190, (210, 90, 80, 26)),
        (255, (190, 80, 90, 0))])
    tags += define_glow(FIREFLY, 8.5, [
        (0, (250, 255, 230, 255)), (28, (215, 255, 140, 225)), (85, (150, 235, 100, 125)),
        (165, (90, 200, 120, 48)), (255, (60, 160, 140, 0))])
    # A wide, dim glow in the sky. It never changes, so it is drawn again only
    # under the lights; it is the costliest thing to draw, so there is one.
    tags += define_glow(SKY_GLOW, 260, [
        (0, (80, 45, 140, 70)), (110, (40, 40, 120, 38)), (255, (10, 40, 90, 0))])

    grow = SPIN_SCALE ** -2
    lights = []
    for depth, (light, distance, angle, size, alpha) in enumerate(COUPLE_LIGHTS, 1):
        t = math.radians(angle)
        at = rotation(0, size * grow, grow * distance * math.cos(t), grow * distance * math.sin(t))
        lights.append(place(depth, light, at, mult=(1, 1, 1, alpha) if alpha < 1 else None))
    tags += define_sprite(COUPLE, [lights])
    child = COUPLE
    for char, frames, turns in reversed(SPINNERS):
        tags += spinner(char, child, frames, turns)
        child = char

    first = [place(1, SKY_GLOW, dict(tx=px(230), ty=px(170)))]
    for depth, ((x, y), size, mirrored, angle, colour) in enumerate(COUPLES, 2):
        mult, add = colour or (None, None)
        first.append(place(depth, SPINNERS[0][0], rotation(angle, size, x, y, mirrored),
                           mult=mult, add=add))
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
    long_header = size - 2 > 62  # the label and its end byte fill the rest
    text = ("orrivel" + "." * size)[:size - (6 if long_header else 2) - 1]
    result = tag(FRAME_LABEL, text.encode("ascii") + b"\0", long_header)
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
    assert data[:4] == b"FWS" + bytes([SWF_VERSION])
    assert struct.unpack_from("<I", data, 4)[0] == FILE_SIZE  # the file length field
    return data


if __name__ == "__main__":
    with open(sys.argv[1] if len(sys.argv) > 1 else "default_movie.swf", "wb") as out:
        out.write(build())
