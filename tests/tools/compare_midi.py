#!/usr/bin/python3
"""Independent comparison of two Standard MIDI Files with mido, in quarter notes.

  compare_midi.py [--onset-ticks N] [--length-ticks L] A.mid B.mid
  compare_midi.py --keys-only A.mid B.mid

Every note of every track and channel (note-ons paired first-in first-out per channel and key)
becomes (key, onset, length) in quarter notes. The files match when each note of A has a note
of B with the same key whose onset lies within N score ticks (192 to the quarter; default 0.5,
that is the same onset) and whose length is within 1 % or L score ticks (default 1: MuseScore
ends every note one of its own ticks early), and B has no note left over.

Unisons that overlap in one track cannot be told apart on a MIDI channel, and the two writers
render them differently (plinkel ends the sounding note where the same key strikes again,
MuseScore keeps one note sounding). Notes left unmatched or of a different length are therefore
compared once more, key by key, by the time their key sounds: the union of their intervals
(gaps up to one score tick closed). Prints a summary; exit 1 on a difference.

With --keys-only, the files match when every key sounds as many notes in both, wherever.
"""
import sys
from collections import defaultdict, deque

import mido

SCORE_TICKS = 192.0
length_ticks = 1.0


def is_off(msg):
    return msg.type == 'note_off' or (msg.type == 'note_on' and msg.velocity == 0)


def notes_of(path):
    mid = mido.MidiFile(path)
    per_key = defaultdict(list)
    q = float(mid.ticks_per_beat)
    for track in mid.tracks:
        t = 0
        pending = defaultdict(deque)
        for msg in track:
            t += msg.time
            if msg.type == 'note_on' and msg.velocity > 0:
                pending[(msg.channel, msg.note)].append(t)
            elif is_off(msg) and pending[(msg.channel, msg.note)]:
                start = pending[(msg.channel, msg.note)].popleft()
                per_key[msg.note].append((start / q, (t - start) / q))
    for k in per_key:
        per_key[k].sort()
    return per_key


def length_ok(a, b):
    return abs(a - b) <= max(0.01 * max(a, b), length_ticks / SCORE_TICKS + 1e-9)


def sounding(notes):
    spans = []
    for onset, length in sorted(notes):
        end = onset + length
        if spans and onset <= spans[-1][1] + 1.0 / SCORE_TICKS + 1e-9:
            spans[-1][1] = max(spans[-1][1], end)
        else:
            spans.append([onset, end])
    return spans


def same_sounding(left, right, onset_tol):
    """Keys whose leftover notes do not sound for the same time in both files."""
    bad = []
    for key in sorted(set(left) | set(right)):
        x, y = sounding(left.get(key, [])), sounding(right.get(key, []))
        if len(x) != len(y) or any(abs(p[0] - q[0]) > onset_tol or
                                   not length_ok(p[1] - p[0], q[1] - q[0]) for p, q in zip(x, y)):
            bad.append(key)
    return bad


def compare(a, b, onset_tol):
    missing, extra, lengths, total = [], [], [], 0
    for key in sorted(set(a) | set(b)):
        left, right = a.get(key, []), list(b.get(key, []))
        used = [False] * len(right)
        j0 = 0
        for onset, length in left:
            total += 1
            while j0 < len(right) and right[j0][0] < onset - onset_tol:
                j0 += 1
            j, hit = j0, -1
            while j < len(right) and right[j][0] <= onset + onset_tol:
                if not used[j] and (hit < 0 or length_ok(length, right[j][1])):
                    hit = j
                    if length_ok(length, right[j][1]):
                        break
                j += 1
            if hit < 0:
                missing.append((key, onset, length))
                continue
            used[hit] = True
            if not length_ok(length, right[hit][1]):
                lengths.append((key, onset, length, right[hit][1]))
        extra += [(key,) + right[j] for j in range(len(right)) if not used[j]]
    return total, missing, extra, lengths


def same_keys(a, b):
    counts = lambda notes: {k: len(v) for k, v in notes.items() if v}
    left, right = counts(a), counts(b)
    bad = sorted(k for k in set(left) | set(right) if left.get(k) != right.get(k))
    print('%d notes; keys sounding a different number of notes: %s' %
          (sum(left.values()), ', '.join('%d (%d/%d)' % (k, left.get(k, 0), right.get(k, 0))
                                         for k in bad) or 'none'))
    sys.exit(1 if bad else 0)


def main():
    global length_ticks
    args = sys.argv[1:]
    if args[0] == '--keys-only':
        same_keys(notes_of(args[1]), notes_of(args[2]))
    onset_ticks = 0.5
    while args[0] in ('--onset-ticks', '--length-ticks'):
        if args[0] == '--onset-ticks':
            onset_ticks = float(args[1])
        else:
            length_ticks = float(args[1])
        args = args[2:]
    total, missing, extra, lengths = compare(notes_of(args[0]), notes_of(args[1]),
                                             onset_ticks / SCORE_TICKS)
    left, right = defaultdict(list), defaultdict(list)
    for key, onset, length in missing:
        left[key].append((onset, length))
    for key, onset, length in extra:
        right[key].append((onset, length))
    for key, onset, length, other in lengths:
        left[key].append((onset, length))
        right[key].append((onset, other))
    bad = same_sounding(left, right, onset_ticks / SCORE_TICKS)
    print('%d notes, %d missing, %d extra, %d lengths differ; keys sounding differently: %s' %
          (total, len(missing), len(extra), len(lengths), bad or 'none'))
    for what, items in (('missing', missing), ('extra', extra), ('length', lengths)):
        for it in [i for i in items if i[0] in bad][:5]:
            print(' ', what, ' '.join('%g' % v for v in it))
    sys.exit(1 if bad else 0)


if __name__ == '__main__':
    main()
