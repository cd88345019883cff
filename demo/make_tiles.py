#!/usr/bin/env python3
"""Generates the demo's data: tiles, palettes, sine and colour tables.

Usage: make_tiles.py OUTDIR

Writes:
  gfx.bin          the tiles, 256 bytes each, row by row
  data_low.bin     the data ROM's first window (sine table), a 68000 image
  data_high.bin    its second window (64 colour ramps for palette cycling)
  tables.inc       assembler constants of the tables
  tables_data.inc  assembler tables: palettes, shapes, tile codes
"""
import colorsys
import math
import os
import struct
import sys

BLACK = 0xFF  # pixel byte drawn black

# ---- tiles ------------------------------------------------------------------
TILE_BLANK, TILE_STAR_DIM, TILE_STAR_MID, TILE_STAR_BRIGHT, TILE_ORB, TILE_DOT = range(6)
TILE_MOON = 6          # 25 tiles, 5 x 5
MOON_GRID = 5


def blank():
    return [[BLACK] * 16 for _ in range(16)]


def star(kind):
    t = blank()
    if kind == 0:
        t[7][7] = 9
    elif kind == 1:
        for y, x in ((7, 7), (7, 8), (8, 7), (8, 8)):
            t[y][x] = 12
    else:
        for d in (-2, -1, 1, 2):
            t[7][7 + d] = 8 if abs(d) == 2 else 11
            t[7 + d][7] = 8 if abs(d) == 2 else 11
        t[7][7] = 15
    return t


def shade_sphere(nx, ny, nz):
    """Light from the upper left with a highlight; returns 1..15."""
    lx, ly, lz = -0.45, -0.55, 0.70
    lambert = max(0.0, nx * lx + ny * ly + nz * lz)
    shine = max(0.0, 2 * lambert * nz - lz) ** 12
    v = 0.12 + 0.78 * lambert + 0.5 * shine
    return max(1, min(15, int(round(1 + 14 * min(1.0, v)))))


def orb(r):
    """A shaded ball of radius r in the middle of a black tile. The black
    margin is what erases the ball's last picture: a ball that moves by no
    more than its margin in a frame leaves no trail."""
    t = blank()
    for y in range(16):
        for x in range(16):
            dx, dy = (x - 7.5) / r, (y - 7.5) / r
            d2 = dx * dx + dy * dy
            if d2 <= 1.0:
                t[y][x] = shade_sphere(dx, dy, math.sqrt(1 - d2))
    return t


def moon_tiles():
    size = 16 * MOON_GRID
    r = 37.5
    c = (size - 1) / 2
    craters = [(-14, -10, 7), (12, 6, 9), (-4, 18, 5), (16, -16, 4), (-20, 10, 4), (2, -2, 3)]
    img = [[BLACK] * size for _ in range(size)]
    for y in range(size):
        for x in range(size):
            dx, dy = (x - c) / r, (y - c) / r
            d2 = dx * dx + dy * dy
            if d2 > 1.0:
                continue
            v = shade_sphere(dx, dy, math.sqrt(1 - d2))
            for cx, cy, cr in craters:
                e = math.hypot(x - c - cx, y - c - cy)
                if e < cr:
                    v = max(1, v - 3 if e < cr - 1.2 else v + 1)
            img[y][x] = min(15, v)
    tiles = []
    for ty in range(MOON_GRID):
        for tx in range(MOON_GRID):
            tiles.append([row[tx * 16:tx * 16 + 16] for row in img[ty * 16:ty * 16 + 16]])
    return tiles


def tiles():
    return [blank(), star(0), star(1), star(2), orb(5.0), orb(4.3)] + moon_tiles()


def tile_bytes(tile_list):
    return bytes(b for t in tile_list for row in t for b in row)


# ---- palettes ---------------------------------------------------------------
def ramp(rgb):
    """16 entries: black, then dark to full colour to white highlight."""
    out = [(0, 0, 0)]
    for k in range(1, 16):
        t = k / 15.0
        if t < 0.8:
            f = 0.15 + 0.85 * t / 0.8
            out.append(tuple(int(255 * c * f) for c in rgb))
        else:
            w = (t - 0.8) / 0.2
            out.append(tuple(int(255 * (c + (1 - c) * w)) for c in rgb))
    return out


def words(rgb):
    r, g, b = rgb
    return (r << 8) | b, g


PALETTES = [  # palette select p: bank 31 - p
    ramp((0.85, 0.9, 1.0)),   # 0 stars
    ramp((1.0, 0.8, 0.2)),    # 1 first title line (cycled)
    ramp((0.2, 0.8, 1.0)),    # 2 second title line (cycled)
    ramp((1.0, 0.25, 0.25)),  # 3..7 balls
    ramp((0.3, 1.0, 0.35)),
    ramp((0.9, 0.3, 1.0)),
    ramp((1.0, 0.55, 0.1)),
    ramp((0.35, 0.45, 1.0)),
    ramp((0.95, 0.9, 0.75)),  # 8 moon
]


def hue_ramps(count=64):
    out = []
    for i in range(count):
        out.append(ramp(colorsys.hsv_to_rgb(i / count, 0.75, 1.0)))
    return out


# ---- letters ------------------------------------------------------------------
FONT = {
    'S': ["###", "#..", "###", "..#", "###"],
    'T': ["###", ".#.", ".#.", ".#.", ".#."],
    'O': ["###", "#.#", "#.#", "#.#", "###"],
    'N': ["##.", "#.#", "#.#", "#.#", "#.#"],
    'E': ["###", "#..", "##.", "#..", "###"],
    'B': ["##.", "#.#", "##.", "#.#", "##."],
    'R': ["##.", "#.#", "##.", "#.#", "#.#"],
    'A': [".#.", "#.#", "###", "#.#", "#.#"],
    'K': ["#.#", "#.#", "##.", "#.#", "#.#"],
}
LETTERS = "STONEBRAK"
TITLE = ["STONE", "BREAKER"]

# Shapes (4 words: first tile code, grid (columns << 4 | rows), x origin,
# y origin) and the tile-code table.
SHAPE_ONE_TILE = 1
SHAPE_MOON = 2
SHAPE_LETTER0 = 3


def shapes_and_codes():
    shapes = [(0, 0x11, 0, 0), (0, 0x11, 0, 0), (1, MOON_GRID << 4 | MOON_GRID, 0, 0)]
    codes = [0] + [TILE_MOON + i for i in range(MOON_GRID * MOON_GRID)]
    for ch in LETTERS:
        shapes.append((len(codes), 0x35, 24, 40))
        for row in FONT[ch]:
            codes.extend(TILE_DOT if c == '#' else 0x8000 for c in row)
    return shapes, codes


def asm_words(name, values, per_line=8):
    lines = [f"{name}:"]
    for i in range(0, len(values), per_line):
        lines.append("\t.word " + ",".join(f"0x{v & 0xffff:04x}" for v in values[i:i + per_line]))
    return "\n".join(lines) + "\n"


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    with open(os.path.join(out, "gfx.bin"), "wb") as f:
        f.write(tile_bytes(tiles()))
    sine = [int(round(256 * math.sin(2 * math.pi * i / 256))) for i in range(320)]
    with open(os.path.join(out, "data_low.bin"), "wb") as f:
        f.write(struct.pack(">%dh" % len(sine), *sine))
    ramps = [w for r in hue_ramps() for rgb in r for w in words(rgb)]
    with open(os.path.join(out, "data_high.bin"), "wb") as f:
        f.write(struct.pack(">%dH" % len(ramps), *ramps))
    shapes, codes = shapes_and_codes()
    pal = [w for p in PALETTES for rgb in p for w in words(rgb)]
    title_shapes = [SHAPE_LETTER0 + LETTERS.index(c) for line in TITLE for c in line]
    text = "\n".join([
        "| generated by make_tiles.py",
        f"\t.equ TILE_BLANK,{TILE_BLANK}",
        f"\t.equ TILE_STAR,{TILE_STAR_DIM}",
        f"\t.equ TILE_ORB,{TILE_ORB}",
        f"\t.equ SHAPE_ONE_TILE,{SHAPE_ONE_TILE}",
        f"\t.equ SHAPE_MOON,{SHAPE_MOON}",
        f"\t.equ PALETTE_COUNT,{len(PALETTES)}",
        f"\t.equ SHAPE_COUNT,{len(shapes)}",
        f"\t.equ CODE_COUNT,{len(codes)}",
        f"\t.equ LETTER_COUNT,{len(title_shapes)}",
    ]) + "\n"
    data = "\n".join([
        "| generated by make_tiles.py",
        "\t.even",
        asm_words("paletteWords", pal),
        asm_words("shapeWords", [w for s in shapes for w in s]),
        asm_words("tileCodes", codes),
        asm_words("titleShapes", title_shapes),
    ])
    with open(os.path.join(out, "tables.inc"), "w") as f:
        f.write(text)
    with open(os.path.join(out, "tables_data.inc"), "w") as f:
        f.write(data)


if __name__ == "__main__":
    main()
