#!/bin/bash
# Hearing the score: the listening strip above the staves sounds each column once while the
# pointer sweeps across it and leaves nothing sounding; F5 plays from the first measure on the
# screen and Q stops it at once, silencing the notes that were sounding.
source "$PLINKEL_E2E_LIB"
source "$(dirname "${BASH_SOURCE[0]}")/midi_notes.sh"

ORIGIN_X=63
ORIGIN_Y=156
STRIP_Y=10

col_x() { echo $((ORIGIN_X + 30 * $1)); }
pos_y() { echo $((ORIGIN_Y - 6 * $1)); }

e2e_init
start_xvfb
sound_config capture
start_plinkel
wait_window
accept_new_score
wait_file "$WORK/midi.log"
NOTES="$WORK/notes.txt"

step "four notes, one per column"
k=0
for p in 0 2 4 7; do
    mouse_click 1 "$(col_x $k)" "$(pos_y $p)"
    k=$((k + 1))
done
sleep 0.3

step "sweeping the listening strip"
mark=$(wc -l <"$WORK/midi.log")
mouse_move $(($(col_x 0) - 5)) "$STRIP_Y"
sleep 0.1
timeout 5 xdotool mousedown 1
sleep 0.2
# Within the first measure only: its last half column already belongs to the next one.
for ((x = $(col_x 0) - 5; x <= $(col_x 3) + 10; x += 5)); do
    mouse_move "$x" "$STRIP_Y"
    sleep 0.05
done
sleep 0.2
timeout 5 xdotool mouseup 1
sleep 0.3
messages_after "$mark" | awk '$2 ~ /^[89]/' >"$NOTES"
ons=$(awk '$2 ~ /^9/ && $4 != "00" {print $3}' "$NOTES" | paste -s -d ' ')
[ "$ons" = "3C 40 43 48" ] || fail "the strip sounded '$ons', expected each column once: 3C 40 43 48"
offs=$(awk '$2 ~ /^8/ || $4 == "00" {print $3}' "$NOTES" | paste -s -d ' ')
[ "$offs" = "3C 40 43 48" ] || fail "the strip released '$offs', expected 3C 40 43 48"
# Each column is silenced before the next one sounds.
order=$(awk '{print ($2 ~ /^9/ ? "on" : "off")}' "$NOTES" | paste -s -d ' ')
[ "$order" = "on off on off on off on off" ] || fail "strip messages out of order: $order"

step "Q stops playback"
mouse_click 1 "$(col_x 4)" "$(pos_y 0)" # a note in the second measure
sleep 0.3
mark=$(wc -l <"$WORK/midi.log")
send_keys F5
sleep 0.7
send_keys q
sleep 0.5
messages_after "$mark" | awk '$2 ~ /^[89]/' >"$NOTES"
ons=$(awk '$2 ~ /^9/ && $4 != "00" {print $3}' "$NOTES" | paste -s -d ' ')
[ "$ons" = "3C 40" ] || fail "after Q at 0.7 s the notes played were '$ons', expected 3C 40"
sounding=$(awk '{id = $3; if ($2 ~ /^9/ && $4 != "00") n[id]++; else if (n[id] > 0) n[id]--}
    END {s = 0; for (k in n) s += n[k]; print s}' "$NOTES")
[ "$sounding" = 0 ] || fail "$sounding notes still sounding after Q"
# The editor takes input again: the screenshot key answers.
screenshot "$WORK/after.bmp"

quit_without_saving
expect_status 0
echo "PASS"
