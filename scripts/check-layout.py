#!/usr/bin/env python3
"""Checks the source layout: no product file over the line limit, no two
folders that include each other (directly or through others), and no include
circle between the units (a .cpp with its header) of one folder tree.

    check-layout.py ROOT            exit 1 and a line per fault
    check-layout.py ROOT --graph    also print the folder graph

Includes are resolved by file name, as the build's include folders are flat;
a name no product file has (a Qt or generated header) is left out.
"""
import os
import re
import sys

PRODUCT = ["app", "dicom", "extrout", "speech", "support", "tools"]
# Units of these trees must not include each other in a circle.
UNIT_TREES = ["speech"]
MAX_LINES = 600
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def product_files(root):
    for top in PRODUCT:
        for folder, dirs, files in os.walk(os.path.join(root, top)):
            dirs.sort()
            for name in sorted(files):
                if name.endswith((".cpp", ".h", ".c")):
                    yield os.path.relpath(os.path.join(folder, name), root)


def strongly_connected(nodes, edges):
    """Tarjan's components with more than one node, or a node on itself."""
    index, low, stack, on, out = {}, {}, [], set(), []
    counter = [0]

    def visit(v):
        index[v] = low[v] = counter[0]
        counter[0] += 1
        stack.append(v)
        on.add(v)
        for w in sorted(edges.get(v, ())):
            if w not in index:
                visit(w)
                low[v] = min(low[v], low[w])
            elif w in on:
                low[v] = min(low[v], index[w])
        if low[v] == index[v]:
            comp = []
            while True:
                w = stack.pop()
                on.discard(w)
                comp.append(w)
                if w == v:
                    break
            if len(comp) > 1:
                out.append(sorted(comp))

    sys.setrecursionlimit(10000)
    for v in sorted(nodes):
        if v not in index:
            visit(v)
    return out


def main(argv):
    if len(argv) < 2:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    root = argv[1]
    files = list(product_files(root))
    by_name = {}
    for f in files:
        by_name.setdefault(os.path.basename(f), []).append(f)
    faults = []
    for name, where in sorted(by_name.items()):
        if name.endswith(".h") and len(where) > 1:
            faults.append(f"header name used twice: {', '.join(where)}")

    includes = {}
    for f in files:
        with open(os.path.join(root, f), encoding="utf-8", errors="replace") as fh:
            text = fh.read()
        lines = text.count("\n")
        if lines > MAX_LINES:
            faults.append(f"{f}: {lines} lines (at most {MAX_LINES})")
        targets = []
        for inc in INCLUDE.findall(text):
            hits = by_name.get(os.path.basename(inc), [])
            if len(hits) == 1 and hits[0] != f:
                targets.append(hits[0])
        includes[f] = targets

    folder_edges = {}
    for f, targets in includes.items():
        for t in targets:
            a, b = os.path.dirname(f), os.path.dirname(t)
            if a != b:
                folder_edges.setdefault(a, set()).add(b)
    folders = set(folder_edges) | {b for s in folder_edges.values() for b in s}
    for comp in strongly_connected(folders, folder_edges):
        faults.append("folders include each other: " + " <-> ".join(comp))

    def unit(path):
        return os.path.splitext(path)[0]

    unit_edges = {}
    for f, targets in includes.items():
        if f.split(os.sep)[0] not in UNIT_TREES:
            continue
        for t in targets:
            if t.split(os.sep)[0] in UNIT_TREES and unit(t) != unit(f):
                unit_edges.setdefault(unit(f), set()).add(unit(t))
    units = set(unit_edges) | {b for s in unit_edges.values() for b in s}
    for comp in strongly_connected(units, unit_edges):
        faults.append("units in an include circle: " + " -> ".join(comp))

    if "--graph" in argv:
        for a in sorted(folder_edges):
            print(f"{a} -> {', '.join(sorted(folder_edges[a]))}")
    for fault in faults:
        print(fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
