#!/usr/bin/env python3
"""Checks the include structure of a source tree (default: src/ beside this script).

Every folder under the tree is a layer; a file may include its own folder and the layers below,
never one above it nor a sibling of its own rank. No file may reach itself again through the
includes (a circle between files). Prints every fault found and exits 1 if there was one.
"""
import os
import re
import sys

# The rank of each folder: a file includes only folders of lower rank, or its own.
RANKS = {
    "base": 0,      # clock, string helpers, run-time file lookup
    "model": 1,     # the score
    "playback": 2,  # MIDI output, the player, the synthesiser
    "render": 2,    # the picture
    "files": 3,     # readers and writers (audio export plays through the synthesiser)
    "editor": 4,    # start-up, main loop, note entry
    "gui": 5,       # menus, commands and dialogs
    "convert": 5,   # the command-line converter
    "": 6,          # src/main.cpp, the entry point
}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)
SOURCE_SUFFIXES = (".h", ".hpp", ".c", ".cpp")


def folder_of(rel):
    return os.path.dirname(rel)


def includes_of(root, rel):
    """The tree-relative paths of the files rel includes that exist in the tree."""
    with open(os.path.join(root, rel), encoding="utf-8", errors="replace") as f:
        text = f.read()
    found = []
    for name in INCLUDE.findall(text):
        for candidate in (name, os.path.normpath(os.path.join(folder_of(rel), name))):
            if os.path.isfile(os.path.join(root, candidate)):
                found.append(candidate)
                break
    return found


def source_files(root):
    for folder, _, names in os.walk(root):
        for name in sorted(names):
            if name.endswith(SOURCE_SUFFIXES):
                yield os.path.relpath(os.path.join(folder, name), root)


def layer_faults(graph):
    faults = []
    for rel, targets in sorted(graph.items()):
        here = folder_of(rel)
        if here not in RANKS:
            faults.append(f"{rel}: folder '{here}' has no layer")
            continue
        for target in targets:
            there = folder_of(target)
            if there == here or there not in RANKS:
                continue
            if RANKS[there] >= RANKS[here]:
                faults.append(f"{rel}: includes {target}, which is not below '{here}'")
    return faults


def find_cycle(graph):
    """One circle of includes as a list of files, or None."""
    state = {}  # 1 on the current path, 2 finished
    path = []

    def visit(node):
        state[node] = 1
        path.append(node)
        for nxt in graph.get(node, ()):
            if state.get(nxt) == 1:
                return path[path.index(nxt):] + [nxt]
            if nxt not in state:
                cycle = visit(nxt)
                if cycle:
                    return cycle
        path.pop()
        state[node] = 2
        return None

    for node in sorted(graph):
        if node not in state:
            cycle = visit(node)
            if cycle:
                return cycle
    return None


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    root = argv[1] if len(argv) > 1 else os.path.join(here, "..", "src")
    graph = {rel: includes_of(root, rel) for rel in source_files(root)}
    faults = layer_faults(graph)
    cycle = find_cycle(graph)
    if cycle:
        faults.append("include circle: " + " -> ".join(cycle))
    for fault in faults:
        print(fault)
    if not graph:
        print(f"no sources under {root}")
        return 1
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
