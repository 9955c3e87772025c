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

# The left frames of the main menu (below the staves of one track) and of a child menu (beside
# its parent entry), and how many black pixels show that the menu is open.
MAIN_FRAME_AREA=1x120+$MENU_X+240
CHILD_FRAME_X=264
CHILD_FRAME_AREA_SIZE=3x40
MENU_FRAME_INK=36

# Opens the menu and clicks main entry $1 once the menu shows.
menu_main() {
    mouse_click 3 "$MENU_X" "$MENU_Y"
    wait_for 10 "the menu" window_shows "$MAIN_FRAME_AREA" "$MENU_FRAME_INK"
    mouse_click 1 "$MAIN_ITEM_X" $((MENU_Y + ITEM_H / 2 + ITEM_H * $1))
}

# Opens the menu, then main entry $1's child menu, and clicks its entry $2.
menu_child() {
    menu_main "$1"
    wait_for 10 "the child menu" window_shows \
        "$CHILD_FRAME_AREA_SIZE+$CHILD_FRAME_X+$((MENU_Y + ITEM_H + ITEM_H * $1))" "$MENU_FRAME_INK"
    mouse_click 1 "$CHILD_ITEM_X" $((MENU_Y + ITEM_H * 3 / 4 + ITEM_H * ($1 + $2)))
}

# Holds a key (xdotool names, e.g. shift+v) long enough for the polled key table to see it.
hold_key() {
    local keys=${1//+/ }
    timeout 5 xdotool keydown $keys 2>/dev/null || fail "keydown $1"
    sleep 0.1
    timeout 5 xdotool keyup $(echo $keys | tr ' ' '\n' | tac | tr '\n' ' ') 2>/dev/null ||
        fail "keyup $1"
    sleep 0.2
}

# In an open file selector, whose field holds a proposed path ending in $1, replaces that name
# by $2 and confirms.
select_name() {
    local proposed=$1 name=$2 i
    wait_selector
    for ((i = 0; i < ${#proposed}; i++)); do
        send_keys BackSpace
    done
    type_text "$name"
    send_keys Return
    sleep 0.3
}

# Answers the three-button save question with Yes, No or Cancel.
answer_save_question() {
    wait_save_question
    case "$1" in
    Yes) mouse_click 1 "$ALERT3_YES_X" "$ALERT3_Y" ;;
    No) mouse_click 1 "$ALERT3_NO_X" "$ALERT3_Y" ;;
    Cancel) mouse_click 1 "$ALERT3_CANCEL_X" "$ALERT3_Y" ;;
    esac
    sleep 0.3
}

# Where the Cancel buttons of the file selector and of the save question lie on a 640 x 480
# screen, and how many black pixels (frame and text) show that they are there.
SELECTOR_CANCEL=100x20+337+372
ALERT3_CANCEL=90x30+384+265
BUTTON_INK=30

wait_selector() { wait_for 10 "the file selector" window_shows "$SELECTOR_CANCEL" "$BUTTON_INK"; }
wait_save_question() {
    wait_for 10 "the save question" window_shows "$ALERT3_CANCEL" "$BUTTON_INK"
}

# Accepts the name the open file selector proposes.
confirm_selector() {
    wait_selector
    send_keys Return
    sleep 0.3
}

# Starts the installed program in RUN_DIR with the arguments given.
start_plinkel_with() {
    ensure_mode_config
    PLINKEL_STATUS=""
    PLINKEL_WINDOW=""
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
    local try tries
    rm -f "$RUN_DIR/screenshot.bmp"
    for try in 1 2 3; do
        hold_key F12
        for ((tries = 20; tries > 0; tries--)); do
            file_complete "$RUN_DIR/screenshot.bmp" && break 2
            sleep 0.1
        done
    done
    wait_file "$RUN_DIR/screenshot.bmp"
    cp "$RUN_DIR/screenshot.bmp" "$1"
}

# Dark pixels of a note head at column $2, staff position $3 of screenshot $1.
head_ink() {
    count_colour "$1" "0 0 0" "5x3+$(($(col_x "$2") - 2))+$(($(pos_y "$3") - 1))"
}

# The "n" lines of a .seq file as "x staff-position length" per line.
seq_notes() { awk '$1 == "n" {print $2, $3, $5}' "$1"; }
