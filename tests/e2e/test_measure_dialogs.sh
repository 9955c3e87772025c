#!/bin/bash
# Shaping notes and measures through dialogs: "set note property" on a note takes a length
# typed as 3*64, "tie to previous" joins two eighths into one quarter and "untie from previous"
# parts them, "insert measures" with 3 puts three empty measures before the cursor's measure,
# and "go to measure" 1 brings the first of them on screen, where a click enters a note with
# the volume set by "set default volume". The cancel buttons change nothing.
source "$PLINKEL_E2E_LIB"
source "$(dirname "${BASH_SOURCE[0]}")/menu_lib.sh"
source "$(dirname "${BASH_SOURCE[0]}")/dialog_lib.sh"

MAIN_TIE=7
MAIN_UNTIE=8
MAIN_GO_TO_MEASURE=9
MAIN_NOTE_PROPERTY=10
EDIT_INSERT_MEASURES=9
EDIT_DEFAULT_VOLUME=15
NOTE_CANCEL_X=376 # "Cancel" of the note property dialog
NOTE_CANCEL_Y=300
INSERT_CANCEL_X=240 # "Cancel" of the insert measures dialog
INSERT_CANCEL_Y=138

# Measure by measure, the notes of song.seq as "x position length", measures separated by |.
layout() {
    awk '$1 == "m" {if (n++) printf "|"; sep = ""} $1 == "n" {printf "%s%s %s %s", sep, $2, $3, $5; sep = ","} END {print ""}' "$SONG"
}

expect_layout() {
    local got
    got=$(layout)
    [ "$got" = "$1" ] || fail "measures '$got', expected '$1'"
}

start_with_song <<'EOF'
vudiz 25
tempo 120
num_track 1
track 0 0 0 -1
m 0 4 4
n 0 4 0 96 0 127
n 0 6 0 96 0 127
n 96 4 0 96 0 127
m 0 4 4
EOF

step "note property: 3*64 makes the eighth a quarter; Cancel keeps it"
menu_on_note 0 6 "$MAIN_NOTE_PROPERTY"
retype "3*64"
send_keys Return
menu_on_note 0 6 "$MAIN_NOTE_PROPERTY"
retype "3*16"
mouse_click 1 "$NOTE_CANCEL_X" "$NOTE_CANCEL_Y"

step "tie to previous joins the two eighths of position 4; untie parts them again"
menu_on_note 1 4 "$MAIN_TIE"
write_song
expect_layout "0 4 192,0 6 192|"
menu_on_note 1 4 "$MAIN_UNTIE"
write_song
expect_layout "0 4 96,0 6 192,96 4 96|"

step "insert measures: Cancel inserts nothing, 3 inserts three empty measures in front"
mouse_move "$(col_x 0)" "$(pos_y 0)"
hold_key Return
menu_child "$MAIN_EDIT" "$EDIT_INSERT_MEASURES"
retype 5
mouse_click 1 "$INSERT_CANCEL_X" "$INSERT_CANCEL_Y"
menu_child "$MAIN_EDIT" "$EDIT_INSERT_MEASURES"
retype 3
send_keys Return
write_song
expect_layout "|||0 4 96,0 6 192,96 4 96|"

step "go to measure 1 shows the first new measure, where a click enters a note of volume 90"
menu_main "$MAIN_GO_TO_MEASURE"
retype 1
send_keys Return
menu_child "$MAIN_EDIT" "$EDIT_DEFAULT_VOLUME"
retype 90
send_keys Return
click_note 0 0
write_song
expect_layout "0 0 192|||0 4 96,0 6 192,96 4 96|"
volume=$(awk '$1 == "n" {print $7; exit}' "$SONG")
[ "$volume" = 90 ] || fail "the new note has volume $volume, expected 90"

hold_key Escape
wait_exit
expect_status 0
