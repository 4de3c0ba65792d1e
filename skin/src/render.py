"""Renders the skin's artwork from the sources in this folder into skin/.

    python3 skin/src/render.py          # render every image
    python3 skin/src/render.py --check  # only check the committed images

Each SVG here becomes the PNG of the same name one folder up (rsvg-convert,
from Debian's librsvg2-bin); the PNG is then rewritten with pixel chunks only,
so the same sources always give the same bytes. The install animation is
written by gifanim.py. The rendered images are committed: building the
installer needs none of these tools.
"""

import os
import sys

sys.dont_write_bytecode = True  # keep the source folder clean

import shutil
import subprocess
import tempfile

import gifanim
import pngio

HERE = os.path.dirname(os.path.abspath(__file__))
SKIN = os.path.dirname(HERE)

# Every image the layouts name, with its size; strips are noted per image.
SIZES = {
    "dlgcloseBtn.png": (18, 9),          # normal | hot and pushed, 9 x 9
    "confirmBtn.png": (285, 30),         # normal | hot | pushed, 95 x 30
    "cancelBtn.png": (285, 30),          # normal | hot | pushed, 95 x 30
    "infoSign.png": (22, 22),
    "installerstartbg.png": (560, 242),
    "installBtn.png": (960, 38),         # normal | hot | pushed | disabled, 240 x 38
    "checkboxBtn.png": (52, 13),         # unticked | unticked hot | ticked | ticked hot
    "showmoredownBtn.png": (172, 15),    # normal | hot and pushed, 86 x 15
    "showmoreupBtn.png": (172, 15),      # normal | hot, 86 x 15
    "selectdirBtn.png": (110, 28),       # normal | hot and pushed, 55 x 28
    "installerinstallbg.png": (560, 408),
    "progress_pro_bk.png": (6, 5),
    "progress_pro_fore.png": (6, 5),
    "installerfinishbg.png": (560, 408),
    "startBtn.png": (570, 48),           # normal | hot | pushed, 190 x 48
}
GIF = ("installgif.gif", (548, 5))


def render_png(name):
    svg = os.path.join(HERE, name[:-4] + ".svg")
    width, height = SIZES[name]
    with tempfile.TemporaryDirectory() as tmp:
        raw = os.path.join(tmp, name)
        subprocess.run(["rsvg-convert", "-w", str(width), "-h", str(height), "-o", raw, svg], check=True)
        w, h, rows = pngio.read_rgba(raw)
    if (w, h) != (width, height):
        raise SystemExit("%s: rendered %dx%d, expected %dx%d" % (name, w, h, width, height))
    pngio.write_rgba(os.path.join(SKIN, name), w, h, rows)


def check():
    failures = 0
    for name, size in sorted(SIZES.items()):
        got = pngio.read_size(os.path.join(SKIN, name))
        if tuple(got) != size:
            print("%s: %dx%d, expected %dx%d" % ((name,) + tuple(got) + size))
            failures += 1
    frames = gifanim.decode_frames(os.path.join(SKIN, GIF[0]))
    if len(frames) != gifanim.FRAMES or any(len(f) != GIF[1][0] * GIF[1][1] for f in frames):
        print("%s: unexpected frames" % GIF[0])
        failures += 1
    print("%d images checked, %d wrong" % (len(SIZES) + 1, failures))
    return failures == 0


def main():
    if "--check" not in sys.argv:
        if not shutil.which("rsvg-convert"):
            raise SystemExit("rsvg-convert not found (Debian package librsvg2-bin)")
        for name in sorted(SIZES):
            render_png(name)
            print("rendered", name)
        gifanim.write(os.path.join(SKIN, GIF[0]))
        print("wrote", GIF[0])
    sys.exit(0 if check() else 1)


if __name__ == "__main__":
    main()
