#!/bin/bash
# Taking edits back: three notes entered, Ctrl+Z twice leaves the first one on the screen and in
# the written file, Ctrl+Y brings the second back; a solid paste and a transpose are undone
# too, through the keys and through the "undo" entry of the edit menu.
source "$PLINKEL_E2E_LIB"
source "$(dirname "${BASH_SOURCE[0]}")/menu_lib.sh"
source "$(dirname "${BASH_SOURCE[0]}")/dialog_lib.sh"

EDIT_UNDO=0
EDIT_TRANSPOSE=12

e2e_init
start_xvfb
sound_config none
SONG="$RUN_DIR/undo.seq"

# Points at column $1 of the first track and holds the key $2.
at_column() {
    mouse_move "$(col_x "$1")" "$(pos_y 0)"
    hold_still
    hold_key "$2"
}

# Writes the score through the menu ($1: the name the selector proposes) and waits for it.
write_song() {
    rm -f "$SONG"
    menu_child "$MAIN_FILE" "$FILE_WRITE"
    if [ "$1" = untitled.seq ]; then
        select_name untitled.seq undo.seq
    else
        confirm_selector
    fi
    wait_file "$SONG"
}

expect_notes() {
    local got
    got=$(seq_notes "$SONG" | paste -s -d ',')
    [ "$got" = "$1" ] || fail "$2: notes $got, expected $1"
}

# Note heads at columns 0..3 of screenshot $1 as "position:ink" for staff positions $2.
expect_heads() {
    local shot=$1 k=0 p
    for p in $2; do
        if [ "$p" = - ]; then
            [ "$(head_ink "$shot" "$k" 0)" -lt 8 ] || fail "a note head at column $k in $shot"
            [ "$(head_ink "$shot" "$k" 2)" -lt 8 ] || fail "a note head at column $k in $shot"
        else
            [ "$(head_ink "$shot" "$k" "$p")" -ge 8 ] || fail "no note head at column $k, $p"
        fi
        k=$((k + 1))
    done
}

step "three notes, Ctrl+Z twice: the first is left"
start_new_score
click_note 0 0
click_note 1 2
click_note 2 4
hold_key ctrl+z
hold_key ctrl+z
shot "$WORK/undone.bmp"
expect_heads "$WORK/undone.bmp" "0 - -"
write_song untitled.seq
expect_notes "0 0 192" "after two undos"

step "Ctrl+Y brings the second note back"
hold_key ctrl+y
shot "$WORK/redone.bmp"
expect_heads "$WORK/redone.bmp" "0 2 -"
write_song undo.seq
expect_notes "0 0 192,192 2 192" "after the redo"

step "an undone solid paste"
at_column 0 bracketleft
at_column 2 bracketright
hold_key c
at_column 1 Return
hold_key shift+v
write_song undo.seq
expect_notes "0 0 192,192 0 192,384 2 192,576 2 192" "after the paste"
hold_key ctrl+z
write_song undo.seq
expect_notes "0 0 192,192 2 192" "after undoing the paste"

step "an undone transpose, through the menu"
at_column 0 bracketleft
at_column 2 bracketright
menu_child "$MAIN_EDIT" "$EDIT_TRANSPOSE"
retype 12
send_keys Return
write_song undo.seq
expect_notes "0 7 192,192 9 192" "after the transpose"
menu_child "$MAIN_EDIT" "$EDIT_UNDO"
write_song undo.seq
expect_notes "0 0 192,192 2 192" "after undoing the transpose"
echo PASS
