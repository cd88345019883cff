#!/usr/bin/env python3
"""`next` over a C line whose loop runs about 10,000 instructions, by
gdb-multiarch against the GDB server, with range stepping on and off: the
packets GDB sends for the `next` and its wall time, the median of five
sessions each (the modes taking turns).

Usage: next_bench.py [BUILD_DIR]   (default: build)

The program is bench/debugger/stepping, which `make bench` builds into
BUILD_DIR/bench/debugger/stepping (its ELF) and .../stepping/run (its ROM
set). Packets are counted from GDB's `set debug remote 1` lines: a session
with the `next` less the same session without it.
"""
import os
import re
import socket
import statistics
import subprocess
import sys

SOURCE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "stepping", "master.c")
MARK = "the line stepped over"
TIME = re.compile(r"next took ([0-9.]+) s")


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def session(build, line, range_stepping, with_next):
    """Packets GDB sent in the session, and the time of its `next`."""
    program = os.path.join(build, "bench", "debugger", "stepping")
    port = free_port()
    emulator = subprocess.Popen(
        [os.path.join(build, "stonebreaker"), "--headless", "--play", "stepping.drv",
         "--gdb", str(port)], cwd=os.path.join(program, "run"),
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    step = ("python import time; t = time.perf_counter(); gdb.execute('next'); "
            "print('next took %.6f s' % (time.perf_counter() - t))") if with_next else ""
    commands = [
        "set confirm off", f"file {program}/master.elf",
        f"target remote 127.0.0.1:{port}", f"break master.c:{line}", "continue",
        f"set range-stepping {'on' if range_stepping else 'off'}", "set debug remote 1",
        step, "set debug remote 0", "kill"]
    args = ["timeout", "300", "gdb-multiarch", "-batch", "-nx"]
    for c in filter(None, commands):
        args += ["-ex", c]
    out = subprocess.run(args, capture_output=True, text=True)
    emulator.wait(timeout=60)
    match = TIME.search(out.stdout)
    return out.stderr.count("Sending packet:"), float(match.group(1)) if match else 0.0


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build")
    line = next(i for i, text in enumerate(open(SOURCE), 1) if MARK in text)
    base = {mode: session(build, line, mode, False)[0] for mode in (True, False)}
    runs = {True: [], False: []}
    for _ in range(5):
        for mode in (True, False):
            packets, seconds = session(build, line, mode, True)
            runs[mode].append((packets - base[mode], seconds))
    for mode in (True, False):
        packets = [p for p, _ in runs[mode]]
        times = [t for _, t in runs[mode]]
        print(f"range stepping {'on ' if mode else 'off'}: {statistics.median(packets):.0f} packets, "
              f"median {statistics.median(times) * 1000:.1f} ms "
              f"(runs {min(times) * 1000:.1f} .. {max(times) * 1000:.1f} ms)")


if __name__ == "__main__":
    main()
