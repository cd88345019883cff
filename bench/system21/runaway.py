#!/usr/bin/env python3
"""Writes two runaway ROM sets into a run directory (drv/ and roms/):

  poll.drv      the master reads an unmapped register every instruction
  scribble.drv  the master writes a word to every address, round and round

Both slaves spin in place. Used to measure the log's size and the frame rate
of code that hits unmapped addresses all the time:

  runaway.py build/run && cd build/run && ../stonebreaker --headless --play poll.drv --frames 300
"""
import os
import struct
import sys

PROGRAMS = {
    # move.w $400000,d0 ; bra.s back to it
    "poll": [0x3039, 0x0040, 0x0000, 0x60F8],
    # lea $0.w,a0 ; move.w d0,(a0)+ ; bra.s back to the move
    "scribble": [0x41F8, 0x0000, 0x30C0, 0x60FC],
}
SPIN = [0x60FE]  # bra.s to itself
ENTRY = 0x400


def image(stack, code):
    data = bytearray(0x1000)
    data[0:8] = struct.pack(">II", stack, ENTRY)
    for i, word in enumerate(code):
        struct.pack_into(">H", data, ENTRY + 2 * i, word)
    return bytes(data)


def main():
    run = sys.argv[1] if len(sys.argv) > 1 else "build/run"
    os.makedirs(os.path.join(run, "drv"), exist_ok=True)
    os.makedirs(os.path.join(run, "roms"), exist_ok=True)
    for name, code in PROGRAMS.items():
        for cpu, data in (("m", image(0x110000, code)), ("s", image(0x140000, SPIN))):
            for half, part in (("even", data[0::2]), ("odd", data[1::2])):
                with open(os.path.join(run, "roms", f"{name}_{cpu}_{half}.bin"), "wb") as f:
                    f.write(part)
        with open(os.path.join(run, "drv", f"{name}.drv"), "w") as f:
            f.write(f"""GAMENAME " {name}"
DIRECTORY {name}
SYSTEM System21
[gfx]
SIZE 100
[masterCpu]
SIZE 1000
LOADROMEVENODD {name}_m_even.bin {name}_m_odd.bin 800 0
[slaveCpu]
SIZE 1000
LOADROMEVENODD {name}_s_even.bin {name}_s_odd.bin 800 0
[collisionData]
SIZE 2
[end]
""")


if __name__ == "__main__":
    main()
