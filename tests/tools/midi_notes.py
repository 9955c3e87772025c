#!/usr/bin/python3
"""Independent reader for the file tests: reads a Standard MIDI File with mido.

  midi_notes.py notes FILE   one line per note: "channel key start end velocity" in absolute
                             ticks (note-ons paired first-in first-out per channel and key),
                             then a line "division N".
  midi_notes.py counts FILE...  for each file a line "== FILE", then per channel, the number of notes formed the way a score importer
                             pairs them: within one track chunk a note-off ends the earliest
                             pending note-on of its key on any channel, and the note belongs to
                             the note-off's channel; note-ons never switched off are dropped.
"""
import sys
from collections import defaultdict, deque

import mido


def is_off(msg):
    return msg.type == 'note_off' or (msg.type == 'note_on' and msg.velocity == 0)


def notes(mid):
    out = []
    for track in mid.tracks:
        t = 0
        pending = defaultdict(deque)
        for msg in track:
            t += msg.time
            if msg.type == 'note_on' and msg.velocity > 0:
                pending[(msg.channel, msg.note)].append((t, msg.velocity))
            elif is_off(msg) and pending[(msg.channel, msg.note)]:
                start, vel = pending[(msg.channel, msg.note)].popleft()
                out.append((msg.channel, msg.note, start, t, vel))
    for n in sorted(out):
        print(*n)
    print('division', mid.ticks_per_beat)


def counts(mid):
    total = defaultdict(int)
    for track in mid.tracks:
        pending = defaultdict(int)
        for msg in track:
            if msg.type == 'note_on' and msg.velocity > 0:
                pending[msg.note] += 1
            elif is_off(msg) and pending[msg.note] > 0:
                pending[msg.note] -= 1
                total[msg.channel] += 1
    for ch in sorted(total):
        print(ch, total[ch])


def main():
    if sys.argv[1] == 'notes':
        notes(mido.MidiFile(sys.argv[2]))
        return
    for name in sys.argv[2:]:
        print('==', name)
        counts(mido.MidiFile(name))


if __name__ == '__main__':
    main()
