#!/usr/bin/env python3
"""Draws the program's icon, a console fader beside an upward arrow, and writes it as a
Windows .ico with 32-bit colour images with alpha at every size Windows asks for from 100 % to
200 % and more (16 to 64 pixels), and the 256-pixel image stored as PNG, as Windows expects.

    make_icon.py OUTPUT.ico

The picture is drawn on a 32-unit grid and snapped to whole pixels at each size, so every size
shows the same shapes, sharp. Standard library only.
"""
import struct
import sys
import zlib

SIZES = (16, 20, 24, 32, 40, 48, 64, 256)
PNG_FROM = 256  # sizes from here on are stored as PNG

BLACK = (0x00, 0x00, 0x00)
NAVY = (0x00, 0x00, 0x80)
SILVER = (0xC0, 0xC0, 0xC0)
GREY = (0x80, 0x80, 0x80)
GREEN = (0x00, 0xFF, 0x00)
WHITE = (0xFF, 0xFF, 0xFF)


def draw(size):
    """Returns size x size rows of (r, g, b, a), top row first."""
    pixels = [[(0, 0, 0, 0)] * size for _ in range(size)]
    scale = size / 32.0

    def fill(x0, y0, x1, y1, colour):
        # Rectangle on the 32-unit grid, x1 and y1 exclusive; at least one pixel each way.
        for y in range(int(y0 * scale), max(int(y1 * scale), int(y0 * scale) + 1)):
            for x in range(int(x0 * scale), max(int(x1 * scale), int(x0 * scale) + 1)):
                pixels[y][x] = colour + (0xFF,)

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


def dib_image(size, pixels):
    """A 32-bit BGRA DIB as icons hold it: double height, bottom row first, then the AND mask."""
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = b''.join(struct.pack('BBBB', b, g, r, a)
                      for row in reversed(pixels) for (r, g, b, a) in row)
    and_stride = ((size + 31) // 32) * 4
    mask = b''
    for row in reversed(pixels):
        bits = bytearray(and_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(bits)
    return header + colour + mask


def png_image(size, pixels):
    """An RGBA PNG: rows without filtering, compressed by zlib."""
    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))

    raw = b''.join(b'\0' + bytes(channel for pixel in row for channel in pixel) for row in pixels)
    return (b'\x89PNG\r\n\x1a\n'
            + chunk(b'IHDR', struct.pack('>IIBBBBB', size, size, 8, 6, 0, 0, 0))
            + chunk(b'IDAT', zlib.compress(raw, 9))
            + chunk(b'IEND', b''))


def main():
    images = [(png_image if s >= PNG_FROM else dib_image)(s, draw(s)) for s in SIZES]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip(SIZES, images):
        # A width and height of 0 stand for 256.
        out += struct.pack('<BBBBHHII', size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b''.join(images)
    with open(sys.argv[1], 'wb') as f:
        f.write(out)


if __name__ == '__main__':
    main()
