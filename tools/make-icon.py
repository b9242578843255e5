#!/usr/bin/env python3
"""Draws Velnara's application icon (ui/velnara.ico, icon 128).

A serial card seen from the front: a green board with its multi-port
controller chip, traces running to a row of sockets on the metal bracket,
and the gold fingers of its bus connector. Two images, 32 x 32 and 16 x 16,
16 colours each, stored the classic way (a 4-bit bitmap followed by a 1-bit
AND mask) so that every version of Windows the program runs on can show it.

Run from the top of the tree:  python3 tools/make-icon.py [output]
"""

import struct
import sys

# The standard 16-colour palette, as (red, green, blue).
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
BLACK, GREEN, OLIVE, SILVER, GRAY, LIME, YELLOW, WHITE = 0, 2, 3, 7, 8, 10, 11, 15
CLEAR = None  # transparent: AND bit set, colour black


class Canvas:
    def __init__(self, size):
        self.size = size
        self.pixels = [[CLEAR] * size for _ in range(size)]

    def fill(self, x0, y0, x1, y1, colour):
        """Fills the rectangle with corners (x0, y0) and (x1, y1), both included."""
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.pixels[y][x] = colour

    def frame(self, x0, y0, x1, y1, colour):
        self.fill(x0, y0, x1, y0, colour)
        self.fill(x0, y1, x1, y1, colour)
        self.fill(x0, y0, x0, y1, colour)
        self.fill(x1, y0, x1, y1, colour)

    def dot(self, x, y, colour):
        self.pixels[y][x] = colour


def draw_large():
    c = Canvas(32)
    # The board with its outline.
    c.fill(1, 5, 25, 24, GREEN)
    c.frame(1, 5, 25, 24, BLACK)
    # Bus connector: a tab below the board with gold fingers.
    c.fill(4, 25, 21, 28, BLACK)
    for x in range(5, 21, 2):
        c.fill(x, 25, x, 27, YELLOW)
    # The controller chip with pins above and below.
    c.fill(4, 10, 12, 18, BLACK)
    for x in range(5, 12, 2):
        c.dot(x, 9, SILVER)
        c.dot(x, 19, SILVER)
    c.dot(5, 11, WHITE)
    # The metal bracket on the right, its top bent over.
    c.fill(26, 1, 29, 30, SILVER)
    c.fill(29, 1, 29, 30, GRAY)
    c.fill(23, 1, 29, 2, SILVER)
    c.fill(23, 2, 29, 2, GRAY)
    # Four sockets on the bracket edge, fed from the chip by a bus trace.
    c.fill(13, 14, 16, 14, LIME)
    c.fill(16, 8, 16, 22, LIME)
    for top in (6, 11, 16, 21):
        c.fill(20, top, 27, top + 3, SILVER)
        c.frame(20, top, 27, top + 3, GRAY)
        c.fill(22, top + 1, 26, top + 2, BLACK)
        for x in range(22, 27, 2):
            c.dot(x, top + 1, YELLOW)
        c.fill(16, top + 2, 19, top + 2, LIME)
    return c


def draw_small():
    c = Canvas(16)
    c.fill(0, 3, 12, 12, GREEN)
    c.frame(0, 3, 12, 12, BLACK)
    c.fill(2, 13, 10, 14, BLACK)
    for x in range(3, 10, 2):
        c.fill(x, 13, x, 13, YELLOW)
    c.fill(2, 6, 5, 9, BLACK)
    c.dot(2, 6, WHITE)
    c.fill(13, 0, 14, 15, SILVER)
    c.fill(14, 0, 14, 15, GRAY)
    c.fill(11, 0, 14, 0, SILVER)
    for top in (4, 9):
        c.fill(9, top, 13, top + 2, SILVER)
        c.fill(10, top + 1, 12, top + 1, BLACK)
        c.fill(6, top + 1, 8, top + 1, LIME)
    return c


def row_bytes(bits_per_row):
    """Bitmap rows are padded to a multiple of four bytes."""
    return (bits_per_row + 31) // 32 * 4


def icon_image(canvas):
    size = canvas.size
    xor_stride = row_bytes(size * 4)
    and_stride = row_bytes(size)
    xor = bytearray()
    mask = bytearray()
    for y in reversed(range(size)):  # bottom-up, as in every DIB
        row = canvas.pixels[y]
        line = bytearray(xor_stride)
        bits = bytearray(and_stride)
        for x, colour in enumerate(row):
            index = BLACK if colour is CLEAR else colour
            line[x // 2] |= index << (4 if x % 2 == 0 else 0)
            if colour is CLEAR:
                bits[x // 8] |= 0x80 >> (x % 8)
        xor += line
        mask += bits
    # BITMAPINFOHEADER: the height counts the colour bitmap and the mask.
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0,
                         len(xor) + len(mask), 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    return header + palette + bytes(xor) + bytes(mask)


def icon_file(canvases):
    images = [icon_image(c) for c in canvases]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for canvas, image in zip(canvases, images):
        size = canvas.size
        out += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(image), offset)
        offset += len(image)
    return out + b"".join(images)


def main():
    path = sys.argv[1] if len(sys.argv) > 1 else "ui/velnara.ico"
    with open(path, "wb") as f:
        f.write(icon_file([draw_large(), draw_small()]))


if __name__ == "__main__":
    main()
