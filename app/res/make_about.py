#!/usr/bin/env python3
"""Draws the about box picture (about.bmp, 350x220) and the lamp of the tips dialog (lamp.bmp,
74x58 on the tips strip's green). 24-bit BMP, written by hand: no imaging library needed."""
import math, struct, sys

def canvas(w, h, c):
    return [[c] * w for _ in range(h)]

def mix(a, b, t):
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))

def put(img, x, y, c, a=1.0):
    if 0 <= y < len(img) and 0 <= x < len(img[0]):
        img[y][x] = mix(img[y][x], c, a) if a < 1 else c

def disc(img, cx, cy, r, c, soft=1.0):
    for y in range(int(cy - r - 2), int(cy + r + 3)):
        for x in range(int(cx - r - 2), int(cx + r + 3)):
            d = math.hypot(x - cx, y - cy)
            if d <= r - soft:
                put(img, x, y, c)
            elif d < r:
                put(img, x, y, c, (r - d) / soft)

def ring(img, cx, cy, r, w, c):
    for y in range(int(cy - r - 2), int(cy + r + 3)):
        for x in range(int(cx - r - 2), int(cx + r + 3)):
            d = abs(math.hypot(x - cx, y - cy) - r)
            if d < w:
                put(img, x, y, c, min(1.0, w - d))

def line(img, x0, y0, x1, y1, w, c):
    dx, dy = x1 - x0, y1 - y0
    n = dx * dx + dy * dy or 1
    for y in range(int(min(y0, y1) - w - 1), int(max(y0, y1) + w + 2)):
        for x in range(int(min(x0, x1) - w - 1), int(max(x0, x1) + w + 2)):
            t = max(0.0, min(1.0, ((x - x0) * dx + (y - y0) * dy) / n))
            d = math.hypot(x - (x0 + t * dx), y - (y0 + t * dy))
            if d < w:
                put(img, x, y, c, min(1.0, w - d))

def rect(img, x0, y0, x1, y1, c):
    for y in range(y0, y1 + 1):
        for x in range(x0, x1 + 1):
            put(img, x, y, c)

# A 5x7 block font for the few letters the picture needs.
FONT = {
    'J': ["00111", "00010", "00010", "00010", "10010", "10010", "01100"],
    'U': ["10001", "10001", "10001", "10001", "10001", "10001", "01110"],
    'R': ["11110", "10001", "10001", "11110", "10100", "10010", "10001"],
    'N': ["10001", "11001", "10101", "10011", "10001", "10001", "10001"],
    'V': ["10001", "10001", "10001", "10001", "01010", "01010", "00100"],
    'A': ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    'L': ["10000", "10000", "10000", "10000", "10000", "10000", "11111"],
    'T': ["11111", "00100", "00100", "00100", "00100", "00100", "00100"],
    '2': ["01110", "10001", "00001", "00110", "01000", "10000", "11111"],
    '0': ["01110", "10001", "10011", "10101", "11001", "10001", "01110"],
    '.': ["00000", "00000", "00000", "00000", "00000", "01100", "01100"],
    ' ': ["00000"] * 7,
}

def text(img, x, y, s, scale, c, shadow=None):
    for ch in s:
        g = FONT[ch]
        for gy, row in enumerate(g):
            for gx, bit in enumerate(row):
                if bit == '1':
                    if shadow:
                        rect(img, x + gx * scale + 2, y + gy * scale + 2,
                             x + gx * scale + scale + 1, y + gy * scale + scale + 1, shadow)
                    rect(img, x + gx * scale, y + gy * scale,
                         x + gx * scale + scale - 1, y + gy * scale + scale - 1, c)
        x += 6 * scale

def text_width(s, scale):
    return len(s) * 6 * scale - scale

def about():
    W, H = 350, 220
    top, bottom = (18, 52, 96), (6, 18, 40)
    img = [[mix(top, bottom, y / (H - 1))] * W for y in range(H)]
    img = [list(row) for row in img]
    # A vault door: rings, bolts and a check mark in its middle.
    cx, cy = 72, 88
    disc(img, cx, cy, 52, (40, 80, 130))
    ring(img, cx, cy, 52, 2.5, (150, 190, 230))
    ring(img, cx, cy, 40, 1.5, (100, 150, 205))
    for k in range(8):
        a = k * math.pi / 4
        disc(img, cx + 46 * math.cos(a), cy + 46 * math.sin(a), 3.2, (200, 220, 245))
    disc(img, cx, cy, 28, (30, 120, 70))
    line(img, cx - 13, cy + 1, cx - 3, cy + 12, 4, (235, 250, 235))
    line(img, cx - 3, cy + 12, cx + 16, cy - 12, 4, (235, 250, 235))
    # Name and version line.
    text(img, 140, 52, "JURNVALT", 4, (245, 248, 255), shadow=(5, 12, 30))
    text(img, 140 + text_width("JURNVALT", 4) - text_width("2.0", 3), 90, "2.0", 3,
         (150, 200, 245))
    # Rows of a checksum list, fading out.
    for i in range(4):
        y = 116 + i * 9
        fade = 1 - i * 0.18
        rect(img, 140, y, 140 + 150, y + 3, mix(bottom, (90, 130, 180), 0.5 * fade))
        rect(img, 296, y - 1, 301, y + 4, mix(bottom, (70, 200, 110), fade))
    # A lighter band for the links, where both their plain black and their lit white read.
    for y in range(180, H):
        t = (y - 180) / (H - 181)
        c = mix((128, 166, 214), (104, 142, 192), t)
        for x in range(W):
            img[y][x] = c
    for x in range(W):
        img[180][x] = (170, 200, 235)
    return img

def lamp():
    W, H = 74, 58
    strip = (0x55, 0xAA, 0x7F)  # the tips strip, $7FAA55
    img = canvas(W, H, strip)
    cx, cy = 37, 22
    for k in range(9):
        a = math.pi + k * math.pi / 8
        line(img, cx + 19 * math.cos(a), cy + 19 * math.sin(a),
             cx + 25 * math.cos(a), cy + 25 * math.sin(a), 1.2, (255, 245, 170))
    disc(img, cx, cy, 14, (255, 228, 90))
    disc(img, cx - 4, cy - 5, 5, (255, 248, 200))
    rect(img, cx - 7, cy + 12, cx + 7, cy + 18, (255, 228, 90))
    for y in (cy + 19, cy + 22, cy + 25):
        rect(img, cx - 7, y, cx + 7, y + 2, (150, 150, 160))
        rect(img, cx - 7, y + 2, cx + 7, y + 2, (95, 95, 105))
    rect(img, cx - 4, cy + 28, cx + 4, cy + 30, (80, 80, 90))
    return img

def write_bmp(path, img):
    h, w = len(img), len(img[0])
    pad = (4 - (w * 3) % 4) % 4
    data = bytearray()
    for row in reversed(img):
        for r, g, b in row:
            data += bytes((b, g, r))
        data += b"\0" * pad
    header = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + data)

if __name__ == "__main__":
    out = sys.argv[1] if len(sys.argv) > 1 else "."
    write_bmp(out + "/about.bmp", about())
    write_bmp(out + "/lamp.bmp", lamp())
