#!/usr/bin/env python3
"""Draws the program icon: a 32x32, 24-bit .ico (a gold ring orbiting a
small sun on a night-blue tile). Run: python3 make_icon.py orrivel.ico"""
import math
import struct
import sys

SIZE = 32


def pixel(x, y):
    cx, cy = x + 0.5 - SIZE / 2, y + 0.5 - SIZE / 2
    r = math.hypot(cx, cy)
    # A tilted orbit: an ellipse rotated by 30 degrees.
    a = math.radians(30)
    ex = cx * math.cos(a) + cy * math.sin(a)
    ey = -cx * math.sin(a) + cy * math.cos(a)
    orbit = math.hypot(ex / 13.0, ey / 6.0)
    if r < 5.0:
        return (255, 200, 40)  # the sun
    if abs(orbit - 1.0) < 0.11:
        return (235, 150, 30)  # the ring
    if math.hypot(cx - 9, cy + 9) < 2.6:
        return (250, 250, 240)  # a moon on the ring's far side
    if max(abs(cx), abs(cy)) > 15.0:
        return (10, 20, 50)  # border
    shade = int(40 + 30 * (y / SIZE))
    return (12, 24, shade + 30)  # night sky


def build():
    rows = []
    for y in reversed(range(SIZE)):  # bottom-up
        row = b"".join(struct.pack("BBB", b, g, r) for (r, g, b) in (pixel(x, y) for x in range(SIZE)))
        rows.append(row)  # 96 bytes: already a multiple of 4
    xor = b"".join(rows)
    and_mask = b"\x00" * (4 * SIZE)  # fully opaque; 32 bits per row
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 24, 0, len(xor) + len(and_mask), 0, 0, 0, 0)
    image = header + xor + and_mask
    icondir = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 24, len(image), 6 + 16)
    return icondir + entry + image


if __name__ == "__main__":
    with open(sys.argv[1] if len(sys.argv) > 1 else "orrivel.ico", "wb") as f:
        f.write(build())
