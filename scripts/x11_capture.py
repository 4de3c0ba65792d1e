#!/usr/bin/env python3
"""Pictures one window of an X server as a PNG: what the screen shows in the
window's rectangle (read from the root window, so that whatever draws the
window, Wine included, is taken as it appears).

    scripts/x11_capture.py WINDOW_ID OUT.png     (on $DISPLAY)

Needs only libX11; the PNG is written by skin/src/pngio.py.
"""

import ctypes
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "skin", "src"))
import pngio  # noqa: E402

ALL_PLANES = ctypes.c_ulong(0xFFFFFFFF)
Z_PIXMAP = 2


class XWindowAttributes(ctypes.Structure):
    _fields_ = [("x", ctypes.c_int), ("y", ctypes.c_int), ("width", ctypes.c_int),
                ("height", ctypes.c_int), ("border_width", ctypes.c_int),
                ("depth", ctypes.c_int), ("visual", ctypes.c_void_p),
                ("root", ctypes.c_ulong), ("rest", ctypes.c_byte * 256)]


class XImage(ctypes.Structure):
    _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
                ("format", ctypes.c_int), ("data", ctypes.POINTER(ctypes.c_ubyte)),
                ("byte_order", ctypes.c_int), ("bitmap_unit", ctypes.c_int),
                ("bitmap_bit_order", ctypes.c_int), ("bitmap_pad", ctypes.c_int),
                ("depth", ctypes.c_int), ("bytes_per_line", ctypes.c_int),
                ("bits_per_pixel", ctypes.c_int), ("red_mask", ctypes.c_ulong),
                ("green_mask", ctypes.c_ulong), ("blue_mask", ctypes.c_ulong)]


def load_x11():
    x = ctypes.CDLL("libX11.so.6")
    x.XOpenDisplay.restype = ctypes.c_void_p
    x.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x.XDefaultRootWindow.restype = ctypes.c_ulong
    x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
    x.XGetWindowAttributes.argtypes = [ctypes.c_void_p, ctypes.c_ulong,
                                       ctypes.POINTER(XWindowAttributes)]
    x.XTranslateCoordinates.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong,
                                        ctypes.c_int, ctypes.c_int,
                                        ctypes.POINTER(ctypes.c_int), ctypes.POINTER(ctypes.c_int),
                                        ctypes.POINTER(ctypes.c_ulong)]
    x.XGetImage.restype = ctypes.POINTER(XImage)
    x.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                            ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
    x.XCloseDisplay.argtypes = [ctypes.c_void_p]
    return x


def capture(window, path):
    x = load_x11()
    display = x.XOpenDisplay(None)
    if not display:
        raise SystemExit("x11_capture: cannot open display %s" % os.environ.get("DISPLAY", "(unset)"))
    root = x.XDefaultRootWindow(display)
    attributes = XWindowAttributes()
    if not x.XGetWindowAttributes(display, window, ctypes.byref(attributes)):
        raise SystemExit("x11_capture: no window %#x" % window)
    left, top, child = ctypes.c_int(), ctypes.c_int(), ctypes.c_ulong()
    x.XTranslateCoordinates(display, window, root, 0, 0, ctypes.byref(left), ctypes.byref(top),
                            ctypes.byref(child))
    root_attributes = XWindowAttributes()
    x.XGetWindowAttributes(display, root, ctypes.byref(root_attributes))
    # Only the part of the window that is on the screen.
    x0, y0 = max(left.value, 0), max(top.value, 0)
    x1 = min(left.value + attributes.width, root_attributes.width)
    y1 = min(top.value + attributes.height, root_attributes.height)
    if x1 <= x0 or y1 <= y0:
        raise SystemExit("x11_capture: window %#x is off the screen" % window)
    width, height = x1 - x0, y1 - y0
    image = x.XGetImage(display, root, x0, y0, width, height, ALL_PLANES, Z_PIXMAP)
    if not image:
        raise SystemExit("x11_capture: the screen could not be read")
    img = image.contents
    if img.bits_per_pixel != 32:
        raise SystemExit("x11_capture: %d bits per pixel, only 32 are read" % img.bits_per_pixel)
    raw = ctypes.string_at(img.data, img.bytes_per_line * height)
    rows = []
    for y in range(height):
        line = raw[y * img.bytes_per_line:y * img.bytes_per_line + width * 4]
        row = bytearray(width * 4)
        # Little-endian 24-bit TrueColor: B, G, R, unused.
        row[0::4] = line[2::4]
        row[1::4] = line[1::4]
        row[2::4] = line[0::4]
        row[3::4] = b"\xff" * width
        rows.append(row)
    pngio.write_rgba(path, width, height, rows)
    x.XCloseDisplay(display)


def main():
    if len(sys.argv) != 3:
        raise SystemExit("usage: x11_capture.py WINDOW_ID OUT.png")
    capture(int(sys.argv[1], 0), sys.argv[2])


if __name__ == "__main__":
    main()
