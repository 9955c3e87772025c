#!/bin/bash
# Starting a piece with chosen settings: the measure settings shown at start-up take 3 beats,
# 2 tracks and the key of one sharp (values out of range fall back: 40 tracks count as 31,
# 0 beats keep the former count), and the written score carries them. Return presses OK with the
# pointer resting away from the dialog, and Cancel while the pointer is over Cancel; Esc cancels
# even with the pointer over OK.
source "$PLINKEL_E2E_LIB"
source "$(dirname "${BASH_SOURCE[0]}")/menu_lib.sh"
source "$(dirname "${BASH_SOURCE[0]}")/dialog_lib.sh"

BEATS_X=500
BEATS_Y=60
TRACKS_X=360
TRACKS_Y=172
KEY_X=90
KEY_ONE_SHARP_Y=172 # row 6 of the key list
OK_X=212
OK_Y=448
CANCEL_X=355
AWAY_X=600 # right of the dialog, above the area the dialog check reads
AWAY_Y=250

# Clicks the field at ($1, $2), empties it and types $3.
fill_field() {
    mouse_click 1 "$1" "$2"
    retype "$3"
}

# Measure and track lines of a .seq file, comma separated.
settings() { awk '$1 == "num_track" || $1 == "m"' "$1" | paste -s -d ,; }

e2e_init
start_xvfb
sound_config none

step "3 beats, 2 tracks, one sharp"
start_plinkel
wait_window
fill_field "$BEATS_X" "$BEATS_Y" 3
fill_field "$TRACKS_X" "$TRACKS_Y" 2
mouse_click 1 "$KEY_X" "$KEY_ONE_SHARP_Y"
mouse_click 1 "$OK_X" "$OK_Y"
sleep 0.3
menu_child "$MAIN_FILE" "$FILE_WRITE"
select_name untitled.seq first.seq
wait_file "$RUN_DIR/first.seq"
[ "$(settings "$RUN_DIR/first.seq")" = "num_track 2,m 1 3 4" ] ||
    fail "settings '$(settings "$RUN_DIR/first.seq")', expected 'num_track 2,m 1 3 4'"

step "new: 0 beats keep 3, 40 tracks count as 31"
menu_child "$MAIN_FILE" "$FILE_NEW"
sleep 0.5
fill_field "$BEATS_X" "$BEATS_Y" 0
fill_field "$TRACKS_X" "$TRACKS_Y" 40
mouse_click 1 "$OK_X" "$OK_Y"
sleep 0.3
menu_child "$MAIN_FILE" "$FILE_WRITE"
select_name untitled.seq second.seq
wait_file "$RUN_DIR/second.seq"
[ "$(settings "$RUN_DIR/second.seq")" = "num_track 31,m 1 3 4" ] ||
    fail "settings '$(settings "$RUN_DIR/second.seq")', expected 'num_track 31,m 1 3 4'"

# Black pixels in the part of the window below the first staff, where the dialog shows.
area_ink() {
    grab_window "$WORK/area.png"
    count_colour "$WORK/area.png" "0 0 0" "$NEW_SCORE_DIALOG_AREA"
}
ink_is_not() { [ "$(area_ink)" != "$1" ]; }

# Opens a new score, types $1 tracks, rests the pointer at ($2, $3), presses $5 (default Return)
# and writes the score to $4. The score left has one track, so the area below its staff is blank
# again.
new_by_return() {
    local before
    before=$(area_ink)
    menu_child "$MAIN_FILE" "$FILE_NEW"
    wait_for "$E2E_TIMEOUT" "the new-score settings" ink_is_not "$before"
    fill_field "$TRACKS_X" "$TRACKS_Y" "$1"
    mouse_move "$2" "$3"
    sleep 0.2
    send_keys "${5:-Return}"
    wait_for "$E2E_TIMEOUT" "the new-score settings to close" window_blank "$NEW_SCORE_DIALOG_AREA"
    menu_child "$MAIN_FILE" "$FILE_WRITE"
    select_name untitled.seq "$4"
    wait_file "$RUN_DIR/$4"
    [ "$(settings "$RUN_DIR/$4")" = "num_track 1,m 1 3 4" ] ||
        fail "settings '$(settings "$RUN_DIR/$4")', expected 'num_track 1,m 1 3 4'"
}

step "Return with the pointer away from the dialog presses OK"
new_by_return 1 "$AWAY_X" "$AWAY_Y" third.seq

step "Return with the pointer over Cancel cancels"
new_by_return 4 "$CANCEL_X" "$OK_Y" fourth.seq

step "Esc with the pointer over OK cancels"
new_by_return 4 "$OK_X" "$OK_Y" fifth.seq Escape

hold_key Escape
wait_exit
expect_status 0
