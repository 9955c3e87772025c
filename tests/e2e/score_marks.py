#!/usr/bin/python3
"""Reads a picture of the editor (a binary PGM on standard input, ink black and the rest
white) and prints the marks of the first track's grand staff that the tests compare with the
column grid, one per line:
  staff TOP BOTTOM   rows of its top and bottom staff line
  bar X              each bar line: a pixel column inked over the whole grand staff
  head X Y           each filled note head with a stem: the centre of its solid core
Dots (augmentation or staccato), rests, ledger lines, accidentals and text have no solid
block of a head's size or no stem beside it, so they are not taken for heads.
"""
import sys

import numpy as np

STAFF_SHARE = 0.5      # a staff line is inked over at least this share of the width
STAFF_LINES = 10       # the treble and the bass staff of a track
CORE_W, CORE_H = 5, 3  # a filled head holds a solid block this size; a 3 x 3 dot does not
STEM_MIN = 15          # the shortest vertical run of ink that counts as a stem
STEM_REACH = 6         # a stem stands at most this far left or right of its head's centre
LEDGER_REACH = 30      # heads are looked for this far above and below the grand staff


def read_pgm(data):
    """The ink of a binary PGM as a boolean array [row, column]."""
    fields, pos = [], 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        end = pos
        while end < len(data) and not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    if fields[0] != b"P5":
        sys.exit("not a binary PGM")
    w, h = int(fields[1]), int(fields[2])
    grey = np.frombuffer(data, np.uint8, w * h, pos + 1).reshape(h, w)
    return grey == 0


def staff_rows(ink):
    lines = np.flatnonzero(ink.sum(axis=1) >= STAFF_SHARE * ink.shape[1])
    if len(lines) < STAFF_LINES:
        sys.exit("no grand staff in the picture")
    return lines[0], lines[STAFF_LINES - 1]


def bar_columns(ink, top, bottom):
    return np.flatnonzero(ink[top:bottom + 1].all(axis=0))


def solid_cores(ink):
    """Where a CORE_W x CORE_H block of ink has its top left corner."""
    h, w = ink.shape
    core = np.ones((h - CORE_H + 1, w - CORE_W + 1), bool)
    for dy in range(CORE_H):
        for dx in range(CORE_W):
            core &= ink[dy:h - CORE_H + 1 + dy, dx:w - CORE_W + 1 + dx]
    return core


def blobs(mask):
    """The 8-connected groups of set cells of mask, as lists of (row, column)."""
    todo = set(zip(*np.nonzero(mask)))
    groups = []
    while todo:
        stack, group = [todo.pop()], []
        while stack:
            y, x = stack.pop()
            group.append((y, x))
            for cell in [(y + dy, x + dx) for dy in (-1, 0, 1) for dx in (-1, 0, 1)]:
                if cell in todo:
                    todo.remove(cell)
                    stack.append(cell)
        groups.append(group)
    return groups


def longest_run(column):
    best = run = 0
    for inked in column:
        run = run + 1 if inked else 0
        best = max(best, run)
    return best


def has_stem(ink, x, y):
    rows = ink[max(0, y - 2 * STEM_MIN):y + 2 * STEM_MIN]
    return any(longest_run(rows[:, c]) >= STEM_MIN
               for c in range(max(0, x - STEM_REACH), min(ink.shape[1], x + STEM_REACH + 1)))


def heads(ink, top, bottom):
    first = max(0, top - LEDGER_REACH)
    band = ink[first:bottom + LEDGER_REACH]
    found = []
    for group in blobs(solid_cores(band)):
        y = first + round(np.mean([c[0] for c in group])) + CORE_H // 2
        x = round(np.mean([c[1] for c in group])) + CORE_W // 2
        if has_stem(ink, x, y):
            found.append((x, y))
    return sorted(found)


def main():
    ink = read_pgm(sys.stdin.buffer.read())
    top, bottom = staff_rows(ink)
    print("staff", top, bottom)
    for x in bar_columns(ink, top, bottom):
        print("bar", x)
    for x, y in heads(ink, top, bottom):
        print("head", x, y)


if __name__ == "__main__":
    main()
