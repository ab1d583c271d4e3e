#!/usr/bin/env python3
"""Writes resources/HAND-M.CUR, the pointing-hand cursor shown over the window.

The cursor is a 32x32 Windows cursor file: one image, 32-bit BGRA with an AND
mask, hotspot at the tip of the index finger. Only the standard library is
used, so the file can be rebuilt anywhere:

    python3 tools/make_cursor.py [output.cur]
"""

import os
import struct
import sys

SIZE = 32

# The hand, drawn from its top-left corner: X outline, o fill, . transparent.
HAND = """
......XX..........
.....XooX.........
.....XooX.........
.....XooX.........
.....XooX.........
.....XooXXX.......
.....XooXooXXX....
.....XooXooXooXX..
.....XooXooXooXoX.
.XX..XooXooXooXooX
XooX.XoooooooooooX
XoooXXoooooooooooX
.XoooXoooooooooooX
..XooXoooooooooooX
..XooooooooooooooX
...XoooooooooooooX
...XooooooooooooX.
....XoooooooooooX.
....XooooooooooX..
.....XoooooooooX..
.....XoooooooooX..
.....XXXXXXXXXXX..
"""

# The pixel the pointer acts on: the top of the fingertip.
HOTSPOT = (6, 0)

COLOURS = {
    "X": (0x00, 0x00, 0x00, 0xFF),  # B, G, R, A
    "o": (0xFF, 0xFF, 0xFF, 0xFF),
    ".": (0x00, 0x00, 0x00, 0x00),
}


def hand_rows():
    """The drawing padded to SIZE x SIZE with transparent pixels."""
    rows = [line for line in HAND.strip("\n").split("\n")]
    if len(rows) > SIZE or any(len(r) > SIZE for r in rows):
        raise ValueError("the hand does not fit into %dx%d" % (SIZE, SIZE))
    for r in rows:
        if set(r) - set(COLOURS):
            raise ValueError("unknown pixel in %r" % r)
    rows = [r.ljust(SIZE, ".") for r in rows]
    rows += ["." * SIZE] * (SIZE - len(rows))
    hx, hy = HOTSPOT
    if rows[hy][hx] == ".":
        raise ValueError("the hotspot lies on a transparent pixel")
    return rows


def cursor_bytes():
    rows = hand_rows()

    # BMP rows run bottom-up.
    xor = bytearray()
    mask = bytearray()
    for row in reversed(rows):
        bits = 0
        for x, px in enumerate(row):
            xor += bytes(COLOURS[px])
            if px == ".":
                bits |= 1 << (SIZE - 1 - x)  # AND bit set: screen shows through
        mask += struct.pack(">I", bits)  # 32 bits a row, already 4-byte aligned

    image = bytes(xor) + bytes(mask)
    header = struct.pack(
        "<IiiHHIIiiII",
        40,          # biSize
        SIZE,        # biWidth
        SIZE * 2,    # biHeight: XOR image and AND mask together
        1,           # biPlanes
        32,          # biBitCount
        0,           # biCompression: BI_RGB
        len(image),  # biSizeImage
        0, 0,        # resolution, unused
        0, 0,        # colours used, important
    )
    resource = header + image

    icondir = struct.pack("<HHH", 0, 2, 1)  # reserved, type 2 = cursor, one image
    entry = struct.pack(
        "<BBBBHHII",
        SIZE, SIZE,          # width, height
        0, 0,                # no palette, reserved
        HOTSPOT[0], HOTSPOT[1],
        len(resource),
        len(icondir) + 16,   # the image follows this single 16-byte entry
    )
    return icondir + entry + resource


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    default = os.path.join(here, os.pardir, "resources", "HAND-M.CUR")
    out = os.path.normpath(argv[1] if len(argv) > 1 else default)
    data = cursor_bytes()
    with open(out, "wb") as f:
        f.write(data)
    print("wrote %s (%d bytes, hotspot %d,%d)" % (out, len(data), *HOTSPOT))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
