#!/usr/bin/env python3
"""Draws the program's hand pointer and writes it as a 32x32 Windows cursor file (HAND-M.CUR).

'#' is the black outline, '.' the white fill, anything else transparent. The hot spot is the tip
of the index finger.
"""
import struct
import sys

ART = [
    "      ##                        ",
    "     #..#                       ",
    "     #..#                       ",
    "     #..#                       ",
    "     #..#                       ",
    "     #..###                     ",
    "     #..#..###                  ",
    "     #..#..#..##                ",
    "     #..#..#..#.#               ",
    " ### #..#..#..#..#              ",
    " #..##........#..#              ",
    " #...#...........#              ",
    "  #..#...........#              ",
    "   #.............#              ",
    "   #.............#              ",
    "    #............#              ",
    "    #...........#               ",
    "     #..........#               ",
    "     #.........#                ",
    "      #........#                ",
    "      #........#                ",
    "      ##########                ",
]
HOT_X, HOT_Y = 6, 0
SIZE = 32


def pixel(x, y):
    row = ART[y] if y < len(ART) else ""
    ch = row[x] if x < len(row) else " "
    if ch == "#":
        return (0, 0, 0, 255)
    if ch == ".":
        return (255, 255, 255, 255)
    return (0, 0, 0, 0)


def main(path):
    xor = bytearray()
    for y in reversed(range(SIZE)):  # bottom-up rows
        for x in range(SIZE):
            r, g, b, a = pixel(x, y)
            xor += bytes((b, g, r, a))
    mask_stride = ((SIZE + 31) // 32) * 4
    and_mask = bytearray()
    for y in reversed(range(SIZE)):
        row = bytearray(mask_stride)
        for x in range(SIZE):
            if pixel(x, y)[3] == 0:
                row[x // 8] |= 0x80 >> (x % 8)
        and_mask += row
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 32, 0, len(xor) + len(and_mask), 0, 0, 0, 0)
    image = header + xor + and_mask
    directory = struct.pack("<HHH", 0, 2, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, HOT_X, HOT_Y, len(image), 6 + 16)
    with open(path, "wb") as out:
        out.write(directory + entry + image)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "HAND-M.CUR")
