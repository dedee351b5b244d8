#!/usr/bin/env python3
"""Draws the program icon (a blue shield with a white check mark) as a multi-size .ico."""
import struct, sys, math

def shield(x, y, n):
    # Normalised coordinates in [0,1]; shield: flat top, sides go straight then curve to a point.
    u, v = (x + 0.5) / n, (y + 0.5) / n
    if v < 0.08 or v > 0.95:
        return False
    half = 0.40 if v < 0.55 else 0.40 * math.sqrt(max(0.0, 1 - ((v - 0.55) / 0.40) ** 2))
    return abs(u - 0.5) <= half

def check(x, y, n):
    u, v = (x + 0.5) / n, (y + 0.5) / n
    def seg(ax, ay, bx, by, w):
        dx, dy = bx - ax, by - ay
        t = max(0, min(1, ((u - ax) * dx + (v - ay) * dy) / (dx * dx + dy * dy)))
        return math.hypot(u - (ax + t * dx), v - (ay + t * dy)) <= w
    w = 0.075
    return seg(0.30, 0.50, 0.45, 0.66, w) or seg(0.45, 0.66, 0.72, 0.34, w)

def image(n):
    rows = []
    for y in range(n - 1, -1, -1):  # bottom-up
        row = b""
        for x in range(n):
            if shield(x, y, n):
                if check(x, y, n):
                    b, g, r = 255, 255, 255
                else:
                    shade = int(40 * (y / n))
                    b, g, r = 200 - shade, 110 - shade // 2, 30
                row += bytes((b, g, r, 255))
            else:
                row += bytes((0, 0, 0, 0))
        rows.append(row)
    xor = b"".join(rows)
    mask_row = ((n + 31) // 32) * 4
    and_mask = b"\0" * (mask_row * n)
    header = struct.pack("<IiiHHIIiiII", 40, n, n * 2, 1, 32, 0, len(xor) + len(and_mask), 0, 0, 0, 0)
    return header + xor + and_mask

sizes = [16, 32, 48]
images = [image(n) for n in sizes]
out = struct.pack("<HHH", 0, 1, len(sizes))
offset = 6 + 16 * len(sizes)
for n, img in zip(sizes, images):
    out += struct.pack("<BBBBHHII", n, n, 0, 0, 1, 32, len(img), offset)
    offset += len(img)
out += b"".join(images)
open(sys.argv[1], "wb").write(out)
