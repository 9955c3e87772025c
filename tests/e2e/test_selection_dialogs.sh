#!/bin/bash
# Reworking a passage through its selection: with [ and ] around the first two notes, "set
# tempo" takes a typed tempo there and keeps the former tempo after the passage, "transpose" by
# 12 lifts both notes an octave and "set volume" gives them a typed velocity. The same dialogs
# left with their cancel button ("No", "Cancel") change nothing, and a value typed as
# arithmetic counts as its result.
source "$PLINKEL_E2E_LIB"
source "$(dirname "${BASH_SOURCE[0]}")/menu_lib.sh"
source "$(dirname "${BASH_SOURCE[0]}")/dialog_lib.sh"

MAIN_SET_TEMPO=4
MAIN_SET_VOLUME=11
EDIT_TRANSPOSE=12
# Cancel buttons: "No" of the tempo dialog, "Cancel" of the one-field dialogs.
TEMPO_NO_X=458
TEMPO_NO_Y=234
CANCEL_X=376
CANCEL_Y=244

# The "n" lines as "x staff-position length volume", and the "t" lines as "x tempo", of
# measure $1 of song.seq.
notes_of() { awk -v want="$1" '$1 == "m" {n++} $1 == "n" && n == want {print $2, $3, $5, $7}' "$SONG"; }
tempos_of() { awk -v want="$1" '$1 == "m" {n++} $1 == "t" && n == want {print $2, $3}' "$SONG"; }

expect_notes() {
    local got
    got=$(notes_of 1 | paste -s -d ,)
    [ "$got" = "$1" ] || fail "measure 1 notes: '$got', expected '$1'"
}

start_with_song <<'EOF'
vudiz 25
tempo 120
num_track 1
track 0 0 0 -1
m 0 4 4
n 0 0 0 192 0 100
n 192 2 0 192 0 50
m 0 4 4
m 0 4 4
EOF

step "select the first two notes with [ and ]"
mouse_move "$(col_x 0)" "$(pos_y 0)"
hold_key bracketleft
mouse_move "$(col_x 2)" "$(pos_y 0)"
hold_key bracketright

step "set tempo: 90 typed with Enter applies, then No changes nothing"
menu_main "$MAIN_SET_TEMPO"
retype "(100+80)/2"
send_keys Return
menu_main "$MAIN_SET_TEMPO"
retype 60
mouse_click 1 "$TEMPO_NO_X" "$TEMPO_NO_Y"
write_song
[ "$(tempos_of 1 | paste -s -d ,)" = "0 90,384 120" ] ||
    fail "tempo events of measure 1: '$(tempos_of 1 | paste -s -d ,)', expected '0 90,384 120'"
expect_notes "0 0 192 100,192 2 192 50"

step "transpose: Cancel changes nothing, 12 lifts both notes an octave"
menu_child "$MAIN_EDIT" "$EDIT_TRANSPOSE"
retype 5
mouse_click 1 "$CANCEL_X" "$CANCEL_Y"
menu_child "$MAIN_EDIT" "$EDIT_TRANSPOSE"
retype 12
send_keys Return

step "set volume: the typed velocity reaches both notes"
menu_main "$MAIN_SET_VOLUME"
retype "2*32"
send_keys Return
write_song
expect_notes "0 7 192 64,192 9 192 64"

step "the editor is still running and leaves on Esc"
hold_key Escape
wait_exit
expect_status 0
