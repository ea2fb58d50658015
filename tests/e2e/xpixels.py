#!/usr/bin/env python3
"""Counts the pixels of kinds in rectangles of an X window, through libX11.

Usage: xpixels.py WINDOW LEFT TOP WIDTH HEIGHT
Prints "dark N red N" for the rectangle (window coordinates): dark pixels
(text, every channel below 64) and red ones (the error picture).
"""
import ctypes
import sys

x11 = ctypes.CDLL("libX11.so.6")
x11.XOpenDisplay.restype = ctypes.c_void_p
x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
x11.XGetImage.restype = ctypes.c_void_p
x11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                          ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
x11.XGetPixel.restype = ctypes.c_ulong
x11.XGetPixel.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int]
x11.XDestroyImage = None  # a macro in Xlib; the image is freed with the process


def main():
    window, left, top, width, height = (int(a, 0) for a in sys.argv[1:6])
    display = x11.XOpenDisplay(None)
    if not display:
        sys.exit("xpixels: no display")
    image = x11.XGetImage(display, window, left, top, width, height, 0xFFFFFFFF, 2)  # ZPixmap
    if not image:
        sys.exit("xpixels: no image")
    dark = red = 0
    for y in range(height):
        for x in range(width):
            p = x11.XGetPixel(image, x, y)
            r, g, b = (p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF
            dark += r < 64 and g < 64 and b < 64
            red += r > 150 and g < 90 and b < 90
    print(f"dark {dark} red {red}")


main()
