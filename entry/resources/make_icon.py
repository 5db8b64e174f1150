#!/usr/bin/env python3
"""Draws setup.exe's icon and writes it as an .ico: 48, 32 and 16 px, 32 bits per pixel,
each an uncompressed bitmap (BITMAPINFOHEADER DIB with its AND mask), in that order, so the
resource compiler numbers the images 1, 2 and 3. Pure Python and deterministic: the same
script always writes the same bytes.

The picture: a rounded tile shading from teal to deep blue, with a white arrow pointing up
onto a bar, for "bring the installed game up to date".
"""
import struct
import sys

SIZES = (48, 32, 16)
SUPERSAMPLE = 4  # sub-pixels per pixel edge, for smooth edges at every size

TOP = (0x2E, 0xB8, 0xB0)      # teal, RGB
BOTTOM = (0x1B, 0x3F, 0x8F)   # deep blue, RGB
WHITE = (0xFF, 0xFF, 0xFF)


def inside_tile(x, y):
    """Rounded square covering [0.04, 0.96], corner radius 0.2 (unit coordinates)."""
    lo, hi, r = 0.04, 0.96, 0.2
    if not (lo <= x <= hi and lo <= y <= hi):
        return False
    cx = min(max(x, lo + r), hi - r)
    cy = min(max(y, lo + r), hi - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def inside_arrow(x, y):
    """An upward arrow: a triangular head over a shaft, and a bar beneath (y grows downwards)."""
    head = 0.18 <= y <= 0.48 and abs(x - 0.5) <= (y - 0.18) * 0.95
    shaft = 0.47 <= y <= 0.68 and abs(x - 0.5) <= 0.1
    bar = 0.74 <= y <= 0.82 and 0.24 <= x <= 0.76
    return head or shaft or bar


def render(size):
    """Rows top to bottom of (r, g, b, a) pixels."""
    rows = []
    n = SUPERSAMPLE
    for py in range(size):
        row = []
        for px in range(size):
            tile = arrow = 0
            shade = [0.0, 0.0, 0.0]
            for sy in range(n):
                for sx in range(n):
                    x = (px + (sx + 0.5) / n) / size
                    y = (py + (sy + 0.5) / n) / size
                    if not inside_tile(x, y):
                        continue
                    tile += 1
                    if inside_arrow(x, y):
                        arrow += 1
                        colour = WHITE
                    else:
                        colour = tuple(t + (b - t) * y for t, b in zip(TOP, BOTTOM))
                    for i in range(3):
                        shade[i] += colour[i]
            if tile == 0:
                row.append((0, 0, 0, 0))
            else:
                r, g, b = (int(round(c / tile)) for c in shade)
                row.append((r, g, b, int(round(255 * tile / (n * n)))))
        rows.append(row)
    return rows


def dib(size):
    """One icon image: header, BGRA pixels bottom-up, then the 1-bit AND mask bottom-up."""
    rows = render(size)
    pixels = bytearray()
    for row in reversed(rows):
        for r, g, b, a in row:
            pixels += bytes((b, g, r, a))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        line = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:  # fully transparent: the screen shows through on systems without alpha
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0,
                         len(pixels) + len(mask), 0, 0, 0, 0)
    return header + bytes(pixels) + bytes(mask)


def ico():
    images = [dib(size) for size in SIZES]
    out = bytearray(struct.pack('<HHH', 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, image in zip(SIZES, images):
        out += struct.pack('<BBBBHHII', size, size, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    for image in images:
        out += image
    return bytes(out)


def main():
    if len(sys.argv) != 2:
        sys.exit('usage: make_icon.py OUTPUT.ico')
    with open(sys.argv[1], 'wb') as f:
        f.write(ico())


if __name__ == '__main__':
    main()
