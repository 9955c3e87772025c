#!/bin/bash
# Glyphs in high-colour modes: with "plinkel.cfg" asking for 16 and then 32 bits per pixel, a
# quarter note entered on the treble staff leaves the staff lines that cross its cell visible
# beside its stem and head (the cell's background is transparent, not a white block).
source "$PLINKEL_E2E_LIB"
source "$(dirname "${BASH_SOURCE[0]}")/menu_lib.sh"

NOTE_COLUMN=1
NOTE_POS=4              # the head on the lowest treble line but one
LINE_ROWS="108 120"     # treble lines crossed by the note's stem, inside its 16 x 32 cell
CELL_W=16
MIN_LINE_PIXELS=14      # of the 16 pixels of a line across the cell

e2e_init
start_xvfb
sound_config none

for depth in 16 32; do
    step "depth $depth"
    printf '"untitled" %d 640 480 0\n' "$depth" >"$RUN_DIR/plinkel.cfg"
    start_new_score
    click_note "$NOTE_COLUMN" "$NOTE_POS"
    shot "$WORK/depth$depth.bmp"
    [ "$(head_ink "$WORK/depth$depth.bmp" "$NOTE_COLUMN" "$NOTE_POS")" -ge 8 ] ||
        fail "depth $depth: no note head"
    for y in $LINE_ROWS; do
        n=$(count_colour "$WORK/depth$depth.bmp" "0 0 0" \
            "${CELL_W}x1+$(($(col_x "$NOTE_COLUMN") - CELL_W / 2))+$y")
        [ "$n" -ge "$MIN_LINE_PIXELS" ] ||
            fail "depth $depth: the staff line at y $y is hidden by the note ($n black pixels)"
    done
    hold_key Escape
    answer_save_question No
    wait_exit
    grep -q "^\"[^\"]*\" $depth " "$RUN_DIR/plinkel.cfg" || fail "depth $depth was not the mode used"
done
echo PASS
