#!/bin/bash
# Starting a piece with chosen settings: the measure settings shown at start-up take 3 beats,
# 2 tracks and the key of one sharp (values out of range fall back: 40 tracks count as 31,
# 0 beats keep the former count), and the written score carries them.
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

hold_key Escape
wait_exit
expect_status 0
