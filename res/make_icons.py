#!/usr/bin/env python3
"""Draws the program's two icons and writes them as .ico files.

program.ico (group 200): 32 x 32, 256 colours, a computer with a package
box in front of it. replace.ico (group 205): 32 x 32, 16 colours, two
document pages, the rear one crossed out in red, two red curved arrows.

Run from any folder: python3 res/make_icons.py. The .ico files land beside
this script; they are committed, so the build needs no Python.
"""

import math
import os
import struct

SIZE = 32
CLEAR = None  # transparent pixel

# The 16 colours of the standard VGA palette, the only ones a 16-colour icon
# can count on.
VGA = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, GRAY, WHITE, RED = VGA[0], VGA[8], VGA[15], VGA[9]


class Canvas:
    def __init__(self):
        self.pixels = [[CLEAR] * SIZE for _ in range(SIZE)]

    def dot(self, x, y, colour):
        if 0 <= x < SIZE and 0 <= y < SIZE:
            self.pixels[y][x] = colour

    def fill(self, left, top, right, bottom, colour):
        """Fills the rectangle with both corners included."""
        for y in range(top, bottom + 1):
            for x in range(left, right + 1):
                self.dot(x, y, colour)

    def frame(self, left, top, right, bottom, colour):
        self.line(left, top, right, top, colour)
        self.line(left, bottom, right, bottom, colour)
        self.line(left, top, left, bottom, colour)
        self.line(right, top, right, bottom, colour)

    def line(self, x0, y0, x1, y1, colour, width=1):
        steps = max(abs(x1 - x0), abs(y1 - y0), 1)
        for i in range(steps + 1):
            x = round(x0 + (x1 - x0) * i / steps)
            y = round(y0 + (y1 - y0) * i / steps)
            self.fill(x, y, x + width - 1, y + width - 1, colour)

    def polygon(self, points, colour):
        """Fills a polygon by pixel centres (even-odd rule)."""
        for y in range(SIZE):
            cy = y + 0.5
            crossings = []
            for (ax, ay), (bx, by) in zip(points, points[1:] + points[:1]):
                if (ay <= cy < by) or (by <= cy < ay):
                    crossings.append(ax + (cy - ay) * (bx - ax) / (by - ay))
            crossings.sort()
            for start, end in zip(crossings[::2], crossings[1::2]):
                for x in range(SIZE):
                    if start <= x + 0.5 < end:
                        self.dot(x, y, colour)

    def arc(self, cx, cy, radius, start_degrees, end_degrees, colour, width=2):
        """Draws an arc and returns its end point and direction of travel."""
        steps = 48
        for i in range(steps + 1):
            angle = math.radians(start_degrees + (end_degrees - start_degrees) * i / steps)
            x = cx + radius * math.cos(angle)
            y = cy - radius * math.sin(angle)
            self.fill(round(x - width / 2), round(y - width / 2),
                      round(x - width / 2) + width - 1, round(y - width / 2) + width - 1, colour)
        end = math.radians(end_degrees)
        sign = 1 if end_degrees > start_degrees else -1
        tangent = (-math.sin(end) * sign, -math.cos(end) * sign)
        return (cx + radius * math.cos(end), cy - radius * math.sin(end)), tangent

    def arrow_head(self, tip, direction, colour, length=5.0, half_width=3.5):
        dx, dy = direction
        norm = math.hypot(dx, dy)
        dx, dy = dx / norm, dy / norm
        point = (tip[0] + dx * 2.5, tip[1] + dy * 2.5)
        base = (point[0] - dx * length, point[1] - dy * length)
        left = (base[0] - dy * half_width, base[1] + dx * half_width)
        right = (base[0] + dy * half_width, base[1] - dx * half_width)
        self.polygon([point, left, right], colour)


def draw_program():
    c = Canvas()
    beige, screen, glow = (214, 208, 190), (24, 64, 150), (90, 150, 230)
    # Monitor: bezel, screen with a highlight, neck and foot.
    c.fill(1, 1, 24, 18, beige)
    c.frame(1, 1, 24, 18, GRAY)
    c.fill(4, 4, 21, 15, screen)
    c.line(5, 5, 12, 5, glow)
    c.line(5, 6, 8, 6, glow)
    c.fill(10, 19, 15, 21, GRAY)
    c.fill(5, 22, 20, 24, beige)
    c.frame(5, 22, 20, 24, GRAY)
    # Package box in front, lower right: front face, top and side.
    cardboard, top, side, tape, edge = (196, 140, 72), (226, 178, 104), (150, 100, 48), (240, 220, 160), (90, 56, 20)
    c.polygon([(13, 18), (26, 18), (31, 14), (18, 14)], top)
    c.polygon([(26, 18), (31, 14), (31, 26), (26, 31)], side)
    c.fill(13, 18, 25, 30, cardboard)
    c.line(13, 18, 25, 18, edge)
    c.line(13, 18, 18, 14, edge)
    c.line(18, 14, 30, 14, edge)
    c.line(30, 14, 26, 18, edge)
    c.line(31, 14, 31, 26, edge)
    c.line(31, 26, 26, 31, edge)
    c.frame(13, 18, 26, 31, edge)
    c.fill(18, 19, 20, 30, tape)
    c.polygon([(19, 18), (22, 18), (27, 14), (24, 14)], tape)
    return c


def draw_replace():
    c = Canvas()

    def page(left, top):
        c.fill(left, top, left + 13, top + 17, WHITE)
        c.frame(left, top, left + 13, top + 17, BLACK)
        c.polygon([(left + 9.5, top), (left + 14, top), (left + 14, top + 4.5)], CLEAR)
        c.line(left + 9, top, left + 13, top + 4, BLACK)
        c.line(left + 9, top, left + 9, top + 4, BLACK)
        c.line(left + 9, top + 4, left + 13, top + 4, BLACK)
        for row in range(top + 6, top + 16, 2):
            c.line(left + 3, row, left + 10, row, GRAY)

    # Rear page, upper left, crossed out in red.
    page(2, 1)
    c.line(3, 3, 14, 17, RED, 2)
    c.line(14, 3, 3, 17, RED, 2)
    # Front page, lower right.
    page(16, 12)
    # Two red arrows: over the top from the rear page to the front one, and
    # back underneath.
    tip, direction = c.arc(22, 9, 6, 150, 10, RED)
    c.arrow_head(tip, direction, RED)
    tip, direction = c.arc(10, 23, 6, -30, -170, RED)
    c.arrow_head(tip, direction, RED)
    return c


def write_ico(path, canvas, bits):
    """Writes one 32 x 32 palette image with its transparency mask."""
    colours = VGA if bits == 4 else []
    if bits == 8:
        for row in canvas.pixels:
            for colour in row:
                if colour is not CLEAR and colour not in colours:
                    colours.append(colour)
        if len(colours) > 256:
            raise SystemExit("too many colours")
    count = 1 << bits
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in colours)
    palette += b"\0" * (4 * count - len(palette))

    colour_rows, mask_rows = [], []
    for row in reversed(canvas.pixels):  # bitmaps are stored bottom-up
        indices = [0 if colour is CLEAR else colours.index(colour) for colour in row]
        if bits == 8:
            colour_rows.append(bytes(indices))
        else:
            colour_rows.append(bytes((indices[x] << 4) | indices[x + 1] for x in range(0, SIZE, 2)))
        mask = 0
        for colour in row:
            mask = (mask << 1) | (colour is CLEAR)
        mask_rows.append(struct.pack(">I", mask))
    image = b"".join(colour_rows) + b"".join(mask_rows)

    info = struct.pack("<IiiHHIIiiII", 40, SIZE, 2 * SIZE, 1, bits, 0, len(image), 0, 0, count, 0)
    body = info + palette + image
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, count % 256, 0, 1, bits, len(body), 6 + 16)
    with open(path, "wb") as out:
        out.write(directory + entry + body)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    write_ico(os.path.join(here, "program.ico"), draw_program(), 8)
    write_ico(os.path.join(here, "replace.ico"), draw_replace(), 4)


if __name__ == "__main__":
    main()
