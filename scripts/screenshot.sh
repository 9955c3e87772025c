#!/usr/bin/env bash
# Makes the picture that the AppStream metadata shows, assets/screenshot.png: the installed
# editor under Xvfb in a 1280 x 720 window at 32 bits, holding a two-track piece (the "Ode to
# Joy" melody over a bass line, imported from MIDI), saved with F12 and converted to PNG.
# Usage: bash scripts/screenshot.sh PREFIX   (PREFIX: a tree made by cmake --install)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
export PLINKEL_PREFIX=${1:?usage: screenshot.sh PREFIX}
out=$here/assets/screenshot.png
MODE_CONFIG='"untitled" 32 1280 720 0'
SHOT_W=1280
SHOT_H=720
source "$here/tests/e2e/lib.sh"
source "$here/tests/e2e/menu_lib.sh"

# The tune as a Standard MIDI File: melody on channel 0, bass on channel 1, quarters of 480.
write_tune() {
    /usr/bin/python3 - "$1" <<'EOF'
import sys
import mido

Q = 480
melody = (
    "E E F G G F E D C C D E E:3 D:1 D:4 E E F G G F E D C C D E D:3 C:1 C:4 "
    "D D E C D E:1 F:1 E C D E:1 F:1 E D C D G3:4"
)
bass = (
    "C3:4 G2:4 A2:4 E2:4 F2:4 C3:4 G2:8 C3:4 G2:4 A2:4 E2:4 F2:4 G2:4 C3:8 "
    "G2:4 C3:4 G2:4 C3:4 G2:4 A2:4 C3:4 G2:4"
)
names = {"C": 0, "D": 2, "E": 4, "F": 5, "G": 7, "A": 9, "B": 11}


def track(text, octave, channel, program):
    t = mido.MidiTrack([mido.Message("program_change", channel=channel, program=program)])
    for word in text.split():
        note, _, beats = word.partition(":")
        key = names[note[0]] + 12 * (int(note[1:]) + 1 if len(note) > 1 else octave + 1)
        length = int(float(beats or 2) * Q / 2)
        t.append(mido.Message("note_on", channel=channel, note=key, velocity=90, time=0))
        t.append(mido.Message("note_off", channel=channel, note=key, velocity=0, time=length))
    return t


song = mido.MidiFile(ticks_per_beat=Q)
tempo = mido.MidiTrack([mido.MetaMessage("set_tempo", tempo=mido.bpm2tempo(100))])
song.tracks += [tempo, track(melody, 4, 0, 0), track(bass, 3, 1, 32)]
song.save(sys.argv[1])
EOF
}

e2e_init
start_xvfb
sound_config none
write_tune "$RUN_DIR/ode.mid"
printf '%s\n' "$MODE_CONFIG" >"$RUN_DIR/plinkel.cfg"
start_plinkel_with ode.mid
wait_window
shot "$WORK/shot.bmp"
size=$("$IM_CONVERT" "$WORK/shot.bmp" -format '%w %h' info:-)
[ "$size" = "$SHOT_W $SHOT_H" ] || fail "the picture is $size, expected $SHOT_W $SHOT_H"
"$IM_CONVERT" "$WORK/shot.bmp" -strip "$out"
press_until_exit Escape
echo "wrote $out"
