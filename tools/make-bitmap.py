#!/usr/bin/env python3
"""Makes res/welcome.bmp, the banner beside the welcome dialog's texts.

An upright 109 x 244 pixel, 8 bits per pixel Windows bitmap (BITMAPINFOHEADER,
bottom-up rows), run-length encoded (BI_RLE8) with a colour table of the 42
colours it uses, so that it takes a few kilobytes of the program: a grey banner,
darker towards its foot, with a drawing of a computer at the top and the
maker's name running down its length. The letters come from the small pixel
font below, drawn three times their size and turned a quarter turn clockwise.

    tools/make-bitmap.py [OUTPUT]     (default: res/welcome.bmp beside this tool)
"""
import os
import struct
import sys

WIDTH, HEIGHT = 109, 244

# The colour table: the colours the drawing uses first, then a grey ramp for the
# banner: each row is one grey, so that it runs the width of the banner.
COLOURS = [
    (0, 0, 0),        # 0 black: outlines
    (255, 255, 255),  # 1 white: bevel light
    (96, 96, 96),     # 2 dark grey: bevel shadow, banner edge
    (232, 228, 216),  # 3 putty: the computer's case
    (176, 172, 160),  # 4 putty shadow
    (0, 48, 96),      # 5 screen
    (96, 224, 128),   # 6 screen text
    (0, 0, 128),      # 7 navy: the maker's name
    (48, 48, 48),     # 8 the name's shadow
    (200, 40, 40),    # 9 power light
]
BLACK, WHITE, DARK, CASE, CASE_SHADOW, SCREEN, SCREEN_TEXT, NAME, NAME_SHADOW, LIGHT = range(10)
GREY_BASE = len(COLOURS)
GREY_STEPS = 32
palette = COLOURS + [(g, g, g) for g in
                     (round(112 + 120 * i / (GREY_STEPS - 1)) for i in range(GREY_STEPS))]


def grey(level):
    """The palette index of a grey between 0 (darkest ramp entry) and 1 (lightest)."""
    return GREY_BASE + round(max(0.0, min(1.0, level)) * (GREY_STEPS - 1))


# 5 x 7 pixel letters of the maker's name.
GLYPHS = {
    "Z": ["#####", "....#", "...#.", "..#..", ".#...", "#....", "#####"],
    "o": [".....", ".....", ".###.", "#...#", "#...#", "#...#", ".###."],
    "r": [".....", ".....", "#.##.", "##..#", "#....", "#....", "#...."],
    "v": [".....", ".....", "#...#", "#...#", "#...#", ".#.#.", "..#.."],
    "a": [".....", ".....", ".###.", "....#", ".####", "#...#", ".####"],
    "n": [".....", ".....", "#.##.", "##..#", "#...#", "#...#", "#...#"],
    "e": [".....", ".....", ".###.", "#...#", "#####", "#....", ".###."],
}

pixels = [[0] * WIDTH for _ in range(HEIGHT)]  # pixels[y][x], y = 0 at the top


def fill(x0, y0, x1, y1, colour):
    """Fills the rectangle from (x0, y0) to (x1, y1), both corners included."""
    for y in range(max(0, y0), min(HEIGHT, y1 + 1)):
        for x in range(max(0, x0), min(WIDTH, x1 + 1)):
            pixels[y][x] = colour


def frame(x0, y0, x1, y1, colour):
    fill(x0, y0, x1, y0, colour)
    fill(x0, y1, x1, y1, colour)
    fill(x0, y0, x0, y1, colour)
    fill(x1, y0, x1, y1, colour)


def banner():
    # Darker towards the foot.
    for y in range(HEIGHT):
        for x in range(WIDTH):
            pixels[y][x] = grey(0.8 - 0.3 * y / (HEIGHT - 1))
    frame(0, 0, WIDTH - 1, HEIGHT - 1, DARK)
    fill(1, 1, WIDTH - 2, 1, WHITE)
    fill(1, 1, 1, HEIGHT - 2, WHITE)
    fill(2, HEIGHT - 2, WIDTH - 2, HEIGHT - 2, DARK)
    fill(WIDTH - 2, 2, WIDTH - 2, HEIGHT - 2, DARK)


def computer():
    # Monitor.
    fill(22, 12, 86, 62, CASE)
    fill(22, 12, 86, 12, WHITE)
    fill(22, 12, 22, 62, WHITE)
    fill(23, 62, 86, 62, CASE_SHADOW)
    fill(86, 13, 86, 62, CASE_SHADOW)
    frame(21, 11, 87, 63, BLACK)
    fill(29, 18, 79, 54, SCREEN)
    frame(28, 17, 80, 55, BLACK)
    for row, length in enumerate((30, 22, 38, 16, 26)):
        y = 22 + row * 6
        fill(33, y, 33 + length, y + 1, SCREEN_TEXT)
    fill(74, 50, 76, 52, SCREEN_TEXT)  # the cursor
    fill(79, 58, 81, 59, LIGHT)
    # Neck and foot.
    fill(46, 64, 62, 68, CASE_SHADOW)
    frame(45, 64, 63, 68, BLACK)
    # System unit.
    fill(14, 70, 94, 84, CASE)
    fill(14, 70, 94, 70, WHITE)
    fill(15, 84, 94, 84, CASE_SHADOW)
    frame(13, 69, 95, 85, BLACK)
    fill(20, 75, 44, 77, CASE_SHADOW)  # disk slot
    frame(19, 74, 45, 78, BLACK)
    fill(86, 76, 88, 78, LIGHT)
    # Keyboard, a little wider than the unit, with rows of keys.
    fill(10, 89, 98, 101, CASE)
    frame(9, 88, 99, 102, BLACK)
    for row in range(3):
        y = 91 + row * 3
        for x in range(13 + row, 95, 4):
            fill(x, y, x + 2, y + 1, CASE_SHADOW)
    fill(30, 100, 78, 100, CASE_SHADOW)  # space bar


def name(text, top, right, scale=3):
    """Writes `text` downwards from row `top`; the letters' tops face column `right`."""
    def plot(column, row, colour, offset):
        # Column `column` of the line of text runs down the bitmap; row `row`
        # of a letter (0 at its top) runs leftwards from `right`.
        y0 = top + column * scale + offset
        x1 = right - row * scale - offset
        fill(x1 - scale + 1, y0, x1, y0 + scale - 1, colour)

    for colour, offset in ((NAME_SHADOW, 1), (NAME, 0)):
        for index, letter in enumerate(text):
            for row, line in enumerate(GLYPHS[letter]):
                for column, mark in enumerate(line):
                    if mark == "#":
                        plot(index * 6 + column, row, colour, offset)


def bitmap_file():
    image = bytearray()
    for y in range(HEIGHT - 1, -1, -1):  # bottom-up
        x = 0
        while x < WIDTH:  # encoded mode: a count and the colour it repeats
            run = 1
            while x + run < WIDTH and run < 255 and pixels[y][x + run] == pixels[y][x]:
                run += 1
            image += bytes((run, pixels[y][x]))
            x += run
        image += bytes((0, 0))  # end of the row
    image += bytes((0, 1))  # end of the bitmap
    colour_table = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in palette)
    info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 8, 1, len(image), 2835, 2835, len(palette), 0)
    offset = 14 + len(info) + len(colour_table)
    header = struct.pack("<2sIHHI", b"BM", offset + len(image), 0, 0, offset)
    return header + info + colour_table + bytes(image)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    output = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "res", "welcome.bmp")
    assert len(palette) == 42
    banner()
    computer()
    name("Zorvane", top=113, right=64)
    with open(output, "wb") as out:
        out.write(bitmap_file())


if __name__ == "__main__":
    main()
