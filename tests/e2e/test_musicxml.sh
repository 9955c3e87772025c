#!/bin/bash
# Scores travel to and from MuseScore 3 through plinkel-convert's MusicXML: MuseScore plays our
# MusicXML with the notes of our own MIDI export, we play MuseScore's MusicXML with the notes of
# its MIDI export, .seq -> .musicxml -> .seq keeps every note, one small file per feature of
# real scores plays as MuseScore plays it, and hostile files are refused within bounds.
# MuseScore starts slowly, so its conversions run as two batch jobs.
set -euo pipefail
conv="${PLINKEL_PREFIX:?}/bin/plinkel-convert"
tools="${PLINKEL_SOURCE_DIR:?}/tests/tools"
songs_dir=/usr/share/games/openttd/baseset/openmsx
features_dir="$PLINKEL_SOURCE_DIR/tests/data/musicxml"
# A subset of the real songs (overlapping unisons, drums, staves needing more than four voices,
# both directions) keeps the run near two minutes on a busy machine; MUSICXML_SONGS names others.
songs=${MUSICXML_SONGS:-"coconut_run2 train_filled_with_cash 5432gone_redfarn tttheme2"}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
unset DISPLAY
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work"
command -v mscore3 >/dev/null || { echo "FAIL: mscore3 missing (scripts/deps.sh test)"; exit 1; }
fails=0
passes=0
check() {
    if "$@"; then passes=$((passes + 1)); else echo "FAILED: $*"; fails=$((fails + 1)); fi
}

# Generated scores: chords, voices, ties across bar lines, dotted and triplet values, odd
# lengths, double accidentals, key, time and tempo changes, two tracks.
cat > gen1.seq <<'SEQ'
vudiz 25
tempo 96
num_track 2
track 0 0 0 -1
track 1 1 33 -1
m 0 4 4
n 0 0 0 192 0 127
n 0 2 0 192 0 100
n 192 4 1 240 0 100
n 480 -3 0 1152 1 90
n 0 -10 -1 128 1 90
n 128 -10 -1 128 1 90
n 256 -9 0 128 1 90
n 576 8 2 98 0 80
m -2 3 4
n 96 6 -1 96 0 127
n 100 1 0 767 0 60
t 288 72
m 3 6 8
n 0 5 0 50 0 127
n 96 -7 0 130 1 127
m 0 5 4
n 0 0 0 960 1 127
SEQ
check "$conv" gen1.seq gen1.musicxml
check "$conv" gen1.seq gen1.pl.mid

for s in $songs; do
    check "$conv" --grid 48 "$songs_dir/$s.mid" "$s.seq"
    check "$conv" "$s.seq" "$s.musicxml"
    check "$conv" "$s.seq" "$s.pl.mid"
done

# One batch: MuseScore plays our files, and writes MusicXML of the original songs.
{
    echo '['
    echo '{"in": "gen1.musicxml", "out": "gen1.ms.mid"}'
    for s in $songs; do
        echo ",{\"in\": \"$s.musicxml\", \"out\": \"$s.ms.mid\"}"
        echo ",{\"in\": \"$songs_dir/$s.mid\", \"out\": \"$s.ms.musicxml\"}"
    done
    for f in "$features_dir"/*.musicxml; do
        echo ",{\"in\": \"$f\", \"out\": \"$(basename "$f" .musicxml).ms.mid\"}"
    done
    echo ']'
} > job1.json
check nice mscore3 -j job1.json > job1.log 2>&1
# MuseScore reports no error while reading any of our files (it does on some of its own, and on
# the feature files, which hold no instrument and some details out of range).
errors_reading_ours=$(awk '/^convert </ { ours = ($0 ~ /\.musicxml>/ && !index($0, "/tests/data/")) }
    ours && /[Ee]rror/' job1.log)
check test -z "$errors_reading_ours"

for name in gen1 $songs; do
    echo "== $name: MuseScore plays our MusicXML"
    check /usr/bin/python3 "$tools/compare_midi.py" "$name.pl.mid" "$name.ms.mid"
done

# The files of one feature each, as MuseScore and we play them. "notes": the same notes (ties,
# keys beyond seven accidentals, two-note tremolos exactly; grace notes of half their principal
# within a tick, as MuseScore's slashed grace is not quite a 32nd; single-note tremolos within
# 4 ticks, as MuseScore places its repeated notes in thousandths of the note and they drift)
# and every key as many of them. "keys": where MuseScore plays a feature its own way, every key
# must still sound as many notes: it spreads grace notes evenly over half their principal
# whatever their written values, shortens a tie continued after a grace note, and places
# tuplet notes by the file's rounded durations. "sounding": MuseScore joins no tie written
# without a tied notation, so only the time each key sounds is compared. It sounds an unpitched
# note without a display position on key 0 and details out of range as best it can: those two
# files are left to the unit tests.
feature() { # name, mode, options of compare_midi.py
    local name=$1 mode=$2
    shift 2
    echo "== $name: a feature file"
    check "$conv" "$features_dir/$name.musicxml" "$name.pl.mid"
    if [ "$mode" != keys ]; then
        check /usr/bin/python3 "$tools/compare_midi.py" "$@" "$name.pl.mid" "$name.ms.mid"
    fi
    if [ "$mode" != sounding ]; then
        check /usr/bin/python3 "$tools/compare_midi.py" --keys-only "$name.pl.mid" "$name.ms.mid"
    fi
}
for name in tie_bar_lines_and_time_changes tie_notations_and_chords tie_unmatched \
    tie_voices_and_staves key_beyond_seven tremolo_two_notes; do
    feature "$name" notes
done
feature grace_notes notes --onset-ticks 1
feature tremolo_single notes --onset-ticks 4
feature tie_elements_only sounding
for name in grace_notes_written_values tie_over_grace_note tuplets_nested_and_rounded; do
    feature "$name" keys
done

# Second batch: MuseScore's own MIDI of its MusicXML, against what we make of that file.
{
    echo '['
    first=1
    for s in $songs; do
        [ $first = 1 ] || echo ','
        first=0
        echo "{\"in\": \"$s.ms.musicxml\", \"out\": \"$s.ref.mid\"}"
    done
    echo ']'
} > job2.json
check nice mscore3 -j job2.json > job2.log 2>&1
for s in $songs; do
    echo "== $s: we play MuseScore's MusicXML"
    # MuseScore's MIDI sounds its staccato marks at full length, we sound them half: the
    # comparison is of everything else.
    sed 's#<staccato/>##g' "$s.ms.musicxml" > "$s.plain.musicxml"
    check "$conv" "$s.plain.musicxml" "$s.back.mid"
    # A rounded note starts and ends within half a tick of its place, so its onset lies within
    # a tick and its length within one tick, plus the early end of MuseScore's own MIDI.
    check /usr/bin/python3 "$tools/compare_midi.py" --onset-ticks 1 --length-ticks 1.5 \
        "$s.back.mid" "$s.ref.mid"
done

# .seq -> .musicxml -> .seq: the same measures and notes (position, spelling, whole length
# across ties, track, velocity).
notes_of() { awk '/^m /{m++; print m, $0} /^n /{print m, $0}' "$1" | sort; }
for name in gen1 $songs; do
    check "$conv" "$name.musicxml" "$name.back.seq"
    check test "$(notes_of "$name.seq")" = "$(notes_of "$name.back.seq")"
done

# Hostile files: refused with one line naming the file, or read, within 300 MB of memory;
# no output is left behind on refusal.
/usr/bin/python3 - <<'PY'
open('deep.musicxml', 'w').write('<score-partwise>' + '<a>' * 2000000 + '</score-partwise>')
open('huge.musicxml', 'w').write('<score-partwise><part-list><score-part id="P1"/></part-list>'
    '<part id="P1"><measure><attributes><divisions>1e-300</divisions></attributes><note>'
    '<pitch><step>C</step><octave>4</octave></pitch><duration>1</duration></note></measure>'
    '</part></score-partwise>')
open('long.musicxml', 'w').write('<score-partwise><work><work-title>' + 'x' * (10 << 20) +
    '</work-title></work><part-list><score-part id="P1"/></part-list><part id="P1"><measure>'
    '<note><pitch><step>C</step><octave>4</octave></pitch><duration>1</duration></note>'
    '</measure></part></score-partwise>')
PY
bounded() { (ulimit -v 307200; timeout 60 "$conv" "$@"); }
for f in deep huge; do
    set +e
    err=$(bounded "$f.musicxml" "$f.seq" 2>&1)
    status=$?
    set -e
    check test "$status" = 1
    check grep -q "$f.musicxml" <<<"$err"
    check test ! -e "$f.seq"
done
check bounded long.musicxml long.seq
check grep -q '^n 0 0 0 192' long.seq

echo "$passes passed, $fails failed"
test "$fails" = 0
