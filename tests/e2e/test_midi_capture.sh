#!/bin/bash
# With the capture MIDI driver chosen, start-up centres the pan of all 16 channels: the log
# begins with B0 0A 40 ... BF 0A 40.
source "$PLINKEL_E2E_LIB"
e2e_init
start_xvfb
sound_config capture

start_plinkel
wait_window
wait_file "$WORK/midi.log"
press_until_exit Escape
expect_status 0

step "pan messages"
expected=""
for ch in 0 1 2 3 4 5 6 7 8 9 A B C D E F; do
    expected="$expected B$ch 0A 40"
done
expected=${expected# }
bytes=$(midi_bytes)
[ "${bytes:0:${#expected}}" = "$expected" ] ||
    fail "captured MIDI starts with '${bytes:0:${#expected}}', expected '$expected'"
echo "PASS"
