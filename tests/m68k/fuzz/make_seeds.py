#!/usr/bin/env python3
"""Writes the seed corpus of the 68000 core fuzzer (tests/m68k/fuzz/corpus).

Input layout (see cpu_fuzz.cpp): flags, condition codes, slice count, eight
16-bit budgets, pending interrupts, 32-bit handler seed, 18 register choices
(kind byte + 16-bit value: D0-D7, A0-A7, the other stack pointer, PC), then
code words for ROM 0x400-0x7ff, RAM 0x2000-0x27ff and the six-byte region.
The corpus also holds regression-* inputs kept from earlier fuzzing runs.
"""
import os
import random
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

# Register kinds: 0 ROM code, 1 RAM, 2 handlers, 3 short direct entry,
# 4 six-byte region, 5 small signed, 6 random, 7 RAM with a top byte.
ROM, RAM, PORT, SMALL, TINY, NUM, RAW, HIGH = range(8)
# PC kinds: 0 ROM code, 3 RAM, 5 six-byte region, 7 random.
PC_ROM, PC_RAM, PC_TINY, PC_RAW = 0, 3, 5, 7


def seed(name, code=(), ram=(), tiny=(), s=True, t=False, mask=0, ccr=0, calls=4,
         budgets=(300, 1000, 2047, 7, 500, 1, 2000, 64), pending=0, hseed=0x12345678,
         reset_handler=True, odd_vectors=False, regs=None, pc=(PC_ROM, 0)):
    flags = (1 if s else 0) | (2 if t else 0) | (mask & 7) << 2 | \
        (0x20 if reset_handler else 0) | (0x40 if odd_vectors else 0)
    out = bytes([flags, ccr, (calls - 1) & 7])
    out += b"".join(struct.pack(">H", b - 1) for b in budgets)
    out += bytes([pending]) + struct.pack(">I", hseed)
    regs = regs or {}
    default = [(NUM, 3), (NUM, 0xfff0), (NUM, 7), (RAW, 0x1234), (NUM, 0), (NUM, 1), (NUM, 2),
               (NUM, 0x8000), (PORT, 0x10), (SMALL, 2), (RAM, 0x100), (ROM, 0), (RAM, 0x400),
               (HIGH, 0x3021), (PORT, 0x41), (RAM, 0x7f0), (RAM, 0x600)]
    for i, kv in regs.items():
        default[i] = kv
    for kind, value in default + [pc]:
        out += bytes([kind]) + struct.pack(">H", value)
    rom = list(code) + [0x4e71] * (0x200 - len(code))
    out += b"".join(struct.pack(">H", w) for w in rom)
    out += b"".join(struct.pack(">H", w) for w in list(ram) + [0] * (0x400 - len(ram)))
    out += b"".join(struct.pack(">H", w) for w in list(tiny) + [0] * (3 - len(tiny)))
    with open(os.path.join(HERE, "corpus", name), "wb") as f:
        f.write(out)


def bra_back(words_before):
    # BRA.S back to the start of the code, from a BRA at word index n.
    return 0x6000 | ((-(words_before * 2 + 2)) & 0xff)


A0, A1, A2, A7 = 8, 9, 10, 15

# Reads and writes through handlers, a long straddling the short entry's end.
basic = [0x2010, 0x2211, 0x2281, 0x3080, 0x1080, 0x2290, 0x3011, 0x4e71]
seed("handlers", basic + [bra_back(len(basic))])

# Supervisor to user mode, traps, MOVE USP and privileged instructions.
user = [0x4e68, 0x46fc, 0x0000, 0x4e40, 0x4e4f, 0x4e60, 0x46fc, 0x2700, 0x4e72, 0x2000,
        0x4e73, 0x4e70]
seed("user", user + [bra_back(len(user))], mask=3, pending=0x10 | 0x04)

# Divisions by zero and overflowing ones, multiplies, CHK.
div = [0x81c1, 0x80c1, 0x81c4, 0x80c4, 0xc1c2, 0xc0c3, 0x4181, 0x81d0, 0x4e76]
seed("divide", div + [bra_back(len(div))], regs={0: (RAW, 0x8000), 1: (NUM, 0xffff),
                                                   4: (NUM, 0)})

# MOVEM to and from the stack, the handlers and the straddled entry.
movem = [0x48e7, 0xfffe, 0x4cdf, 0x7fff, 0x48d0, 0xffff, 0x4cd1, 0x00ff, 0x48a1, 0x00f0]
seed("movem", movem + [bra_back(len(movem))], regs={A7: (RAM, 0x700)})

# Jumps out of every region, RTS/RTE to random places, code run from RAM.
jumps = [0x4ef9, 0x00f0, 0x0000]
seed("jump-away", jumps, ram=[0x4e75, 0x4e73, 0x4e77], pc=(PC_RAM, 0))
seed("jump-ram", [0x4ed2], ram=[0x2010, 0x4e71, 0x4ef9, 0x0000, 0x0400],
     regs={A2: (RAM, 0)})

# Trace on, interrupts pending above and below the mask.
seed("trace", basic + div, t=True, mask=2, pending=0x80 | 0x08 | 0x02, calls=8)

# Code in the six-byte region: an immediate whose last word lies past its end.
seed("tiny-region", [], tiny=[0x4e71, 0x203c, 0x1234], pc=(PC_TINY, 0))
seed("tiny-run-off", [], tiny=[0x4e71, 0x4e71, 0x4e71], pc=(PC_TINY, 0))

# STOP with and without pending requests; RESET with and without a callback.
seed("stop", [0x4e71, 0x4e72, 0x2100, 0x4e71], pending=0x40, calls=3)
seed("reset-callback", [0x4e70, 0x4e71, 0x4e70, bra_back(3)])
seed("reset-null", [0x4e71, 0x4e70], reset_handler=False)

# Odd PC and vectors, top-byte addresses.
seed("odd", [0x4e71, 0x4afc, 0xa000, 0xf000, 0x4e40], odd_vectors=True, pc=(PC_RAW, 0x0405))

rng = random.Random(68000)
for i in range(4):
    code = [rng.randrange(0x10000) for _ in range(0x200)]
    ram = [rng.randrange(0x10000) for _ in range(0x400)]
    regs = {r: (rng.randrange(8), rng.randrange(0x10000)) for r in range(17)}
    seed("random-%d" % i, code, ram=ram, s=bool(i & 1), mask=rng.randrange(8),
         pending=rng.randrange(256) & 0xfe, hseed=rng.randrange(1 << 32), regs=regs,
         odd_vectors=bool(i & 2), calls=8)
