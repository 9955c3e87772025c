#!/bin/bash
# LilyPond export end to end: seeded random scores (time signatures 2/4 3/4 4/4 6/8 7/8 and
# changes between them, triplets, dotted, tied and odd lengths, chords, several tracks) and the
# real songs of openttd-openmsx imported at grid 48 are written by plinkel-convert and compiled
# by lilypond with no error, failed bar check or broken tie. The songs compile as MIDI-only copies
# (the same music with its \midi block and without the \layout one), which checks every bar as
# strictly in a fraction of the time.
set -euo pipefail
conv="${PLINKEL_PREFIX:?}/bin/plinkel-convert"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
unset DISPLAY
SCORES=${LILYPOND_TEST_SCORES:-24}

command -v lilypond >/dev/null || { echo "lilypond is not installed"; exit 1; }

mkdir gen songs
/usr/bin/python3 - "$SCORES" gen <<'PY'
import random, sys

count, outdir = int(sys.argv[1]), sys.argv[2]
SIGS = [(2, 4), (3, 4), (4, 4), (6, 8), (7, 8)]
PLAIN = [48, 96, 96, 192, 192, 384, 768]
DOTTED = [144, 288, 576]
TIED = [240, 336, 480, 672, 960, 1000, 770, 100]

def voice(rng, end):
    """(start, length) of one line of notes with rests between them, up to end."""
    t, out = 0, []
    while t < end:
        kind = rng.random()
        if kind < 0.15 and t % 192 == 0:  # a triplet group of three
            unit = rng.choice([64, 128])
            for k in range(3):
                out.append((t + k * unit, unit))
            t += 3 * unit
            continue
        pool = PLAIN if kind < 0.6 else DOTTED if kind < 0.8 else TIED
        length = rng.choice(pool)
        if rng.random() < 0.8:
            out.append((t, length))
        t += length
    return out

for seed in range(count):
    rng = random.Random(seed)
    sig = rng.choice(SIGS)
    sigs = [sig if rng.random() < 0.8 else rng.choice(SIGS) for _ in range(rng.randint(4, 9))]
    starts, total = [], 0
    for num, bit in sigs:
        starts.append(total)
        total += num * 768 // bit
    tracks = rng.randint(1, 3)
    notes = []
    for track in range(tracks):
        for v in range(rng.randint(1, 3)):
            base = rng.randint(-18, 14)
            for start, length in voice(rng, total):
                notes.append((start, length, track, base + rng.randint(-4, 4), rng.choice([-1, 0, 0, 1])))
    lines = ["vudiz 25", "tempo 120", "num_track %d" % tracks]
    lines += ["track %d %d 0 -1" % (t, t) for t in range(tracks)]
    for i, (num, bit) in enumerate(sigs):
        lines.append("m 0 %d %d" % (num, bit))
        for start, length, track, pos, acc in sorted(notes):
            if starts[i] <= start < starts[i] + num * 768 // bit:
                lines.append("n %d %d %d %d %d 100" % (start - starts[i], pos, acc, length, track))
    with open("%s/gen%02d.seq" % (outdir, seed), "w") as f:
        f.write("\n".join(lines) + "\n")
PY

fails=0
note_failure() { echo "FAILED: $*"; fails=$((fails + 1)); }

# lilypond over a batch of files; any error or failed bar check fails the batch.
compile() {
    local log=$1
    shift
    if ! nice -n 19 lilypond -dno-print-pages --loglevel=WARNING "$@" >"$log" 2>&1; then
        note_failure "lilypond exit status for $*"
    fi
    if grep -Ei 'error|barcheck failed|unterminated tie' "$log"; then
        note_failure "lilypond reported problems in $*"
    fi
}

for f in gen/*.seq; do
    "$conv" "$f" "${f%.seq}.ly" || note_failure "convert $f"
done
test "$(grep -c '|$' gen/gen00.ly)" -gt 0 || note_failure "no bar checks written"
(cd gen && compile ../gen.log ./*.ly)

mapfile -t songs < <(dpkg -L openttd-openmsx | grep -i '\.mid$' | sort)
test "${#songs[@]}" -ge 20 || note_failure "openttd-openmsx songs missing (${#songs[@]})"
for s in "${songs[@]}"; do
    name=$(basename "$s" .mid)
    "$conv" --grid 48 "$s" "songs/$name.ly" || { note_failure "convert $s"; continue; }
    sed '/^\\layout /,/^}$/d' "songs/$name.ly" >"songs/$name.midi.ly"
    grep -q '^\\midi { }$' "songs/$name.midi.ly" || note_failure "no MIDI-only copy of $name"
done
(cd songs && compile ../songs.log ./*.midi.ly)
test "$(ls songs/*.midi | wc -l)" = "${#songs[@]}" || note_failure "not every song was compiled"

echo "$SCORES generated scores and ${#songs[@]} songs compiled, $fails failures"
test "$fails" = 0
