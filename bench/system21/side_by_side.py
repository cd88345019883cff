#!/usr/bin/env python3
"""Frames per second of the demo, this build against another revision, in one run.

Builds system21_bench of a git revision (default: main) in a temporary
worktree's build directory, then runs it and this build's system21_bench in
turn (the order alternating from round to round) on the same ROM set, and
reports both frame rates with rendering on and off, their ratio, and the
rendering time a frame (1/fps on - 1/fps off). With --perf, each program is
also run once under `perf record` and the renderer's share of the samples is
shown.

  bench/system21/side_by_side.py [--rev main] [--rounds 5] [--frames 3000] [--pin 1] [--perf]

The temporary worktree is removed at the end unless --keep is given;
--baseline DIR reuses a build directory kept from an earlier run.
"""
import argparse
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
BENCH = os.path.join("bench", "system21", "system21_bench")
LINE = re.compile(r"rendering (on |off): median (\d+) fps")
RENDERER = re.compile(
    r"\b(convertPalette|convertChunk|chunkDiffers|drawSprites|drawSprite|drawList|drawTile|"
    r"placeAxis|videoWord)\b")


def run(command, **kwargs):
    print("+", " ".join(command), file=sys.stderr)
    return subprocess.run(command, check=True, **kwargs)


def build(source, build_dir):
    if not os.path.exists(os.path.join(build_dir, "build.ninja")):
        run(["cmake", "-S", source, "-B", build_dir, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release",
             "-DSB_TESTS=OFF", "-DSB_BENCH=ON"], stdout=subprocess.DEVNULL)
    run(["cmake", "--build", build_dir, "--target", "system21_bench"], stdout=subprocess.DEVNULL)
    return os.path.join(build_dir, BENCH)


def frame_rates(program, args):
    """(fps rendering on, fps rendering off) of one run of system21_bench."""
    out = subprocess.run(program + args, check=True, capture_output=True, text=True).stdout
    rates = dict((mode.strip(), int(fps)) for mode, fps in LINE.findall(out))
    if set(rates) != {"on", "off"}:
        sys.exit(f"unexpected output of {' '.join(program)}:\n{out}")
    return rates["on"], rates["off"]


def renderer_share(program, args, scratch):
    """Share of perf samples in each of the renderer's functions over a whole
    run, and the fraction of that run spent with rendering on."""
    data = os.path.join(scratch, "perf.data")
    out = subprocess.run(["perf", "record", "-q", "-o", data] + program + args, check=True,
                         capture_output=True, text=True).stdout
    rates = dict((mode.strip(), int(fps)) for mode, fps in LINE.findall(out))
    on_time = 1 / rates["on"] / (1 / rates["on"] + 1 / rates["off"])
    report = subprocess.run(["perf", "report", "-i", data, "--stdio", "--sort", "symbol"],
                            check=True, capture_output=True, text=True).stdout
    share = {}
    for line in report.splitlines():
        m = re.match(r"\s*([\d.]+)%\s+\[\.\]\s+(.*)", line)
        if m and RENDERER.search(m.group(2)):
            name = RENDERER.search(m.group(2)).group(1)
            share[name] = share.get(name, 0.0) + float(m.group(1))
    return share, on_time


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--rev", default="main", help="revision to compare with (default: main)")
    parser.add_argument("--build", default=os.path.join(ROOT, "build"),
                        help="this build's directory (default: build)")
    parser.add_argument("--baseline", help="a build directory of the revision, kept earlier")
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--frames", type=int, default=3000, help="frames a run of the program")
    parser.add_argument("--driver", default="demo.drv")
    parser.add_argument("--pin", help="run the programs on this CPU only (taskset -c)")
    parser.add_argument("--perf", action="store_true", help="renderer's share of perf samples")
    parser.add_argument("--keep", action="store_true", help="keep the temporary worktree")
    options = parser.parse_args()

    current = build(ROOT, options.build)
    run_dir = os.path.join(options.build, "run")
    scratch = tempfile.mkdtemp(prefix="sb-side-by-side-")
    worktree = None
    try:
        if options.baseline:
            baseline = os.path.join(options.baseline, BENCH)
        else:
            worktree = os.path.join(scratch, "src")
            run(["git", "-C", ROOT, "worktree", "add", "--detach", worktree, options.rev],
                stdout=subprocess.DEVNULL)
            baseline = build(worktree, os.path.join(worktree, "build"))
        programs = {options.rev: baseline, "this build": current}
        if options.pin is not None:
            programs = {k: ["taskset", "-c", options.pin, v] for k, v in programs.items()}
        else:
            programs = {k: [v] for k, v in programs.items()}
        args = [str(options.frames), run_dir, options.driver]
        results = {name: [] for name in programs}
        for round_ in range(options.rounds):
            order = list(programs) if round_ % 2 == 0 else list(programs)[::-1]
            for name in order:
                on, off = frame_rates(programs[name], args)
                results[name].append((on, off))
                print(f"round {round_ + 1}: {name:>12}: {on} fps rendering on, {off} off")
        print(f"\n{options.driver}, {options.rounds} rounds of system21_bench {options.frames} "
              "(each figure the median of its 5 runs); the median and the best of the rounds "
              "(the best is the least disturbed by other processes):")
        figures = {}
        for name, rows in results.items():
            for kind, pick in (("median", statistics.median), ("best", max)):
                on, off = pick(r[0] for r in rows), pick(r[1] for r in rows)
                figures[name, kind] = (on, off)
                print(f"  {name:>12}, {kind:>6}: rendering on {on:.0f} fps, off {off:.0f} fps, "
                      f"rendering {1e6 / on - 1e6 / off:.1f} us a frame")
        pairs = list(zip(results[options.rev], results["this build"]))
        print(f"  this build / {options.rev}, median of the rounds' own ratios: "
              f"{statistics.median(n[0] / b[0] for b, n in pairs):.2f} rendering on, "
              f"{statistics.median(n[1] / b[1] for b, n in pairs):.2f} off")
        for kind in ("median", "best"):
            (base_on, base_off), (on, off) = figures[options.rev, kind], figures["this build", kind]
            print(f"  this build / {options.rev}, {kind}: {on / base_on:.2f} rendering on, "
                  f"{off / base_off:.2f} off")
        if options.perf:
            if shutil.which("perf") is None:
                print("perf is not installed: no profile")
            for name, program in programs.items():
                if shutil.which("perf") is None:
                    break
                share, on_time = renderer_share(program, args, scratch)
                total = sum(share.values())
                parts = ", ".join(f"{k} {v:.1f}" for k, v in sorted(share.items()))
                print(f"  {name:>12}: renderer {total:.1f} % of the samples of a whole run "
                      f"({parts}); the run is {100 * on_time:.0f} % rendering on, so about "
                      f"{total / on_time:.0f} % of a frame with rendering")
    finally:
        if worktree and not options.keep:
            run(["git", "-C", ROOT, "worktree", "remove", "--force", worktree])
        if options.keep:
            print(f"kept {scratch}")
        else:
            shutil.rmtree(scratch, ignore_errors=True)


if __name__ == "__main__":
    main()
