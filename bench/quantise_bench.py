#!/usr/bin/python3
# Figures for MIDI import as notation: generates test pieces (clean and performance-like copies)
# and measures MusicXML renderings of MIDI files against the files themselves.
#   generate DIR          pieces DIR/NAME.mid and DIR/NAME.perf.mid
#   accuracy MID XML      share of the notes of MID whose start and length XML notates exactly
#   songs MID XML         elements per sounding note (all, and without whole-measure rests),
#                         share of 64ths or shorter, share of pitched (not channel 10) notes
#                         sounding within a 32nd of the file
#   kinds MID XML...      per sounding note, medians over the pairs: first notes, tied pieces
#                         starting at a bar line and inside a measure, whole-measure rests,
#                         rests of a staff's first voice and of its other voices
import random
import statistics
import sys
import zlib
import xml.etree.ElementTree as ET
from fractions import Fraction

import mido

PPQ = 480
PERCUSSION_CHANNEL = 9
STEPS = {'C': 0, 'D': 2, 'E': 4, 'F': 5, 'G': 7, 'A': 9, 'B': 11}

# Rhythm cells of one beat (quarters); a negative value is a rest.
F = Fraction
CELLS = {
    'straight': [[F(1)], [F(1, 2)] * 2, [F(1, 4)] * 4, [F(1, 2), F(1, 4), F(1, 4)],
                 [F(-1, 2), F(1, 2)], [F(1, 2), F(-1, 2)]],
    'dotted': [[F(3, 4), F(1, 4)], [F(1, 4), F(3, 4)], [F(1)], [F(1, 2)] * 2],
    'triplet': [[F(1, 3)] * 3, [F(2, 3), F(1, 3)], [F(1)], [F(1, 6)] * 6],
}
LONG_CELLS = {'straight': [[F(2)], [F(3, 2), F(1, 2)]], 'dotted': [[F(3, 2), F(1, 2)]],
              'triplet': [[F(2, 3)] * 3]}
KINDS = {'straight': ['straight'], 'dotted': ['straight', 'dotted'], 'triplet': ['triplet'],
         'mixed': ['straight', 'dotted', 'triplet']}


def melody(rng, kind, beats, low, high):
    out, t = [], F(0)
    while t < beats:
        family = rng.choice(KINDS[kind])
        if t + 2 <= beats and rng.random() < 0.2:
            cell = rng.choice(LONG_CELLS[family])
        else:
            cell = rng.choice(CELLS[family])
        for d in cell:
            if d > 0:
                out.append((t, d, [rng.randint(low, high)]))
            t += abs(d)
    return out


def chords(rng, beats):
    out, t = [], F(0)
    while t < beats:
        d = F(rng.choice([1, 2, 2, 4]))
        d = min(d, beats - t)
        root = rng.randint(48, 55)
        out.append((t, d, [root, root + 4, root + 7]))
        t += d
    return out


def write(path, tempo, tracks, perform, rng):
    mid = mido.MidiFile(ticks_per_beat=PPQ)
    meta = mido.MidiTrack([mido.MetaMessage('set_tempo', tempo=mido.bpm2tempo(tempo), time=0),
                           mido.MetaMessage('time_signature', numerator=4, denominator=4, time=0)])
    mid.tracks.append(meta)
    ticks_per_ms = PPQ * tempo / 60000.0
    for ch, notes in enumerate(tracks):
        events = []
        for start, dur, keys in notes:
            for k in keys:
                s, e = start * PPQ, (start + dur) * PPQ
                if perform:
                    s = max(0, s + rng.uniform(-8, 8) * ticks_per_ms)
                    e = s + dur * PPQ * rng.uniform(0.70, 0.95)
                events.append((int(round(s)), 1, k))
                events.append((int(round(e)), 0, k))
        events.sort()
        tr, now = mido.MidiTrack(), 0
        for t, on, k in events:
            tr.append(mido.Message('note_on' if on else 'note_off', channel=ch, note=k,
                                   velocity=80 if on else 0, time=t - now))
            now = t
        mid.tracks.append(tr)
    mid.save(path)


def generate(folder):
    for kind in KINDS:
        for seed in range(3):
            rng = random.Random(zlib.crc32(kind.encode()) + seed)
            beats = 64
            tempo = rng.choice([80, 100, 120, 140])
            tracks = [melody(rng, kind, beats, 64, 79), chords(rng, beats),
                      melody(rng, 'straight', beats, 36, 47)]
            name = '%s/%s%d' % (folder, kind, seed)
            write(name + '.mid', tempo, tracks, False, random.Random(seed))
            write(name + '.perf.mid', tempo, tracks, True, random.Random(seed + 100))


def midi_notes(path, drums=True):
    mid = mido.MidiFile(path)
    out = []
    for tr in mid.tracks:
        t, on = 0, {}
        for m in tr:
            t += m.time
            if m.type == 'note_on' and m.velocity > 0:
                on.setdefault((m.channel, m.note), []).append(t)
            elif m.type in ('note_on', 'note_off') and on.get((m.channel, m.note)):
                s = on[(m.channel, m.note)].pop(0)
                if drums or m.channel != PERCUSSION_CHANNEL:
                    out.append((m.note, F(s, mid.ticks_per_beat), F(t - s, mid.ticks_per_beat)))
    return out


def xml_notes(path):
    """Whole notes (ties joined) as (key, start, length) in quarters, and element statistics."""
    root = ET.parse(path).getroot()
    notes, elements, short, whole_rests = [], 0, 0, 0
    for part in root.iter('part'):
        div, mstart, open_ties, shift = 1, F(0), {}, 0
        for meas in part.iter('measure'):
            t, longest, last_start, rests = mstart, F(0), mstart, []
            for el in meas:
                if el.tag == 'attributes':
                    if el.find('divisions') is not None:
                        div = int(el.find('divisions').text)
                    tr = el.find('transpose')
                    if tr is not None:
                        shift = int(tr.findtext('chromatic', '0')) + 12 * int(
                            tr.findtext('octave-change', '0'))
                elif el.tag in ('backup', 'forward'):
                    d = F(int(el.find('duration').text), div)
                    t += -d if el.tag == 'backup' else d
                elif el.tag == 'note':
                    if el.find('grace') is not None or el.find('duration') is None:
                        continue
                    d = F(int(el.find('duration').text), div)
                    start = last_start if el.find('chord') is not None else t
                    elements += 1
                    short += d <= F(1, 16)
                    if el.find('chord') is None:
                        last_start = t
                        t += d
                    longest = max(longest, t - mstart)
                    p = el.find('pitch')
                    if el.find('rest') is not None:
                        rests.append(d)
                    if p is None:
                        continue
                    key = (12 * (int(p.find('octave').text) + 1) + STEPS[p.find('step').text] +
                           int(float(p.find('alter').text)) if p.find('alter') is not None
                           else 12 * (int(p.find('octave').text) + 1) + STEPS[p.find('step').text])
                    ties = [x.get('type') for x in el.findall('tie')]
                    key += shift
                    k = (key, start)
                    if 'stop' in ties and k in open_ties:
                        i = open_ties.pop(k)
                        notes[i][2] += d
                    else:
                        notes.append([key, start, d])
                        i = len(notes) - 1
                    if 'start' in ties:
                        open_ties[(key, notes[i][1] + notes[i][2])] = i
                longest = max(longest, t - mstart)
            whole_rests += sum(1 for d in rests if d == longest)
            mstart += longest
    return [tuple(n) for n in notes], elements, short, whole_rests


def accuracy(mid, xml):
    truth = midi_notes(mid.replace('.perf.mid', '.mid'))
    got = {}
    for n in xml_notes(xml)[0]:
        got[n] = got.get(n, 0) + 1
    hit = 0
    for n in truth:
        if got.get(n, 0):
            got[n] -= 1
            hit += 1
    print('%.4f %d' % (hit / max(1, len(truth)), len(truth)))


def songs(mid, xml):
    sounding = midi_notes(mid)
    notes, elements, short, whole_rests = xml_notes(xml)
    by_key = {}
    for k, s, _ in notes:
        by_key.setdefault(k, []).append(s)
    for v in by_key.values():
        v.sort()
    near, pitched = 0, midi_notes(mid, drums=False)
    for k, s, _ in pitched:
        near += any(abs(x - s) <= F(1, 8) for x in by_key.get(k, []))
    n = max(1, len(sounding))
    print('%.3f %.3f %.4f %.4f' % (elements / n, (elements - whole_rests) / n,
                                   short / max(1, elements), near / max(1, len(pitched))))


KINDS_OF_ELEMENTS = ['note', 'tie_bar', 'tie_inside', 'rest_whole', 'rest_first', 'rest_other']


def element_kinds(path):
    """Counts of each kind of element of a MusicXML file."""
    count = dict.fromkeys(KINDS_OF_ELEMENTS, 0)
    for part in ET.parse(path).getroot().iter('part'):
        div = 1
        for meas in part.iter('measure'):
            t, longest, items = F(0), F(0), []
            for el in meas:
                if el.tag == 'attributes' and el.find('divisions') is not None:
                    div = int(el.find('divisions').text)
                elif el.tag in ('backup', 'forward'):
                    d = F(int(el.find('duration').text), div)
                    t += -d if el.tag == 'backup' else d
                elif el.tag == 'note' and el.find('grace') is None and \
                        el.find('duration') is not None:
                    d = F(int(el.find('duration').text), div)
                    items.append((el, t, d, el.findtext('staff', '1'), el.findtext('voice', '1')))
                    if el.find('chord') is None:
                        t += d
                    longest = max(longest, t)
            first = {}
            for el, start, d, staff, voice in items:
                first.setdefault(staff, voice)
                if el.find('rest') is not None:
                    kind = 'rest_whole' if d == longest else \
                        'rest_first' if first[staff] == voice else 'rest_other'
                elif 'stop' in [x.get('type') for x in el.findall('tie')]:
                    kind = 'tie_bar' if start == 0 else 'tie_inside'
                else:
                    kind = 'note'
                count[kind] += 1
    return count


def kinds(*pairs):
    rows = []
    for mid, xml in zip(pairs[::2], pairs[1::2]):
        n = max(1, len(midi_notes(mid)))
        rows.append({k: v / n for k, v in element_kinds(xml).items()})
    print(' '.join('%s %.3f' % (k, statistics.median(r[k] for r in rows))
                   for k in KINDS_OF_ELEMENTS))


if __name__ == '__main__':
    {'generate': generate, 'accuracy': accuracy, 'songs': songs,
     'kinds': kinds}[sys.argv[1]](*sys.argv[2:])
