#!/usr/bin/env python3
"""Fails when the program's library targets depend on each other in a cycle.

Usage: check-graph.py BUILD_DIR. Asks CMake for the target graph of the
configured build (cmake --graphviz) and looks for a cycle among the sb_*
libraries, which static linking would otherwise hide.
"""
import os
import re
import subprocess
import sys
import tempfile


def target_graph(build):
    with tempfile.TemporaryDirectory() as work:
        dot = os.path.join(work, "targets.dot")
        subprocess.run(["cmake", f"--graphviz={dot}", "."], cwd=build, check=True,
                       stdout=subprocess.DEVNULL)
        text = open(dot).read()
    names = dict(re.findall(r'"(node\d+)"\s*\[\s*label\s*=\s*"([^"]+)"', text))
    graph = {}
    for source, target in re.findall(r'"(node\d+)"\s*->\s*"(node\d+)"', text):
        a, b = names.get(source, ""), names.get(target, "")
        if a.startswith("sb_") and b.startswith("sb_"):
            graph.setdefault(a, set()).add(b)
            graph.setdefault(b, set())
    return graph


def find_cycle(graph):
    state = {}  # 1 on the path, 2 done
    path = []

    def visit(node):
        state[node] = 1
        path.append(node)
        for nxt in sorted(graph[node]):
            if state.get(nxt) == 1:
                return path[path.index(nxt):] + [nxt]
            if nxt not in state:
                found = visit(nxt)
                if found:
                    return found
        path.pop()
        state[node] = 2
        return None

    for node in sorted(graph):
        if node not in state:
            found = visit(node)
            if found:
                return found
    return None


def main():
    graph = target_graph(sys.argv[1] if len(sys.argv) > 1 else "build")
    if not graph:
        print("check-graph: no sb_* library targets found", file=sys.stderr)
        return 1
    cycle = find_cycle(graph)
    if cycle:
        print("check-graph: library cycle: " + " -> ".join(cycle), file=sys.stderr)
        return 1
    print(f"check-graph: {len(graph)} libraries, no cycle")
    return 0


if __name__ == "__main__":
    sys.exit(main())
