#!/usr/bin/python3
"""Writes hostile score files just under 1 MB into a directory: the worst cases the .seq reader
and the MIDI importer must load or refuse in bounded time and memory (long notes over tiny
measures, many elements at one tick, many tracks, many measures, long tempo runs, deep
running-status chains). Usage: worst_cases.py DIR"""
import os
import struct
import sys

BUDGET = 1000000 - 1024
SEQ_HEAD = "vudiz 25\ntempo 120\nnum_track 32\n" + "".join(
    "track %d %d 0 -1\n" % (t, t % 16) for t in range(32))


def fill(head, item, budget, tail=None):
    """head, then item(0), item(1), ... as long as the whole stays within budget, then tail."""
    tail = head[:0] if tail is None else tail
    parts, size, i = [head], len(head) + len(tail), 0
    while True:
        piece = item(i)
        if size + len(piece) > budget:
            break
        parts.append(piece)
        size += len(piece)
        i += 1
    parts.append(tail)
    return parts[0][:0].join(parts)


def write_seq(out, name, head, item, budget=BUDGET):
    with open(os.path.join(out, name + ".seq"), "w") as f:
        f.write(fill(SEQ_HEAD + head, item, budget))


def seq_cases(out):
    n = "n %d %d 0 %d %d 127\n"
    write_seq(out, "seq_long_notes_tiny_measures", "m 0 1 768\n",
              lambda i: n % (0, i % 40, 32767, i % 32))
    write_seq(out, "seq_long_notes_1_32_near_limit", "m 0 1 32\n",
              lambda i: n % (0, i % 40, 32767, i % 32), budget=14000)
    write_seq(out, "seq_long_notes_4_4", "m 0 4 4\n", lambda i: n % (0, i % 40, 32767, i % 32))
    write_seq(out, "seq_tempo_one_tick", "m 0 4 4\n", lambda i: "t 0 120\n")
    write_seq(out, "seq_tempo_run_backwards", "m 0 170 4\n",
              lambda i: "t %d %d\n" % (32000 - i % 32000, 60 + i % 100))
    write_seq(out, "seq_notes_one_tick", "m 0 4 4\n",
              lambda i: n % (0, 30 - i % 60, 192, i % 32))
    write_seq(out, "seq_notes_one_tick_one_track", "m 0 4 4\n",
              lambda i: n % (0, 30 - i % 60, 240, 0))
    write_seq(out, "seq_many_measures", "", lambda i: "m 0 4 4\n")
    write_seq(out, "seq_measures_near_limit_32_tracks", "",
              lambda i: "m 0 7 8\nn 3 0 0 5 %d 1\n" % (i % 32), budget=19990 * 21)
    write_seq(out, "seq_odd_lengths", "m 0 170 4\n",
              lambda i: n % (i % 32000, i % 50, 1 + i % 700, i % 32))
    write_seq(out, "seq_odd_measures", "m 0 7 1024\n",
              lambda i: n % (i % 5, i % 50, 1 + (i * 7919) % 32767, i % 32), budget=40000)
    write_seq(out, "seq_overlapping_voices", "m 0 170 4\n",
              lambda i: n % ((i * 7) % 32000, i % 50, 3 + (i * 13) % 3000, i % 32))
    write_seq(out, "seq_dense_voices_one_track", "m 0 170 4\n",
              lambda i: n % ((i * 37) % 32000, i % 60 - 30, 1 + (i * 7919) % 32767, 0))
    write_seq(out, "seq_long_lines", "m 0 4 4\n", lambda i: "x" + " 1" * 400 + "\n")


def vlq(v):
    out = [v & 0x7F]
    v >>= 7
    while v:
        out.append(0x80 | (v & 0x7F))
        v >>= 7
    return bytes(reversed(out))


END = b"\x00\xff\x2f\x00"
TEMPO = b"\xff\x51\x03\x07\xa1\x20"


def sig(num, power):
    return b"\xff\x58\x04" + bytes([num, power, 24, 8])


def write_smf(out, name, tracks, fmt=0, division=96):
    data = b"MThd" + struct.pack(">IHHH", 6, fmt, len(tracks), division)
    for t in tracks:
        data += b"MTrk" + struct.pack(">I", len(t)) + t
    with open(os.path.join(out, name + ".mid"), "wb") as f:
        f.write(data)


def one_track(head, item, budget=BUDGET - 100):
    return [fill(head, item, budget, END)]


def note(delta, key, length, channel=0):
    return (vlq(delta) + bytes([0x90 | channel, key, 100]) + vlq(length) +
            bytes([0x80 | channel, key, 0]))


def midi_cases(out):
    write_smf(out, "mid_tempo_one_tick", one_track(b"", lambda i: b"\x00" + TEMPO))
    write_smf(out, "mid_tempo_run", one_track(b"", lambda i: b"\x01" + TEMPO), division=960)
    write_smf(out, "mid_notes_one_tick", one_track(b"", lambda i: note(0, i % 128, 0)))
    write_smf(out, "mid_running_status_one_tick",
              one_track(b"\x00\x90\x3c\x40", lambda i: bytes([0, i % 128, (i % 2) * 64])))
    write_smf(out, "mid_running_status_run",
              one_track(b"\x00\x90\x3c\x40", lambda i: bytes([1, i % 128, (i % 2) * 64])),
              division=24)
    write_smf(out, "mid_running_status_never_off",
              one_track(b"\x00\x90\x3c\x40", lambda i: bytes([0, i % 128, 64])))
    write_smf(out, "mid_long_notes_tiny_measures",
              one_track(b"\x00" + sig(1, 5), lambda i: note(0, i % 128, 0x0FFFFFFF)), division=1)
    chord_on = b"".join(bytes([0, 0x90 | c, k, 100]) for c in range(4) for k in range(128))
    chord_off = b"".join(bytes([0, 0x80 | c, k, 0]) for c in range(4) for k in range(128))
    write_smf(out, "mid_long_notes_near_limit",
              [b"\x00" + sig(1, 5) + chord_on + vlq(170) + chord_off[1:] + END], division=1)
    write_smf(out, "mid_many_measures",
              one_track(b"", lambda i: note(0x3fff, 60, 96)), division=96)
    write_smf(out, "mid_measures_near_limit",
              one_track(b"", lambda i: note(384 - 48, 60, 48), budget=19900 * 9), division=96)
    per_track = (BUDGET - 200) // 32
    write_smf(out, "mid_many_tracks",
              [fill(b"", lambda i: b"\x00" + TEMPO, per_track, END)] +
              [fill(b"", lambda i, t=t: note(16, i % 128, 8, t % 16), per_track, END)
               for t in range(31)], fmt=1)
    write_smf(out, "mid_time_signature_flips",
              one_track(b"", lambda i: b"\x00" + sig(1 + i % 20, 5 - i % 4) + note(0, 60, 400)),
              division=1)
    write_smf(out, "mid_sysex", one_track(b"", lambda i: b"\x00\xf0\x05\x01\x02\x03\x04\xf7"))
    write_smf(out, "mid_pending_then_off",
              one_track(b"", lambda i: bytes([0, 0x90, i % 128, 100]) if i < 120000 else
                        bytes([0, 0x80, i % 128, 0])))


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    seq_cases(out)
    midi_cases(out)


if __name__ == "__main__":
    main()
