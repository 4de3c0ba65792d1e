"""The installer's program icon, cut from the logo tile of the start window's
hero band (installerstartbg.png), written as windows/installer.ico.

The tile is the white rounded square at 248,38 (64 x 64). What lies around
its rounded corners is the red band: those pixels, reached by a flood fill
from the four corners, become transparent, and the anti-aliased rim keeps
its whiteness as alpha. The icon holds 16, 32, 48 and 64 pixel images as
32-bit bitmaps with their masks, which every Windows version reads.

    python3 skin/src/installer_icon.py          # rewrite windows/installer.ico
    python3 skin/src/installer_icon.py --check  # fail when it is out of date
"""

import os
import struct
import sys

import pngio

HERE = os.path.dirname(os.path.abspath(__file__))
SKIN = os.path.dirname(HERE)
TILE_X, TILE_Y, TILE = 248, 38, 64
SIZES = (16, 32, 48, 64)


def whiteness(p):
    """How white a band pixel is: 0 for the band's red, 1 for white."""
    return max(0.0, min(1.0, (min(p[1], p[2]) - 47) / (255 - 47)))


def cut_tile():
    _, _, rows = pngio.read_rgba(os.path.join(SKIN, "installerstartbg.png"))
    tile = [[tuple(rows[TILE_Y + y][4 * (TILE_X + x):4 * (TILE_X + x) + 4])
             for x in range(TILE)] for y in range(TILE)]
    # Flood fill from the corners over pixels that are not pure white: the
    # band around the rounded corners and the rim between band and tile.
    outside = [[False] * TILE for _ in range(TILE)]
    todo = [(0, 0), (TILE - 1, 0), (0, TILE - 1), (TILE - 1, TILE - 1)]
    while todo:
        x, y = todo.pop()
        if not (0 <= x < TILE and 0 <= y < TILE) or outside[y][x]:
            continue
        if whiteness(tile[y][x]) >= 0.98:
            continue
        outside[y][x] = True
        todo += [(x + 1, y), (x - 1, y), (x, y + 1), (x, y - 1)]
    out = []
    for y in range(TILE):
        row = []
        for x in range(TILE):
            r, g, b, _ = tile[y][x]
            if outside[y][x]:
                a = round(255 * whiteness(tile[y][x]))
                row.append((255, 255, 255, a))
            else:
                row.append((r, g, b, 255))
        out.append(row)
    return out


def shrink(tile, size):
    """Area-average resampling of the square tile to size x size, on
    premultiplied colour."""
    scale = TILE / size
    out = []
    for oy in range(size):
        row = []
        y0, y1 = oy * scale, (oy + 1) * scale
        for ox in range(size):
            x0, x1 = ox * scale, (ox + 1) * scale
            acc = [0.0, 0.0, 0.0, 0.0]
            area = 0.0
            for y in range(int(y0), min(TILE, int(y1 + 0.999))):
                wy = min(y + 1, y1) - max(y, y0)
                for x in range(int(x0), min(TILE, int(x1 + 0.999))):
                    w = wy * (min(x + 1, x1) - max(x, x0))
                    if w <= 0:
                        continue
                    r, g, b, a = tile[y][x]
                    acc[0] += w * r * a
                    acc[1] += w * g * a
                    acc[2] += w * b * a
                    acc[3] += w * a
                    area += w
            a = acc[3] / area
            if a <= 0:
                row.append((0, 0, 0, 0))
            else:
                row.append(tuple(round(c / acc[3]) for c in acc[:3]) + (round(a),))
        out.append(row)
    return out


def bitmap_entry(img):
    """BITMAPINFOHEADER, bottom-up BGRA rows and the AND mask."""
    size = len(img)
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = b"".join(bytes((p[2], p[1], p[0], p[3])) for row in reversed(img) for p in row)
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(img):
        bits = bytearray(mask_stride)
        for x, p in enumerate(row):
            if p[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + colour + bytes(mask)


def icon_bytes():
    tile = cut_tile()
    images = [bitmap_entry(tile if s == TILE else shrink(tile, s)) for s in SIZES]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for s, data in zip(SIZES, images):
        out += struct.pack("<BBBBHHII", s % 256, s % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b"".join(images)


def main():
    path = os.path.join(os.path.dirname(SKIN), "windows", "installer.ico")
    data = icon_bytes()
    if "--check" in sys.argv[1:]:
        with open(path, "rb") as f:
            if f.read() != data:
                sys.exit(path + " is out of date: run skin/src/installer_icon.py")
        return
    with open(path, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main()
