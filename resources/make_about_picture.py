#!/usr/bin/env python3
"""Draws the About box's hidden picture: a 528x360 night sky with the
built-in movie's three pairs of lights on their orbits, written as JPEG
with cjpeg (libjpeg-turbo-progs). Run: python3 make_about_picture.py about_picture.jpg"""
import math
import random
import subprocess
import sys

W, H = 528, 360
CENTRE = (W / 2, H / 2 + 10)
LIGHTS = [  # orbit radii, angle, colour
    (70, 40, 0.3, (255, 200, 60)),
    (70, 40, 0.3 + math.pi, (255, 200, 60)),
    (135, 70, 1.9, (90, 200, 255)),
    (135, 70, 1.9 + math.pi, (90, 200, 255)),
    (210, 110, 4.0, (255, 110, 170)),
    (210, 110, 4.0 + math.pi, (255, 110, 170)),
]


def main(out_path):
    rnd = random.Random(1416)
    stars = {(rnd.randrange(W), rnd.randrange(H)): rnd.randint(120, 255) for _ in range(260)}
    lights = [(CENTRE[0] + a * math.cos(t), CENTRE[1] + b * math.sin(t), c) for a, b, t, c in LIGHTS]
    rows = bytearray()
    for y in range(H):
        for x in range(W):
            shade = y / H
            r, g, b = 8 + 10 * shade, 14 + 20 * shade, 40 + 50 * shade
            s = stars.get((x, y))
            if s:
                r = g = b = s
            for a, bb, _t, _c in LIGHTS[::2]:
                # the faint orbits
                e = math.hypot((x - CENTRE[0]) / a, (y - CENTRE[1]) / bb)
                if abs(e - 1.0) < 0.006:
                    r, g, b = r + 25, g + 25, b + 35
            for lx, ly, (cr, cg, cb) in lights:
                glow = math.exp(-((x - lx) ** 2 + (y - ly) ** 2) / 90.0)
                r, g, b = r + cr * glow, g + cg * glow, b + cb * glow
            sun = math.exp(-((x - CENTRE[0]) ** 2 + (y - CENTRE[1]) ** 2) / 300.0)
            r, g, b = r + 255 * sun, g + 240 * sun, b + 200 * sun
            rows += bytes(min(255, int(v)) for v in (r, g, b))
    ppm = b"P6\n%d %d\n255\n" % (W, H) + bytes(rows)
    jpeg = subprocess.run(["cjpeg", "-quality", "88", "-optimize"], input=ppm,
                          capture_output=True, check=True).stdout
    assert jpeg[:2] == b"\xff\xd8"
    with open(out_path, "wb") as f:
        f.write(jpeg)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "about_picture.jpg")
