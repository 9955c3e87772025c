#!/bin/bash
# Typing music in note input mode: N shows the caret, "c d e f g a b c" with a quarter enters
# the scale upwards from middle C on consecutive quarters, Shift+E and Shift+G build a chord on
# the last C, Alt+Down takes the caret to the second track, Esc leaves the mode without leaving
# the editor, and the written file holds every note.
source "$PLINKEL_E2E_LIB"
source "$(dirname "${BASH_SOURCE[0]}")/menu_lib.sh"
source "$(dirname "${BASH_SOURCE[0]}")/dialog_lib.sh"

TRACKS_X=360
TRACKS_Y=172
OK_X=212
OK_Y=448
# The staves below the status panel, where the green caret stands in the mode.
STAFF_AREA=570x400+40+40

WHOLE=768 # ticks of a 4/4 measure
# The "n" lines of a .seq file as "tick staff-position length track", the tick counted from the
# start of the piece, sorted by track and time.
typed_notes() {
    awk -v whole=$WHOLE '$1 == "m" {m++} $1 == "n" {print (m - 1) * whole + $2, $3, $5, $6}' "$1" |
        sort -n -k4 -k1 -k2
}

e2e_init
SONG="$RUN_DIR/song.seq"
start_xvfb
sound_config none

step "a new score of two tracks"
start_plinkel
wait_window
mouse_click 1 "$TRACKS_X" "$TRACKS_Y"
retype 2
mouse_click 1 "$OK_X" "$OK_Y"

step "N shows the caret"
shot "$WORK/before.bmp"
[ "$(count_colour "$WORK/before.bmp" "0 255 0" "$STAFF_AREA")" = 0 ] || fail "a caret before N"
send_keys n
shot "$WORK/caret.bmp"
[ "$(count_colour "$WORK/caret.bmp" "0 255 0" "$STAFF_AREA")" -gt 20 ] || fail "no caret after N"

step "the scale, a chord on its last C, a C on the second track"
# The mode reads typed keys from the keyboard buffer: a plain key press serves, and keys typed
# faster than the pictures are drawn all count.
timeout 10 xdotool key --delay 20 3 c d e f g a b c shift+e shift+g alt+Down c 2>/dev/null ||
    fail "xdotool key"
settle

step "Esc leaves the mode and keeps the editor"
send_keys Escape
plinkel_running || fail "Esc in note input mode ended the editor"
shot "$WORK/after.bmp"
[ "$(count_colour "$WORK/after.bmp" "0 255 0" "$STAFF_AREA")" = 0 ] || fail "the caret stays after Esc"

step "the written file holds every typed note"
menu_child "$MAIN_FILE" "$FILE_WRITE"
select_name untitled.seq song.seq
wait_file "$SONG"
expected="0 0 192 0
192 1 192 0
384 2 192 0
576 3 192 0
768 4 192 0
960 5 192 0
1152 6 192 0
1344 7 192 0
1344 9 192 0
1344 11 192 0
1536 0 192 1"
wait_for 5 "eleven notes in song.seq" test "$(typed_notes "$SONG" | wc -l)" = 11
[ "$(typed_notes "$SONG")" = "$expected" ] ||
    fail "song.seq holds other notes:"$'\n'"$(typed_notes "$SONG")"

press_until_exit Escape
expect_status 0
echo "PASS"
