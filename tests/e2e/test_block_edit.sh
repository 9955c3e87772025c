#!/bin/bash
# Block edits: [ and ] select two quarter notes, C copies them and Shift+V pastes them solid at
# the cursor, pushing what followed into a new measure; "delete measure" removes the cursor's
# measure with its notes; Shift+E on the only measure changes nothing. Checked on the screen
# and in the file "write" stores.
source "$PLINKEL_E2E_LIB"
source "$(dirname "${BASH_SOURCE[0]}")/menu_lib.sh"

e2e_init
start_xvfb
sound_config none
SONG="$RUN_DIR/block.seq"

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
        select_name untitled.seq block.seq
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

step "select, copy and paste solid"
start_new_score
for k in 0 1 2 3; do
    click_note "$k" $((2 * k))
done
at_column 0 bracketleft
at_column 2 bracketright
hold_key c
hold_key shift+v
shot "$WORK/pasted.bmp"
for k in 0 1 2 3; do
    want=$((k % 2 * 2))
    [ "$(head_ink "$WORK/pasted.bmp" "$k" "$want")" -ge 8 ] ||
        fail "no pasted note at column $k, staff position $want"
done
write_song untitled.seq
expect_notes "0 0 192,192 2 192,384 0 192,576 2 192,0 4 192,192 6 192" "after the solid paste"
[ "$(grep -c '^m ' "$SONG")" = 2 ] || fail "the paste should have made a second measure"

step "delete measure removes the cursor's measure"
at_column 1 Return
menu_child "$MAIN_EDIT" "$EDIT_DELETE_MEASURE"
write_song block.seq
expect_notes "0 4 192,192 6 192" "after deleting the first measure"
[ "$(grep -c '^m ' "$SONG")" = 1 ] || fail "one measure should remain"

step "Shift+E on the only measure changes nothing"
at_column 0 Return
hold_key shift+e
write_song block.seq
expect_notes "0 4 192,192 6 192" "after Shift+E on the only measure"
echo PASS
