#!/usr/bin/env python3
"""Draws the program's icon, a console fader beside an upward arrow, and writes it as a
Windows .ico with two 16-colour images (32x32 and 16x16).

    make_icon.py OUTPUT.ico

The picture is drawn on a 32-unit grid and scaled for the small image, so both sizes show
the same shapes. The standard 16-colour palette keeps the icon usable on any display.
"""
import struct
import sys

PALETTE = [  # (r, g, b), the classic 16-colour display palette
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
BLACK, NAVY, SILVER, GREY, GREEN, WHITE = 0, 4, 7, 8, 10, 15
TRANSPARENT = None


def draw(size):
    """Returns size x size rows of palette indices (None = transparent), top row first."""
    pixels = [[TRANSPARENT] * size for _ in range(size)]
    scale = size / 32.0

    def fill(x0, y0, x1, y1, colour):
        # Rectangle on the 32-unit grid, x1 and y1 exclusive.
        for y in range(int(y0 * scale), max(int(y1 * scale), int(y0 * scale) + 1)):
            for x in range(int(x0 * scale), max(int(x1 * scale), int(x0 * scale) + 1)):
                pixels[y][x] = colour

    # Panel: a navy plate with a black rim and cut corners.
    fill(0, 2, 32, 30, BLACK)
    fill(2, 0, 30, 32, BLACK)
    fill(2, 2, 30, 30, NAVY)
    # Fader: a black slot with grey scale ticks and a silver cap.
    fill(9, 5, 11, 27, BLACK)
    for tick in range(6, 27, 4):
        fill(5, tick, 8, tick + 1, GREY)
    fill(5, 15, 15, 20, SILVER)
    fill(5, 15, 15, 16, WHITE)
    fill(5, 17, 15, 18, BLACK)
    # Upward arrow: the new version going up into the console.
    for row in range(4):
        fill(22 - 2 * row, 4 + 2 * row, 24 + 2 * row, 6 + 2 * row, GREEN)
    fill(19, 12, 27, 27, GREEN)
    return pixels


def image_entry(size):
    pixels = draw(size)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b''.join(struct.pack('BBBB', b, g, r, 0) for (r, g, b) in PALETTE)
    xor_stride = ((size * 4 + 31) // 32) * 4
    and_stride = ((size + 31) // 32) * 4
    xor_rows, and_rows = b'', b''
    for row in reversed(pixels):  # bottom-up, as DIBs are stored
        nibbles = [BLACK if p is None else p for p in row]
        packed = bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, size, 2))
        xor_rows += packed.ljust(xor_stride, b'\0')
        bits = bytearray(and_stride)
        for x, p in enumerate(row):
            if p is None:
                bits[x // 8] |= 0x80 >> (x % 8)
        and_rows += bytes(bits)
    return header + palette + xor_rows + and_rows


def main():
    sizes = (32, 16)
    images = [image_entry(s) for s in sizes]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip(sizes, images):
        out += struct.pack('<BBBBHHII', size, size, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    out += b''.join(images)
    with open(sys.argv[1], 'wb') as f:
        f.write(out)


if __name__ == '__main__':
    main()
