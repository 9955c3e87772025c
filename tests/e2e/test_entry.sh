#!/bin/bash
# Writing music with the mouse: a C major scale entered by clicks shows on the staff and plays
# back in order with the right durations; a half note at the last quarter ties into a new
# measure; a click right of the score extends it; a drag with Shift raises a note by a step and
# a sharp; 4 pressed during a drag changes only that note; Del removes a tied note with all its
# pieces; dot mode enters a dotted quarter, and Shift+. marks it staccato: a dot under its head
# and half its sound.
source "$PLINKEL_E2E_LIB"
source "$(dirname "${BASH_SOURCE[0]}")/midi_notes.sh"

ORIGIN_X=63
ORIGIN_Y=156
COLUMN=30
STEP=6
col_x() { echo $((ORIGIN_X + COLUMN * $1)); }
pos_y() { echo $((ORIGIN_Y - STEP * $1)); }

# Starts a fresh program with the capture driver.
fresh_editor() {
    if [ -n "$PLINKEL_PID" ]; then
        quit_without_saving
    fi
    rm -f "$WORK/midi.log"
    start_plinkel
    wait_window
    accept_new_score
    wait_file "$WORK/midi.log"
}

# Holds a key (xdotool name) until the editor has taken it.
press() { hold_key "$1"; }

# A key pressed or released (xdotool keydown/keyup $2) while the button drags: the drag's loop
# polls the keyboard, so the fence's "seen" tells that it has the key.
drag_key() {
    timeout 5 xdotool "$1" "$2" 2>/dev/null || fail "xdotool $1 $2"
    fence
    wait_seen
}

# Clicks the next free column k (0-based, counting across measures) at staff position p.
click_at() { mouse_click 1 "$(col_x "$1")" "$(pos_y "$2")"; }

e2e_init
start_xvfb
sound_config capture

step "a C major scale by clicks"
fresh_editor
for k in 0 1 2 3 4 5 6 7; do
    click_at "$k" "$k"
done
screenshot "$WORK/scale.bmp"
for k in 0 1 2 3 4 5 6 7; do
    dark=$(count_colour "$WORK/scale.bmp" "0 0 0" "5x3+$(($(col_x "$k") - 2))+$(($(pos_y "$k") - 1))")
    [ "$dark" -ge 8 ] || fail "no note head at column $k (dark pixels: $dark)"
done
blank=$(count_colour "$WORK/scale.bmp" "0 0 0" "5x3+$(($(col_x 3) - 2))+$(($(pos_y 7) - 1))")
[ "$blank" -lt 8 ] || fail "a note head where none was entered"

play_and_collect 8
expect_keys "3C 3E 40 41 43 45 47 48"
expect_onsets "0 500 1000 1500 2000 2500 3000 3500"
expect_durations "500 500 500 500 500 500 500 500"

step "a half note at the last quarter ties into an appended measure"
fresh_editor
for k in 0 1 2; do
    click_at "$k" 0
done
press 2
click_at 3 4
screenshot "$WORK/tie.bmp"
ties=$(count_colour "$WORK/tie.bmp" "0 0 255" "300x100+$ORIGIN_X+$((ORIGIN_Y - 60))")
[ "$ties" -gt 0 ] || fail "no tie drawn"
play_and_collect 4
expect_keys "3C 3C 3C 43"
expect_onsets "0 500 1000 1500"
expect_durations "500 500 500 1000"

step "a click right of the score extends it"
fresh_editor
click_at 2 4
play_and_collect 1
expect_keys "43"
# Two empty measures of 2 s each come first: the note starts near 4 s, nearer than to the
# beats before it or the next measure.
expect_first_onset_between 3750 6000

step "Shift-drag one staff step up gives a sharp of the step above"
fresh_editor
click_at 0 0
mouse_move "$(col_x 0)" "$(pos_y 0)"
mouse_down 1
drag_key keydown shift
mouse_move "$(col_x 0)" "$(pos_y 1)"
hold_still
mouse_up 1
timeout 5 xdotool keyup shift
settle
play_and_collect 1
expect_keys "3F"

step "4 pressed during a drag shortens that note only"
fresh_editor
click_at 0 0
mouse_move "$(col_x 0)" "$(pos_y 0)"
mouse_down 1
drag_key keydown 4
drag_key keyup 4
mouse_up 1
click_at 1 2
play_and_collect 2
expect_keys "3C 40"
expect_onsets "0 250"
expect_durations "250 500"

step "Del removes a tied note with all its pieces"
fresh_editor
for k in 0 1 2; do
    click_at "$k" 0
done
press 2
click_at 3 4
mouse_move "$(col_x 3)" "$(pos_y 4)"
press Delete
play_and_collect 3
expect_keys "3C 3C 3C"
played_notes | grep -q "^43 " && fail "the deleted note still sounds"

step "dot mode enters a dotted quarter"
fresh_editor
press period
click_at 0 0
play_and_collect 1
expect_durations "750"

step "Shift+. on the note marks it staccato"
mouse_move "$(col_x 0)" "$(pos_y 0)"
press shift+period
screenshot "$WORK/staccato.bmp"
# Middle C has its ledger line through the head; the 3 x 3 dot lies a step below the head.
dot=$(count_colour "$WORK/staccato.bmp" "0 0 0" "3x3+$(($(col_x 0) - 1))+$(($(pos_y 0) + 5))")
[ "$dot" -eq 9 ] || fail "no staccato dot under the head (dark pixels: $dot)"
play_and_collect 1
expect_durations "375"

quit_without_saving
expect_status 0
echo "PASS"
