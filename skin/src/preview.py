"""Preview sheet: every image of the skin enlarged with nearest-neighbour
scaling on a chequered and a red background, to judge edges and states.

Usage: python3 preview.py OUT.png [SCALE] [IMAGES...]
"""

import os
import sys

sys.dont_write_bytecode = True  # keep the source folder clean

import sys

import pngio

SKIN = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def blend(dst, src):
    a = src[3] / 255.0
    return tuple(int(round(src[i] * a + dst[i] * (1 - a))) for i in range(3)) + (255,)


def main():
    out = sys.argv[1]
    scale = int(sys.argv[2]) if len(sys.argv) > 2 else 4
    names = sys.argv[3:] or sorted(n for n in os.listdir(SKIN) if n.endswith(".png"))
    images = [pngio.read_rgba(os.path.join(SKIN, n)) for n in names]
    pad = 8
    width = max(w for w, _, _ in images) * scale * 2 + pad * 3
    height = sum(h * scale + pad for _, h, _ in images) + pad
    canvas = [[(255, 255, 255, 255)] * width for _ in range(height)]
    y = pad
    for w, h, rows in images:
        for col, backdrop in ((0, None), (1, (198, 47, 47, 255))):
            x0 = pad + col * (w * scale + pad)
            for yy in range(h * scale):
                src_row = rows[yy // scale]
                for xx in range(w * scale):
                    sx = xx // scale
                    px = tuple(src_row[sx * 4:sx * 4 + 4])
                    bg = backdrop or ((230, 230, 230, 255) if ((xx // 8 + yy // 8) % 2) else (255, 255, 255, 255))
                    canvas[y + yy][x0 + xx] = blend(bg, px)
        y += h * scale + pad
    pngio.write_rgba(out, width, height, [bytearray(b"".join(bytes(p) for p in r)) for r in canvas])


if __name__ == "__main__":
    main()
