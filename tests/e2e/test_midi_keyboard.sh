#!/bin/bash
# A MIDI keyboard: without any MIDI system the editor starts and says why once; with a JACK
# server (its dummy backend, private to this test) a keyboard port appearing after start-up is
# linked by itself (only the source midi_in_source names), and the keys played on it
# (overlapping keys, the sustain pedal, a note-on of velocity 0, a clock byte) reach the MIDI
# output at once; in note input mode keys held together enter one chord at the caret and the
# next key the note after it.
source "$PLINKEL_E2E_LIB"
source "$(dirname "${BASH_SOURCE[0]}")/menu_lib.sh"
source "$(dirname "${BASH_SOURCE[0]}")/dialog_lib.sh"
e2e_init
start_xvfb
sound_config capture

PY=/usr/bin/python3
JACKD_PID=""
export JACK_DEFAULT_SERVER="plinkel-e2e-$$"
JACK_SOCKET="/dev/shm/jack-$(id -u)/$JACK_DEFAULT_SERVER/jack_0"

# The program goes first: it must not lose its JACK server while it runs.
midi_keyboard_cleanup() {
    local status=$?
    if [ -n "$PLINKEL_PID" ] && kill -0 "$PLINKEL_PID" 2>/dev/null; then
        kill "$PLINKEL_PID" 2>/dev/null
        wait_until 1 plinkel_ended || kill -9 "$PLINKEL_PID" 2>/dev/null
    fi
    if [ -n "$JACKD_PID" ]; then
        kill "$JACKD_PID" 2>/dev/null
        wait "$JACKD_PID" 2>/dev/null
    fi
    (exit "$status")
    e2e_cleanup
}
trap midi_keyboard_cleanup EXIT

if [ ! -e /dev/snd/seq ]; then
    step "no sequencer, no JACK: a plain start, one line on standard error"
    start_plinkel
    wait_window
    press_until_exit Escape
    expect_status 0
    [ "$(grep -c '^plinkel: no MIDI input: ' "$WORK/stderr")" = 1 ] ||
        fail "no single 'no MIDI input' line on standard error"
fi

step "a JACK server with its dummy backend"
jackd --no-realtime -d dummy -r 48000 -p 256 >"$WORK/jackd.log" 2>&1 &
JACKD_PID=$!
wait_for "$E2E_TIMEOUT" "the JACK server" test -S "$JACK_SOCKET"

step "start, then plug in a keyboard and another source that is not wanted"
rm -f "$WORK/midi.log"
printf 'midi_in_source = e2e-keyboard\n' >>"$WORK/allegro/allegro.cfg"
start_plinkel
wait_window
# Sources are looked for by the main loop, which runs once the first dialog is closed.
accept_new_score
if [ ! -e /dev/snd/seq ]; then
    grep -q 'no MIDI input' "$WORK/stderr" && fail "no MIDI input over JACK"
fi
# The keyboard strikes key 21 until the editor is heard forwarding it (the port is linked),
# then plays: C and E overlapping with the pedal down, then G ended by a note-on of velocity 0
# with a clock byte before it. Another source strikes key 22 all along.
"$PY" - "$WORK/linked" "$WORK/entry" >"$WORK/keyboard.log" 2>&1 <<'PYEOF' &
import os, sys, time
import rtmidi
out = rtmidi.MidiOut(rtmidi.API_UNIX_JACK, name="e2e-keyboard")
out.open_virtual_port("keys")
other = rtmidi.MidiOut(rtmidi.API_UNIX_JACK, name="e2e-other")
other.open_virtual_port("stray")
deadline = time.time() + 20
while not os.path.exists(sys.argv[1]) and time.time() < deadline:
    out.send_message([0x90, 21, 1])
    out.send_message([0x80, 21, 0])
    other.send_message([0x90, 22, 1])
    other.send_message([0x80, 22, 0])
    time.sleep(0.2)
for message in ([0x90, 60, 100], [0xB0, 64, 127], [0x90, 64, 101], [0x80, 60, 0],
                [0x80, 64, 0], [0xB0, 64, 0], [0x90, 67, 80], [0xF8], [0x90, 67, 0]):
    out.send_message(message)
    time.sleep(0.02)
# Note input: C and E held together, then G alone.
deadline = time.time() + 20
while not os.path.exists(sys.argv[2]) and time.time() < deadline:
    time.sleep(0.05)
for message in ([0x90, 60, 90], [0x90, 64, 90], [0x80, 60, 0], [0x80, 64, 0],
                [0x90, 67, 90], [0x80, 67, 0]):
    out.send_message(message)
    time.sleep(0.05)
time.sleep(0.5)
del out, other
PYEOF
KEYBOARD_PID=$!
heard() { midi_bytes | grep -q "$1"; }
wait_for "$E2E_TIMEOUT" "the keyboard linked" heard '90 15 01'
touch "$WORK/linked"

step "the keys played reached the MIDI output"
played="90 3C 64 B0 40 7F 90 40 65 80 3C 00 80 40 00 B0 40 00 90 43 50 90 43 00"
wait_for 5 "the keys played" heard "$played"
heard '90 16 01' && fail "a source that midi_in_source does not name was linked"

step "note input mode: a chord of the keys held together, then the next key"
send_keys n 3
touch "$WORK/entry"
wait "$KEYBOARD_PID" || fail "keyboard: $(cat "$WORK/keyboard.log")"
settle
send_keys Escape
menu_child "$MAIN_FILE" "$FILE_WRITE"
select_name untitled.seq song.seq
wait_file "$RUN_DIR/song.seq"
# The "n" lines as "tick staff-position length track", sorted by time and position.
entered=$(awk '$1 == "m" {m++} $1 == "n" {print (m - 1) * 768 + $2, $3, $5, $6}' \
    "$RUN_DIR/song.seq" | sort -n -k1 -k2)
[ "$entered" = $'0 0 192 0\n0 2 192 0\n192 4 192 0' ] ||
    fail "song.seq holds other notes:"$'\n'"$entered"
press_until_exit Escape
expect_status 0
grep -q 'no MIDI input' "$WORK/stderr" && fail "no MIDI input: $(cat "$WORK/stderr")"
echo "PASS"
