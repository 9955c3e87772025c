#!/bin/bash
# Glyphs in high-colour modes: with "plinkel.cfg" asking for 16 and then 32 bits per pixel, a
# quarter note entered on the treble staff leaves the staff lines that cross its cell visible
# beside its stem and head (the cell's background is transparent, not a white block), and the
# mode icon at the top left shows on the white panel without any of the mask colour. The same
# holds after "change graphic mode" in the option menu switches to 15 bits at run time, and
# the new mode is written to "plinkel.cfg" at exit.
source "$PLINKEL_E2E_LIB"
source "$(dirname "${BASH_SOURCE[0]}")/menu_lib.sh"

NOTE_COLUMN=1
NOTE_POS=4              # the head on the lowest treble line but one
LINE_ROWS="108 120"     # treble lines crossed by the note's stem, inside its 16 x 32 cell
CELL_W=16
MODE_ICON_AREA=16x32+2+2
MODE_ICON_MIN_INK=20 # black pixels of the pencil
MASK_PINK="255 0 255"
MIN_LINE_PIXELS=14      # of the 16 pixels of a line across the cell
# In the library's mode selector on a 640 x 480 screen: the "15 bpp" entry and OK.
SELECTOR_15_BPP_X=230
SELECTOR_15_BPP_Y=298
SELECTOR_OK_X=408
SELECTOR_OK_Y=272
SELECTOR_OK_AREA=60x16+378+264
SELECTOR_OK_INK=20

# A note entered now leaves the staff lines crossing its cell visible ($1 names the case). A
# click that arrives while a new window is still being set up is lost, so the click is repeated
# until the head shows (a click on the entered head changes nothing).
expect_lines_beside_note() {
    local y n try
    for try in 1 2 3; do
        click_note "$NOTE_COLUMN" "$NOTE_POS"
        shot "$WORK/$1.bmp"
        [ "$(head_ink "$WORK/$1.bmp" "$NOTE_COLUMN" "$NOTE_POS")" -ge 8 ] && break
    done
    [ "$(head_ink "$WORK/$1.bmp" "$NOTE_COLUMN" "$NOTE_POS")" -ge 8 ] || fail "$1: no note head"
    n=$(count_colour "$WORK/$1.bmp" "$MASK_PINK" "$MODE_ICON_AREA")
    [ "$n" -eq 0 ] || fail "$1: the mode icon shows $n pixels of the mask colour"
    n=$(count_colour "$WORK/$1.bmp" "0 0 0" "$MODE_ICON_AREA")
    [ "$n" -ge "$MODE_ICON_MIN_INK" ] || fail "$1: the mode icon is missing ($n black pixels)"
    for y in $LINE_ROWS; do
        n=$(count_colour "$WORK/$1.bmp" "0 0 0" \
            "${CELL_W}x1+$(($(col_x "$NOTE_COLUMN") - CELL_W / 2))+$y")
        [ "$n" -ge "$MIN_LINE_PIXELS" ] ||
            fail "$1: the staff line at y $y is hidden by the note ($n black pixels)"
    done
}

# Leaves without saving; plinkel.cfg must then record depth $1.
expect_depth_recorded() {
    quit_without_saving
    expect_status 0
    grep -q "^\"[^\"]*\" $1 " "$RUN_DIR/plinkel.cfg" || fail "depth $1 was not the mode used"
}

e2e_init
start_xvfb
sound_config none

for depth in 16 32; do
    step "depth $depth"
    printf '"untitled" %d 640 480 0\n' "$depth" >"$RUN_DIR/plinkel.cfg"
    start_new_score
    expect_lines_beside_note "depth$depth"
    expect_depth_recorded "$depth"
done

step "change graphic mode to 15 bits"
rm -f "$RUN_DIR/plinkel.cfg"
start_new_score
menu_child "$MAIN_OPTION" "$OPTION_CHANGE_GFX"
wait_for 10 "the mode selector" window_shows "$SELECTOR_OK_AREA" "$SELECTOR_OK_INK"
# The library's mode selector gives no signs: its clicks wait on the picture instead.
selector_click() {
    mouse_move "$1" "$2"
    hold_still
    mouse_down 1
    timeout 5 xdotool mouseup 1 2>/dev/null || fail "mouseup 1"
    hold_still
}
selector_click "$SELECTOR_15_BPP_X" "$SELECTOR_15_BPP_Y"
selector_click "$SELECTOR_OK_X" "$SELECTOR_OK_Y"
wait_for 10 "the mode selector to close" window_blank "$SELECTOR_OK_AREA"
expect_lines_beside_note depth15
expect_depth_recorded 15
echo PASS
