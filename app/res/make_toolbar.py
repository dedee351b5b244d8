#!/usr/bin/env python3
"""Draws the tool bar images: one 24-bit BMP strip of 16x16 images, magenta (255,0,255) being
transparent. Order: new, open, save, edit, copy, delete, update, verify, calc, options, about."""
import math, struct, sys

N = 16
KEY = (255, 0, 255)

def canvas():
    return [[KEY] * N for _ in range(N)]

def rect(img, x0, y0, x1, y1, c):
    for y in range(y0, y1 + 1):
        for x in range(x0, x1 + 1):
            if 0 <= x < N and 0 <= y < N:
                img[y][x] = c

def frame(img, x0, y0, x1, y1, c):
    rect(img, x0, y0, x1, y0, c); rect(img, x0, y1, x1, y1, c)
    rect(img, x0, y0, x0, y1, c); rect(img, x1, y0, x1, y1, c)

def line(img, x0, y0, x1, y1, c, w=0.6):
    for y in range(N):
        for x in range(N):
            dx, dy = x1 - x0, y1 - y0
            t = max(0, min(1, ((x - x0) * dx + (y - y0) * dy) / float(dx * dx + dy * dy or 1)))
            if math.hypot(x - (x0 + t * dx), y - (y0 + t * dy)) <= w:
                img[y][x] = c

def disc(img, cx, cy, r, c):
    for y in range(N):
        for x in range(N):
            if math.hypot(x - cx, y - cy) <= r:
                img[y][x] = c

def page(img, x0=3, y0=1, x1=12, y1=14):
    rect(img, x0, y0, x1, y1, (255, 255, 255))
    frame(img, x0, y0, x1, y1, (90, 90, 90))
    for y in range(y0 + 3, y1 - 1, 2):
        rect(img, x0 + 2, y, x1 - 2, y, (170, 170, 200))

BLUE, GREEN, RED, DARK = (40, 90, 200), (30, 150, 50), (210, 40, 40), (60, 60, 60)
YELLOW = (235, 190, 60)

def new():
    i = canvas(); page(i); return i

def open_():
    i = canvas()
    rect(i, 1, 4, 6, 5, YELLOW); rect(i, 1, 5, 13, 13, YELLOW)
    frame(i, 1, 5, 13, 13, (150, 110, 20))
    rect(i, 3, 8, 15, 13, (250, 215, 110)); frame(i, 3, 8, 15, 13, (150, 110, 20))
    return i

def save():
    i = canvas()
    rect(i, 1, 1, 14, 14, BLUE); frame(i, 1, 1, 14, 14, (20, 40, 110))
    rect(i, 4, 2, 11, 6, (255, 255, 255)); rect(i, 4, 9, 11, 14, (200, 200, 200))
    rect(i, 9, 10, 10, 13, DARK)
    return i

def edit():
    i = canvas(); page(i, 1, 1, 10, 14)
    line(i, 14, 3, 6, 11, YELLOW, 1.2); line(i, 6, 11, 5, 13, DARK, 0.8)
    return i

def copy():
    i = canvas(); page(i, 1, 1, 9, 11); page(i, 6, 4, 14, 14); return i

def delete():
    i = canvas(); line(i, 3, 3, 12, 12, RED, 1.3); line(i, 12, 3, 3, 12, RED, 1.3); return i

def update():
    i = canvas(); page(i)
    disc(i, 11, 11, 4.5, GREEN)
    rect(i, 9, 10, 13, 11, (255, 255, 255)); rect(i, 10, 9, 11, 13, (255, 255, 255))
    return i

def verify():
    i = canvas(); page(i)
    line(i, 5, 9, 8, 12, GREEN, 1.2); line(i, 8, 12, 14, 4, GREEN, 1.2)
    return i

def calc():
    i = canvas()
    rect(i, 3, 1, 12, 14, (120, 120, 130)); frame(i, 3, 1, 12, 14, DARK)
    rect(i, 5, 3, 10, 5, (200, 230, 200))
    for y in (7, 10, 13):
        for x in (5, 8, 11):
            rect(i, x - 1 if x == 11 else x, y - 1, x if x == 11 else x + 1, y, (240, 240, 240))
    return i

def options():
    i = canvas()
    for y, k in ((3, 10), (8, 5), (13, 8)):
        rect(i, 1, y, 14, y, DARK); rect(i, k - 1, y - 2, k + 1, y + 2, BLUE)
    return i

def about():
    i = canvas(); disc(i, 7.5, 7.5, 7, BLUE)
    rect(i, 7, 3, 8, 4, (255, 255, 255)); rect(i, 7, 6, 8, 12, (255, 255, 255))
    return i

images = [new(), open_(), save(), edit(), copy(), delete(), update(), verify(), calc(),
          options(), about()]
width = N * len(images)
row_size = (width * 3 + 3) & ~3
pixels = b""
for y in range(N - 1, -1, -1):
    row = b"".join(bytes((c[2], c[1], c[0])) for img in images for c in img[y])
    pixels += row + b"\0" * (row_size - len(row))
header = struct.pack("<IiiHHIIiiII", 40, width, N, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
data = b"BM" + struct.pack("<IHHI", 14 + len(header) + len(pixels), 0, 0, 14 + len(header))
open(sys.argv[1], "wb").write(data + header + pixels)
