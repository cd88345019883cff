#!/usr/bin/env python3
"""Packs the demo's ROM images into a zip archive of deflated members.

Usage: pack_demo.py GENDIR DRIVER ZIP DRIVER_OUT

GENDIR holds master.bin and slave.bin (68000 images, big-endian, from 0),
gfx.bin, collision_lo.bin and collision_hi.bin (from make_tiles.py). The
member sizes must match the load commands of the driver file DRIVER, which
is copied to DRIVER_OUT.
"""
import os
import re
import shutil
import sys
import zipfile

CODE_IMAGE = 0x10000   # bytes of each program image
DATA_IMAGE = 0x1000    # bytes of each window's data


def padded(data, size, name):
    if len(data) > size:
        sys.exit(f"{name}: {len(data)} bytes, more than the {size} the driver loads")
    return data + bytes(size - len(data))


def main():
    gen, driver, zip_path, driver_out = sys.argv[1:5]
    read = lambda name: open(os.path.join(gen, name), "rb").read()
    master = padded(read("master.bin"), CODE_IMAGE, "master")
    slave = padded(read("slave.bin"), CODE_IMAGE, "slave")
    gfx = read("gfx.bin")
    members = {
        # even/odd EPROM pair: high bytes, then low bytes of each word
        "demo_m0.bin": master[0::2],
        "demo_m1.bin": master[1::2],
        # 16-bit words stored low byte first
        "demo_s.bin": bytes(b for i in range(0, len(slave), 2) for b in (slave[i + 1], slave[i])),
        "demo_d0.bin": padded(read("collision_lo.bin"), DATA_IMAGE, "data ROM low"),
        "demo_d1.bin": padded(read("collision_hi.bin"), DATA_IMAGE, "data ROM high"),
        "demo_gfx.bin": gfx,
    }
    text = open(driver).read()
    size = re.search(r"\[gfx\]\s+SIZE\s+([0-9a-fA-F]+)", text)
    if not size or int(size.group(1), 16) != len(gfx):
        sys.exit(f"{driver}: the [gfx] SIZE must be {len(gfx):x}")
    os.makedirs(os.path.dirname(zip_path), exist_ok=True)
    os.makedirs(os.path.dirname(driver_out), exist_ok=True)
    with zipfile.ZipFile(zip_path + ".tmp", "w") as z:
        for name, data in members.items():
            info = zipfile.ZipInfo(name, date_time=(2026, 1, 1, 0, 0, 0))
            info.compress_type = zipfile.ZIP_DEFLATED
            z.writestr(info, data)
    os.replace(zip_path + ".tmp", zip_path)
    shutil.copyfile(driver, driver_out)


if __name__ == "__main__":
    main()
