#!/usr/bin/env python3
"""Makes a 4-bit Windows bitmap or icon with the standard 16-colour palette from a text picture.

    mkpicture.py bmp PICTURE OUT.bmp            the picture as it is
    mkpicture.py ico PICTURE OUT.ico SCALE      an icon, each pixel SCALE x SCALE, silver clear

PICTURE: '#' lines are comments; every other line is one row of pixels, top row first, one
character a pixel (the legend below)."""
import struct
import sys

# The standard 16-colour palette, in its Windows order.
PALETTE = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
           (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
           (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
LEGEND = {'.': 7, 'k': 0, 'g': 8, 'w': 15, 'G': 10, 'R': 9}
TRANSPARENT = 7


def read_picture(path, scale):
    rows = [line.rstrip('\n') for line in open(path, encoding='utf-8')
            if line.strip() and not line.startswith('#')]
    width = len(rows[0])
    if any(len(r) != width for r in rows):
        sys.exit(f'{path}: rows of different widths')
    pixels = [[LEGEND[c] for c in row for _ in range(scale)] for row in rows for _ in range(scale)]
    return pixels


def padded(data):
    return data + b'\0' * (-len(data) % 4)


def info_header(width, height, bit_count, image_size):
    return struct.pack('<IiiHHIIiiII', 40, width, height, 1, bit_count, 0, image_size, 0, 0,
                       16, 0)


def palette():
    return b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in PALETTE)


def colour_bits(pixels):
    # Bottom-up rows, two pixels a byte, high nibble first.
    rows = []
    for row in reversed(pixels):
        data = bytes((row[i] << 4) | (row[i + 1] if i + 1 < len(row) else 0)
                     for i in range(0, len(row), 2))
        rows.append(padded(data))
    return b''.join(rows)


def mask_bits(pixels):
    rows = []
    for row in reversed(pixels):
        bits = 0
        data = bytearray()
        for i, p in enumerate(row):
            bits = (bits << 1) | (p == TRANSPARENT)
            if i % 8 == 7:
                data.append(bits)
                bits = 0
        rows.append(padded(bytes(data)))
    return b''.join(rows)


def bitmap(pixels):
    width, height = len(pixels[0]), len(pixels)
    bits = colour_bits(pixels)
    body = info_header(width, height, 4, len(bits)) + palette() + bits
    return struct.pack('<2sIHHI', b'BM', 14 + len(body), 0, 0, 14 + 40 + 64) + body


def icon(pixels):
    width, height = len(pixels[0]), len(pixels)
    xor, mask = colour_bits(pixels), mask_bits(pixels)
    image = info_header(width, height * 2, 4, len(xor) + len(mask)) + palette() + xor + mask
    return (struct.pack('<HHH', 0, 1, 1) +
            struct.pack('<BBBBHHII', width, height, 16, 0, 1, 4, len(image), 6 + 16) + image)


def main():
    kind, source, out = sys.argv[1:4]
    scale = int(sys.argv[4]) if len(sys.argv) > 4 else 1
    pixels = read_picture(source, scale)
    with open(out, 'wb') as f:
        f.write(bitmap(pixels) if kind == 'bmp' else icon(pixels))


if __name__ == '__main__':
    main()
