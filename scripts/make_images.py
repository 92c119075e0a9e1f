#!/usr/bin/env python3
"""Writes the toolbar bitmaps and the program icon into res/. Run by hand after changing a picture;
the outputs are checked in, so that building needs no Python."""
import struct, os

RES = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'res')

PALETTE = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
           (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
           (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
INDEX = {'K': 0, 'G': 2, 'N': 4, 'S': 7, 'W': 15}

CAL = """KKKKKKKKKKKKSSS KWWWWWWWWWWKKSS KWWWWWWWWWWKWKS KWWWWWWWWWWKKKK KWWWWWWWWWWWWWK
KWNNWWWWNWWWNWK KNWWNWWWNWWWNWK KNWWWWWNWNWWNWK KNWWWWWNWNWWNWK KNWWNWWNNNWWNWK
KNWWNWNWWWNWNWK KWNNWWNWWWNWNNN KWWWWWWWWWWWWWK KWWWWWWWWWWWWWK KWWWWWWWWWWWWWK
KKKKKKKKKKKKKKK""".split()
REFRESH = """SKKKKKKKKKKKSSS SKWWWWWWWWWKKSS SKWWWWWWWWWKWKS SKWWWWWWGWWKKKK SKWWWWWWGGWWWWK
SKWWWWGGGGGWWWK SKWWWGWWGGWWWWK SKWWWGWWGWWWWWK SKWWWGWWWWGWWWK SKWWWWWGWWGWWWK
SKWWWWGGWWGWWWK SKWWWGGGGGWWWWK SKWWWWGGWWWWWWK SKWWWWWGWWWWWWK SKWWWWWWWWWWWWK
SKKKKKKKKKKKKKK""".split()


def bitmap_4bpp(rows):
    width, height = len(rows[0]), len(rows)
    stride = (width * 4 + 31) // 32 * 4
    pixels = b''
    for row in reversed(rows):              # a DIB is stored bottom-up
        line = [INDEX[c] for c in row] + [0] * (stride * 2 - width)
        pixels += bytes((line[i] << 4) | line[i + 1] for i in range(0, len(line), 2))
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in PALETTE)
    info = struct.pack('<IiiHHIIiiII', 40, width, height, 1, 4, 0, len(pixels), 0, 0, 16, 0)
    offset = 14 + len(info) + len(palette)
    header = struct.pack('<2sIHHI', b'BM', offset + len(pixels), 0, 0, offset)
    return header + info + palette + pixels


def icon_image(size):
    """A blue menu card with three item lines and an eighth note: a Tools menu for a sequencer."""
    s = size / 32.0
    px = [[(0, 0, 0, 0)] * size for _ in range(size)]

    def fill(x0, y0, x1, y1, c):
        for y in range(int(y0 * s), max(int(y1 * s), int(y0 * s) + 1)):
            for x in range(int(x0 * s), max(int(x1 * s), int(x0 * s) + 1)):
                if 0 <= x < size and 0 <= y < size:
                    px[y][x] = c
    navy, blue, white, gold = (40, 40, 120, 255), (60, 110, 200, 255), (255, 255, 255, 255), (250, 190, 30, 255)
    fill(2, 1, 26, 31, navy)                 # card outline
    fill(3, 2, 25, 30, blue)
    fill(3, 2, 25, 8, navy)                  # title bar of the menu
    fill(5, 4, 14, 6, white)
    for y in (11, 17, 23):                   # three menu items
        fill(5, y, 7, y + 2, gold)
        fill(9, y, 21, y + 2, white)
    fill(25, 12, 28, 27, navy)               # note stem
    fill(28, 12, 31, 15, navy)               # flag
    fill(20, 24, 28, 31, navy)               # note head
    fill(21, 25, 27, 30, gold)
    return px


def icon_entry(size):
    px = icon_image(size)
    xor = b''.join(struct.pack('<BBBB', b, g, r, a) for row in reversed(px) for r, g, b, a in row)
    mask_stride = (size + 31) // 32 * 4
    mask = b''
    for row in reversed(px):
        bits = 0
        line = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                line[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(line)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return header + xor + mask


def icon_file(sizes):
    images = [icon_entry(s) for s in sizes]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for s, img in zip(sizes, images):
        out += struct.pack('<BBBBHHII', s, s, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    return out + b''.join(images)


if __name__ == '__main__':
    with open(os.path.join(RES, 'cal.bmp'), 'wb') as f:
        f.write(bitmap_4bpp(CAL))
    with open(os.path.join(RES, 'refresh.bmp'), 'wb') as f:
        f.write(bitmap_4bpp(REFRESH))
    with open(os.path.join(RES, 'korvanel.ico'), 'wb') as f:
        f.write(icon_file([16, 32]))
