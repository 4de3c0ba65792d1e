#!/usr/bin/env python3
"""Compares a picture of a layout drawn through real GDI under Wine (by the
Windows skinview, or a window of the installer on the screen) with the Linux
skinview's reference picture of the same layout in the same state.

    compare_pictures.py REFERENCE.png PICTURE.png TREE.txt [--difference OUT.png]
                        [--ignore NAME]... [--ink-only BOX]...

TREE.txt is skinview's --tree printout of the layout; every visible control
whose line carries a text (a quoted text after visible|hidden) marks its
rectangle as a text box. The measure:

  outside the text boxes  no channel of any pixel differs by more than
                          OUTSIDE_LIMIT;
  inside each text box    a pixel's ink is its largest channel distance from
                          the box's background (the reference box's most
                          common colour), and
                          - the extent of the strong ink (at least half the
                            box's strongest) lies within EXTENT_LIMIT pixels
                            of the reference's on every side,
                          - the total ink is within INK_RATIO of the
                            reference's,
                          - the text colour (the mean of the pixels with at
                            least 90% of the strongest ink) is within
                            COLOUR_LIMIT per channel,
                          - after a 3x3 box blur of both pictures, the mean
                            over the box of the largest channel difference
                            is at most TEXT_MEAN_LIMIT.

--ignore NAME leaves the rectangle of the control NAME out altogether: a
text that depends on the machine (the free space of a disk) cannot be drawn
the same on two machines. --ink-only BOX judges the text box BOX (a
control's name, or the text a box shows) by its total ink alone, for a text
whose strokes two rasterisers place differently though it is the same text
in the same place.

Rasterisers shade anti-aliased glyphs differently and may set a glyph a
pixel apart; that passes. A text that is missing, shorter or longer, in
another size or colour, or moved by two pixels or more fails.

Prints one line per text box and a summary; exits 0 when the pictures agree,
1 when they do not, 2 on bad input.
"""
import struct
import sys
import zlib

OUTSIDE_LIMIT = 2
TEXT_MEAN_LIMIT = 12.0
INK_RATIO = (0.5, 2.0)
EXTENT_LIMIT = 1
COLOUR_LIMIT = 24


class Picture:
    def __init__(self, width, height, rgb):
        self.width = width
        self.height = height
        self.rgb = rgb  # bytearray, 3 bytes a pixel, rows top to bottom


def read_png(path):
    """Decodes an 8-bit RGB or RGBA PNG, not interlaced; alpha is dropped
    (the pictures are of opaque windows)."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError(f"{path}: not a PNG file")
    pos = 8
    idat = bytearray()
    header = None
    while pos + 8 <= len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        pos += 12 + length
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        elif kind == b"IEND":
            break
    if header is None:
        raise ValueError(f"{path}: no header")
    width, height, depth, colour, _, _, interlace = header
    if depth != 8 or colour not in (2, 6) or interlace != 0:
        raise ValueError(f"{path}: only 8-bit RGB or RGBA, not interlaced")
    bpp = 3 if colour == 2 else 4
    stride = width * bpp
    raw = zlib.decompress(bytes(idat))
    if len(raw) != height * (stride + 1):
        raise ValueError(f"{path}: truncated image data")
    rgb = bytearray(width * height * 3)
    prev = bytearray(stride)
    for y in range(height):
        start = y * (stride + 1)
        kind = raw[start]
        line = bytearray(raw[start + 1:start + 1 + stride])
        if kind == 1:
            for x in range(bpp, stride):
                line[x] = (line[x] + line[x - bpp]) & 255
        elif kind == 2:
            for x in range(stride):
                line[x] = (line[x] + prev[x]) & 255
        elif kind == 3:
            for x in range(stride):
                left = line[x - bpp] if x >= bpp else 0
                line[x] = (line[x] + ((left + prev[x]) >> 1)) & 255
        elif kind == 4:
            for x in range(stride):
                a = line[x - bpp] if x >= bpp else 0
                b = prev[x]
                c = prev[x - bpp] if x >= bpp else 0
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                pred = a if pa <= pb and pa <= pc else (b if pb <= pc else c)
                line[x] = (line[x] + pred) & 255
        elif kind != 0:
            raise ValueError(f"{path}: unknown row filter {kind}")
        if bpp == 3:
            rgb[y * width * 3:(y + 1) * width * 3] = line
        else:
            out = y * width * 3
            for x in range(width):
                rgb[out + x * 3:out + x * 3 + 3] = line[x * 4:x * 4 + 3]
        prev = line
    return Picture(width, height, rgb)


def write_png(path, width, height, rgb):
    rows = bytearray()
    for y in range(height):
        rows.append(0)
        rows += rgb[y * width * 3:(y + 1) * width * 3]

    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(bytes(rows), 9)))
        f.write(chunk(b"IEND", b""))


def unquote(text):
    """The text of a quoted tree field: \\" \\\\ and \\n undone."""
    out = []
    i = 0
    while i < len(text):
        ch = text[i]
        if ch == "\\" and i + 1 < len(text):
            i += 1
            out.append("\n" if text[i] == "n" else text[i])
        else:
            out.append(ch)
        i += 1
    return "".join(out)


def tree_lines(tree_text):
    """(name, left, top, right, bottom, visible, text or None) of every
    control of a tree printout."""
    controls = []
    for line in tree_text.splitlines():
        first = line.find('"')
        second = line.find('"', first + 1)
        if first < 0 or second < 0:
            continue
        name = line[first + 1:second]
        rest = line[second + 1:].strip()
        parts = rest.split(" ", 2)
        if len(parts) < 2:
            continue
        text = parts[2] if len(parts) == 3 else ""
        text = unquote(text[1:-1]) if len(text) >= 2 and text[0] == text[-1] == '"' else None
        left, top, right, bottom = (int(v) for v in parts[0].split(","))
        controls.append((name, left, top, right, bottom, parts[1] == "visible", text))
    return controls


def text_boxes(tree_text):
    """(name, text, left, top, right, bottom) of every visible control whose
    tree line carries a text."""
    return [(name, text, left, top, right, bottom)
            for name, left, top, right, bottom, visible, text in tree_lines(tree_text)
            if visible and text is not None]


def control_boxes(tree_text, names):
    """(left, top, right, bottom) of the controls named; a name that is not
    in the tree is an error."""
    found = {}
    for name, left, top, right, bottom, _, _ in tree_lines(tree_text):
        if name in names:
            found.setdefault(name, (left, top, right, bottom))
    missing = [n for n in names if n not in found]
    if missing:
        raise ValueError("no control named " + ", ".join(missing) + " in the tree")
    return [found[n] for n in names]


def largest_difference(a, b, i):
    return max(abs(a[i] - b[i]), abs(a[i + 1] - b[i + 1]), abs(a[i + 2] - b[i + 2]))


def blurred(p, left, top, right, bottom):
    """A 3x3 box blur of the box (edge pixels average what lies inside the
    picture), as a list of (r, g, b) floats, rows top to bottom."""
    out = []
    for y in range(top, bottom):
        for x in range(left, right):
            sums = [0, 0, 0]
            count = 0
            for yy in range(max(0, y - 1), min(p.height, y + 2)):
                for xx in range(max(0, x - 1), min(p.width, x + 2)):
                    i = (yy * p.width + xx) * 3
                    sums[0] += p.rgb[i]
                    sums[1] += p.rgb[i + 1]
                    sums[2] += p.rgb[i + 2]
                    count += 1
            out.append((sums[0] / count, sums[1] / count, sums[2] / count))
    return out


def box_background(p, left, top, right, bottom):
    """The most common colour of the box: what the text is drawn on."""
    counts = {}
    for y in range(top, bottom):
        row = p.rgb[(y * p.width + left) * 3:(y * p.width + right) * 3]
        for x in range(0, len(row), 3):
            key = bytes(row[x:x + 3])
            counts[key] = counts.get(key, 0) + 1
    return max(counts.items(), key=lambda kv: kv[1])[0]


class Ink:
    """A picture's text in one box: each pixel's ink is its largest channel
    distance from the box's background."""

    def __init__(self, p, background, left, top, right, bottom):
        self.total = 0
        self.strongest = 0
        ink = []
        for y in range(top, bottom):
            for x in range(left, right):
                i = (y * p.width + x) * 3
                v = max(abs(p.rgb[i + n] - background[n]) for n in range(3))
                ink.append((x, y, v, i))
                self.total += v
                self.strongest = max(self.strongest, v)
        # The extent of the strong ink (at least half the strongest): where
        # the glyphs' stems are, whatever the edges' anti-aliasing.
        strong = [(x, y) for x, y, v, _ in ink if self.strongest and 2 * v >= self.strongest]
        self.extent = None
        if strong:
            xs = [x for x, _ in strong]
            ys = [y for _, y in strong]
            self.extent = (min(xs), min(ys), max(xs) + 1, max(ys) + 1)
        # The text's colour: the mean of its darkest (most inked) pixels.
        core = [i for _, _, v, i in ink if self.strongest and 10 * v >= 9 * self.strongest]
        self.colour = tuple(
            sum(p.rgb[i + n] for i in core) / len(core) for n in range(3)) if core else None


def compare_text_box(reference, picture, box, ink_only=False):
    """(ok, report line) for one text box; `ink_only` judges the total ink
    alone."""
    name, text, left, top, right, bottom = box
    background = box_background(reference, left, top, right, bottom)
    ref = Ink(reference, background, left, top, right, bottom)
    pic = Ink(picture, background, left, top, right, bottom)
    problems = []
    ink_ratio = pic.total / ref.total if ref.total else (1.0 if not pic.total else float("inf"))
    if not INK_RATIO[0] <= ink_ratio <= INK_RATIO[1]:
        problems.append("ink")
    shift = 0
    if (ref.extent is None) != (pic.extent is None):
        problems.append("extent")
    elif ref.extent is not None:
        shift = max(abs(a - b) for a, b in zip(ref.extent, pic.extent))
        if shift > EXTENT_LIMIT:
            problems.append("extent")
    colour_difference = 0
    if ref.colour is not None and pic.colour is not None:
        colour_difference = max(abs(a - b) for a, b in zip(ref.colour, pic.colour))
        if colour_difference > COLOUR_LIMIT:
            problems.append("colour")
    ra = blurred(reference, left, top, right, bottom)
    pa = blurred(picture, left, top, right, bottom)
    mean = sum(max(abs(x[0] - y[0]), abs(x[1] - y[1]), abs(x[2] - y[2]))
               for x, y in zip(ra, pa)) / len(ra)
    if mean > TEXT_MEAN_LIMIT:
        problems.append("mean")
    if ink_only:
        problems = [p for p in problems if p == "ink"]
    line = (f"text box {name or '(unnamed)'} \"{text}\" {left},{top},{right},{bottom}: "
            f"blurred mean difference {mean:.2f} (limit {TEXT_MEAN_LIMIT}), "
            f"ink {ink_ratio:.2f} of Linux's (limits {INK_RATIO[0]}-{INK_RATIO[1]}), "
            f"extent {ref.extent} vs {pic.extent}, off by {shift} (limit {EXTENT_LIMIT}), "
            f"text colour off by {colour_difference:.0f} (limit {COLOUR_LIMIT}) "
            + ("(judged by its ink alone) " if ink_only else "")
            + ("ok" if not problems else "FAIL: " + ", ".join(problems)))
    return not problems, line


def compare(reference, picture, boxes, ignored=(), ink_only=()):
    """Returns (agree, report lines, difference picture). Text boxes are
    judged by their ink (those named or showing a text in `ink_only` by its
    amount alone); the `ignored` rectangles not at all."""
    w, h = reference.width, reference.height
    lines = []
    if (picture.width, picture.height) != (w, h):
        lines.append(f"size {picture.width}x{picture.height}, reference {w}x{h}")
        return False, lines, None
    left_out = bytearray(w * h)
    for left, top, right, bottom in ignored:
        left, top = max(0, left), max(0, top)
        right, bottom = min(w, right), min(h, bottom)
        for y in range(top, max(top, bottom)):
            left_out[y * w + left:y * w + max(left, right)] = b"\x01" * max(0, right - left)
    in_text = bytearray(w * h)
    clipped = []
    for name, text, left, top, right, bottom in boxes:
        left, top = max(0, left), max(0, top)
        right, bottom = min(w, right), min(h, bottom)
        if right <= left or bottom <= top:
            continue
        clipped.append((name, text, left, top, right, bottom))
        for y in range(top, bottom):
            in_text[y * w + left:y * w + right] = b"\x01" * (right - left)

    difference = bytearray(w * h * 3)
    worst_outside = 0
    outside_over = 0
    for p in range(w * h):
        if left_out[p]:
            difference[p * 3:p * 3 + 3] = b"\x20\x40\x20"
            continue
        d = largest_difference(reference.rgb, picture.rgb, p * 3)
        if d:
            # Differences in red, scaled so that small ones show.
            difference[p * 3] = min(255, 64 + d * 4)
        elif in_text[p]:
            difference[p * 3:p * 3 + 3] = b"\x20\x20\x40"
        if not in_text[p]:
            worst_outside = max(worst_outside, d)
            if d > OUTSIDE_LIMIT:
                outside_over += 1
    agree = worst_outside <= OUTSIDE_LIMIT
    lines.append(f"outside text: largest channel difference {worst_outside} "
                 f"(limit {OUTSIDE_LIMIT}), {outside_over} pixels over the limit "
                 f"{'ok' if agree else 'FAIL'}")
    for box in clipped:
        name, _, left, top, right, bottom = box
        if any(left_out[y * w + x] for y in range(top, bottom) for x in range(left, right)):
            lines.append(f"text box {name} left out")
            continue
        ok, line = compare_text_box(reference, picture, box,
                                    name in ink_only or box[1] in ink_only)
        agree = agree and ok
        lines.append(line)
    return agree, lines, difference


def main(argv):
    args = list(argv[1:])
    difference_path = None
    if "--difference" in args:
        i = args.index("--difference")
        if i + 1 >= len(args):
            print("--difference needs a file name", file=sys.stderr)
            return 2
        difference_path = args[i + 1]
        del args[i:i + 2]
    lists = {"--ignore": [], "--ink-only": []}
    for option, values in lists.items():
        while option in args:
            i = args.index(option)
            if i + 1 >= len(args):
                print(f"{option} needs a control name", file=sys.stderr)
                return 2
            values.append(args[i + 1])
            del args[i:i + 2]
    ignored_names, ink_only = lists["--ignore"], lists["--ink-only"]
    if len(args) != 3:
        print("usage:\n" + "\n".join(__doc__.strip().splitlines()[4:6]), file=sys.stderr)
        return 2
    try:
        reference = read_png(args[0])
        picture = read_png(args[1])
        with open(args[2], encoding="utf-8") as f:
            tree = f.read()
        boxes = text_boxes(tree)
        ignored = control_boxes(tree, ignored_names)
        unknown = [b for b in ink_only if not any(b in (box[0], box[1]) for box in boxes)]
        if unknown:
            raise ValueError("no text box named or showing " + ", ".join(unknown))
    except (OSError, ValueError, zlib.error) as e:
        print(f"compare_pictures: {e}", file=sys.stderr)
        return 2
    agree, lines, difference = compare(reference, picture, boxes, ignored, ink_only)
    for line in lines:
        print(line)
    if difference_path and difference is not None:
        write_png(difference_path, reference.width, reference.height, difference)
    print("pictures agree" if agree else "pictures DIFFER")
    return 0 if agree else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
