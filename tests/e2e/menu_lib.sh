# The right-button menu, the file selector and the alerts, driven with the mouse and keys as a
# user would: the menu opens at (MENU_X, MENU_Y), its entries are ITEM_H pixels apart and a
# child menu opens beside its parent entry. Sourced after lib.sh.
# shellcheck shell=bash

MENU_X=20
MENU_Y=30
ITEM_H=24
MAIN_ITEM_X=60
CHILD_ITEM_X=300
# Main menu entries and the entries of its child menus, counted from 0.
MAIN_FILE=0
MAIN_EDIT=1
MAIN_OPTION=2
MAIN_PLAY=3
MAIN_EXIT=13
FILE_NEW=0
FILE_OPEN=1
FILE_WRITE=2
FILE_OPEN_MIDI=3
FILE_WRITE_MIDI_AS=4
FILE_OPEN_MUSICXML=6
FILE_WRITE_AUDIO=9
FILE_WRITE_MUSICXML=10
FILE_WRITE_PDF=11
EDIT_DELETE_MEASURE=14
PLAY_BACKGROUND=1
OPTION_CHANGE_GFX=1
# Buttons of the three-button save question on a 640 x 480 screen.
ALERT3_Y=280
ALERT3_YES_X=209
ALERT3_NO_X=318
ALERT3_CANCEL_X=427
# The staff grid of the first track (see test_entry.sh).
ORIGIN_X=63
ORIGIN_Y=156
COLUMN=30
STEP=6
col_x() { echo $((ORIGIN_X + COLUMN * $1)); }
pos_y() { echo $((ORIGIN_Y - STEP * $1)); }

# The left frame of the main menu (below the staves of one track), and how many black pixels
# show that the menu is open.
MAIN_FRAME_AREA=1x120+$MENU_X+240
MENU_FRAME_INK=36

# The library opens the child menu of the entry under the pointer once the pointer has rested
# there this long (gui_menu_opening_delay, 300 ms); the menu opens with its first entry under
# the pointer, so a click is made only after that child has opened, never while it opens.
MENU_OPENING_DELAY=0.35

# Opens the menu at (x, y) (default: the menu's usual place) and waits until it is open.
open_menu() {
    signal_mark
    mouse_click 3 "${1:-$MENU_X}" "${2:-$MENU_Y}"
    wait_signal 'menu open'
    sleep "$MENU_OPENING_DELAY"
}

# Opens the menu and clicks main entry $1 once the menu shows.
menu_main() {
    open_menu
    mouse_click 1 "$MAIN_ITEM_X" $((MENU_Y + ITEM_H / 2 + ITEM_H * $1))
}

# Opens the menu, then main entry $1's child menu (shown once the click is waited out), and
# clicks its entry $2.
menu_child() {
    menu_main "$1"
    mouse_click 1 "$CHILD_ITEM_X" $((MENU_Y + ITEM_H * 3 / 4 + ITEM_H * ($1 + $2)))
}

# In an open file selector, whose field holds a proposed path ending in $1, replaces that name
# by $2 and confirms.
select_name() {
    local proposed=$1 name=$2 i keys=()
    wait_selector
    for ((i = 0; i < ${#proposed}; i++)); do
        keys+=(BackSpace)
    done
    dialog_keys "${keys[@]}"
    type_text "$name"
    signal_mark
    send_keys Return
    wait_signal 'selector close'
}

# Answers the three-button save question with Yes, No or Cancel.
answer_save_question() {
    wait_save_question
    case "$1" in
    Yes) mouse_click 1 "$ALERT3_YES_X" "$ALERT3_Y" ;;
    No) mouse_click 1 "$ALERT3_NO_X" "$ALERT3_Y" ;;
    Cancel) mouse_click 1 "$ALERT3_CANCEL_X" "$ALERT3_Y" ;;
    esac
}

# They wait for the sign of the selector or question opened since the last signal_mark (the
# menu helpers set one): any earlier one has been answered already.
wait_selector() { wait_signal 'selector open'; }
wait_save_question() { wait_signal 'alert open'; }

# Accepts the name the open file selector proposes.
confirm_selector() {
    wait_selector
    send_keys Return
}

# Starts the installed program in RUN_DIR with the arguments given.
start_plinkel_with() {
    ensure_mode_config
    PLINKEL_STATUS=""
    PLINKEL_WINDOW=""
    signals_restart
    (cd "$RUN_DIR" && HOME="$WORK/home" PATH="$WORK/bin:$PATH" exec "$PLINKEL_BIN" "$@") \
        >"$WORK/stdout" 2>"$WORK/stderr" &
    PLINKEL_PID=$!
}

# Starts the program without a file and accepts the settings of the new score as offered.
start_new_score() {
    start_plinkel
    wait_window
    accept_new_score
}

# Clicks a note of the current length into column $1 at staff position $2 of the first track.
click_note() { mouse_click 1 "$(col_x "$1")" "$(pos_y "$2")"; }

# F12 held until the program has saved its picture (a short press can be missed while it
# draws); copies the picture to $1.
shot() {
    rm -f "$RUN_DIR/screenshot.bmp"
    signal_mark
    hold_key F12
    wait_signal 'wrote screenshot.bmp'
    cp "$RUN_DIR/screenshot.bmp" "$1"
}

# Dark pixels of a note head at column $2, staff position $3 of screenshot $1.
head_ink() {
    count_colour "$1" "0 0 0" "5x3+$(($(col_x "$2") - 2))+$(($(pos_y "$3") - 1))"
}

# The "n" lines of a .seq file as "x staff-position length" per line.
seq_notes() { awk '$1 == "n" {print $2, $3, $5}' "$1"; }
