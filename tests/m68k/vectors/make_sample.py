#!/usr/bin/env python3
"""Builds sample.bin: a few single-instruction vectors of every group of the
full set (same file format, records copied unchanged), leaving out the ones
that raise address errors, which the core never does.

    make_sample.py <directory of the full set> [per group] > sample.bin
"""
import os
import struct
import sys

FILE_MAGIC = 0x1A3F5D71


def records(data):
    magic, count = struct.unpack_from('<II', data, 0)
    if magic != FILE_MAGIC:
        raise ValueError('not a vector file')
    pos = 8
    for _ in range(count):
        size = struct.unpack_from('<I', data, pos)[0]
        yield data[pos:pos + size]
        pos += size


def raises_address_error(record):
    # name, two states, then the transactions record
    pos = 8
    for _ in range(3):
        pos += struct.unpack_from('<I', record, pos)[0]
    _, _, _, count = struct.unpack_from('<IIII', record, pos)
    pos += 16
    for _ in range(count):
        kind = record[pos]
        if kind in (4, 5):
            return True
        pos += 5 + (20 if kind else 0)
    return False


def main():
    directory = sys.argv[1]
    per_group = int(sys.argv[2]) if len(sys.argv) > 2 else 4
    chosen = []
    for name in sorted(os.listdir(directory)):
        if not name.endswith('.bin'):
            continue
        with open(os.path.join(directory, name), 'rb') as f:
            usable = [r for r in records(f.read()) if not raises_address_error(r)]
        step = max(1, len(usable) // per_group)
        chosen += usable[::step][:per_group]
    out = sys.stdout.buffer
    out.write(struct.pack('<II', FILE_MAGIC, len(chosen)))
    for record in chosen:
        out.write(record)


if __name__ == '__main__':
    main()
