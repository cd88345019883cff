#!/usr/bin/env python3
"""Packs a board program's images into a ROM set: a driver file and a zip
archive of deflated members, in a run directory's drv/ and roms/.

Usage: pack_rom_set.py --name NAME --title TITLE --master M.bin --slave S.bin
                       [--gfx TILES.bin] [--data-low D0.bin] [--data-high D1.bin]
                       [--date YEAR] [--comment TEXT] --run-dir DIR

The code images are 68000 images from address 0 (big-endian, as objcopy
writes them), padded to a multiple of 64 KB. The master's is stored as an
even/odd EPROM pair (LOADROMEVENODD), the slave's as words low byte first
(LOADROM16SWAP). TILES.bin holds 16 x 16-pixel tiles of 256 bytes, row by
row; the driver loads the graphics as four planes, so they are stored so.
D0 and D1 are the data ROM's two windows (0x800000 and 0xd00000), 68000
images padded to a multiple of 4 KB, stored as words low byte first.
"""
import argparse
import os
import sys
import zipfile

CODE_UNIT = 0x10000
DATA_UNIT = 0x1000
TILE_BYTES = 256
CODE_REGION = 0x100000   # the board maps 1 MB of each code ROM
DATA_REGION = 0x200000   # and 2 MB of data ROM
DATA_HIGH_OFFSET = 0x100000


def padded(data, unit, name, limit):
    size = max(unit, (len(data) + unit - 1) // unit * unit)
    if size > limit:
        sys.exit(f"{name}: {len(data)} bytes, more than the {limit} the board maps")
    return data + bytes(size - len(data))


def swapped(data):
    """16-bit words low byte first."""
    out = bytearray(data)
    out[0::2], out[1::2] = data[1::2], data[0::2]
    return bytes(out)


def planes(tiles):
    """Four planes: plane m holds bytes 4k + m of the tiles."""
    return b"".join(tiles[m::4] for m in range(4))


def read(path, default=b""):
    if not path:
        return default
    with open(path, "rb") as f:
        return f.read()


def main():
    p = argparse.ArgumentParser()
    for key in ("name", "title", "master", "slave", "run-dir"):
        p.add_argument("--" + key, required=True)
    for key in ("gfx", "data-low", "data-high", "comment"):
        p.add_argument("--" + key, default="")
    p.add_argument("--date", default="2026")
    a = p.parse_args()
    n = a.name
    master = padded(read(a.master), CODE_UNIT, "master", CODE_REGION)
    slave = padded(read(a.slave), CODE_UNIT, "slave", CODE_REGION)
    low = padded(read(a.data_low), DATA_UNIT, "data ROM low", DATA_HIGH_OFFSET)
    high = padded(read(a.data_high), DATA_UNIT, "data ROM high", DATA_REGION - DATA_HIGH_OFFSET)
    tiles = read(a.gfx, bytes([0xFF]) * TILE_BYTES)  # no graphics: one black tile
    if len(tiles) % TILE_BYTES:
        sys.exit(f"{a.gfx}: {len(tiles)} bytes, not a whole number of 256-byte tiles")
    members = {
        f"{n}_gfx.bin": planes(tiles),
        f"{n}_m0.bin": master[0::2],  # bytes at even addresses: the high bytes
        f"{n}_m1.bin": master[1::2],
        f"{n}_s.bin": swapped(slave),
        f"{n}_d0.bin": swapped(low),
        f"{n}_d1.bin": swapped(high),
    }
    comment = f"# {a.comment} #\n" if a.comment else ""
    driver = (f"{comment}GAMENAME \" {a.title}\"\nDIRECTORY {n}\nDATE {a.date}\n"
              f"SYSTEM System21\n\n"
              f"[gfx]\nSIZE {len(tiles):x}\nLOAD8 {n}_gfx.bin {len(tiles):x} 0\n\n"
              f"[masterCpu]\nSIZE {CODE_REGION:x}\n"
              f"LOADROMEVENODD {n}_m0.bin {n}_m1.bin {len(master) // 2:x} 0\n\n"
              f"[slaveCpu]\nSIZE {CODE_REGION:x}\nLOADROM16SWAP {n}_s.bin {len(slave):x} 0\n\n"
              f"[collisionData]\nSIZE {DATA_REGION:x}\n"
              f"LOADROM16SWAP {n}_d0.bin {len(low):x} 0\n"
              f"LOADROM16SWAP {n}_d1.bin {len(high):x} {DATA_HIGH_OFFSET:x}\n\n[end]\n")
    zip_path = os.path.join(a.run_dir, "roms", n + ".zip")
    driver_path = os.path.join(a.run_dir, "drv", n + ".drv")
    for path in (zip_path, driver_path):
        os.makedirs(os.path.dirname(path), exist_ok=True)
    with zipfile.ZipFile(zip_path + ".tmp", "w") as z:
        for name, data in members.items():
            info = zipfile.ZipInfo(name, date_time=(2026, 1, 1, 0, 0, 0))
            info.compress_type = zipfile.ZIP_DEFLATED
            z.writestr(info, data)
    os.replace(zip_path + ".tmp", zip_path)
    with open(driver_path + ".tmp", "w") as f:
        f.write(driver)
    os.replace(driver_path + ".tmp", driver_path)


if __name__ == "__main__":
    main()
