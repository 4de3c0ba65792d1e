"""Writes the install animation installgif.gif: a looping, indeterminate
progress sweep (548 x 5) in the product's red over the light grey track that
the progress bar uses, so the switch from the bar to the animation is calm.

Standard library only; the GIF encoder (GIF89a, global palette, LZW) is ours.
"""

import struct

WIDTH, HEIGHT = 548, 5
FRAMES = 30
DELAY_CS = 4            # hundredths of a second per frame
SEGMENT = 160           # length of the red sweep in pixels
SOFT = 24               # length of its soft ends

TRACK = (0xEC, 0xEC, 0xEC)
RED = (0xC6, 0x2F, 0x2F)
LEVELS = 16             # palette: 16 steps from the track colour to red


def _palette():
    colours = []
    for i in range(LEVELS):
        t = i / (LEVELS - 1)
        colours.append(tuple(int(round(TRACK[c] + (RED[c] - TRACK[c]) * t)) for c in range(3)))
    return colours


def _frame(index):
    """Palette indices of one frame, row by row."""
    travel = WIDTH + SEGMENT
    # Right end of the sweep; the first frame already shows the whole sweep
    # at the left end, so the animation is visible from its first paint.
    head = (SEGMENT + int(round(index * travel / FRAMES))) % travel
    left = head - SEGMENT
    row = []
    for x in range(WIDTH):
        if x < left or x >= head:
            level = 0
        else:
            edge = min(x - left, head - 1 - x)
            level = LEVELS - 1 if edge >= SOFT else int((LEVELS - 1) * (edge + 1) / (SOFT + 1))
        row.append(level)
    return row * HEIGHT


def _lzw(indices, min_code_size):
    """LZW-compress palette indices as GIF wants it; returns the byte stream."""
    clear = 1 << min_code_size
    end = clear + 1
    out = bytearray()
    bits = 0
    nbits = 0

    def emit(code, size):
        nonlocal bits, nbits
        bits |= code << nbits
        nbits += size
        while nbits >= 8:
            out.append(bits & 0xFF)
            bits >>= 8
            nbits -= 8

    def reset():
        return {(i,): i for i in range(clear)}, end + 1, min_code_size + 1

    table, next_code, size = reset()
    emit(clear, size)
    prefix = (indices[0],)
    for value in indices[1:]:
        grown = prefix + (value,)
        if grown in table:
            prefix = grown
            continue
        emit(table[prefix], size)
        if next_code < 4096:
            table[grown] = next_code
            next_code += 1
            if next_code > (1 << size) and size < 12:
                size += 1
        else:
            emit(clear, size)
            table, next_code, size = reset()
        prefix = (value,)
    emit(table[prefix], size)
    emit(end, size)
    if nbits:
        out.append(bits & 0xFF)
    return bytes(out)


def _sub_blocks(data):
    blocks = bytearray()
    for pos in range(0, len(data), 255):
        part = data[pos:pos + 255]
        blocks.append(len(part))
        blocks += part
    blocks.append(0)
    return bytes(blocks)


def write(path):
    palette = _palette()
    depth = 4                                        # 2^4 = 16 palette entries
    gif = bytearray(b"GIF89a")
    gif += struct.pack("<HHBBB", WIDTH, HEIGHT, 0x80 | ((8 - 1) << 4) | (depth - 1), 0, 0)
    for colour in palette:
        gif += bytes(colour)
    # Loop for ever.
    gif += b"\x21\xFF\x0BNETSCAPE2.0\x03\x01" + struct.pack("<H", 0) + b"\x00"
    for index in range(FRAMES):
        gif += b"\x21\xF9\x04" + struct.pack("<BHB", 0x04, DELAY_CS, 0) + b"\x00"
        gif += b"\x2C" + struct.pack("<HHHHB", 0, 0, WIDTH, HEIGHT, 0)
        gif.append(depth)
        gif += _sub_blocks(_lzw(_frame(index), depth))
    gif += b"\x3B"
    with open(path, "wb") as f:
        f.write(gif)


def decode_frames(path):
    """Read back the frames of a GIF written by write(): a list of index lists.
    The render script uses it to check the encoder's output."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:6] != b"GIF89a":
        raise ValueError("not a GIF89a file")
    flags = data[10]
    pos = 13 + (3 << ((flags & 7) + 1) if flags & 0x80 else 0)
    frames = []
    while pos < len(data):
        kind = data[pos]
        if kind == 0x3B:
            break
        if kind == 0x21:
            pos += 2
            while data[pos]:
                pos += data[pos] + 1
            pos += 1
            continue
        if kind != 0x2C:
            raise ValueError("unexpected block")
        w, h = struct.unpack("<HH", data[pos + 5:pos + 9])
        pos += 10
        min_size = data[pos]
        pos += 1
        stream = bytearray()
        while data[pos]:
            stream += data[pos + 1:pos + 1 + data[pos]]
            pos += data[pos] + 1
        pos += 1
        frames.append(_unlzw(bytes(stream), min_size)[:w * h])
    return frames


def _unlzw(stream, min_code_size):
    clear = 1 << min_code_size
    end = clear + 1
    out = []
    bitpos = 0
    size = min_code_size + 1
    table = None
    prev = None
    while bitpos + size <= len(stream) * 8:
        code = 0
        for i in range(size):
            bit = (stream[(bitpos + i) >> 3] >> ((bitpos + i) & 7)) & 1
            code |= bit << i
        bitpos += size
        if code == clear:
            table = [[i] for i in range(clear)] + [None, None]
            size = min_code_size + 1
            prev = None
            continue
        if code == end:
            break
        if prev is None:
            entry = table[code]
        elif code < len(table):
            entry = table[code]
            table.append(prev + entry[:1])
        else:
            entry = prev + prev[:1]
            table.append(entry)
        out += entry
        prev = entry
        if len(table) == (1 << size) and size < 12:
            size += 1
    return out


if __name__ == "__main__":
    import sys
    write(sys.argv[1] if len(sys.argv) > 1 else "installgif.gif")
