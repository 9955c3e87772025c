# Helpers of the dialog tests: their common start on a score of their own, retyping the
# focused field, opening the menu on a note, and writing the score under its own name. Sourced
# after lib.sh and menu_lib.sh; SONG names the score file.
# shellcheck shell=bash

FIELD_CLEAR=16 # backspaces that empty any dialog field
MENU_ITEM_DX=40

# The set-up of every dialog test: a display, no sound, the .seq text read from standard input
# as $RUN_DIR/song.seq (SONG), and the editor started on it.
start_with_song() {
    e2e_init
    start_xvfb
    sound_config none
    SONG="$RUN_DIR/song.seq"
    cat >"$SONG"
    start_plinkel_with song.seq
    wait_window
}

# Empties the focused field and types $1 into it.
retype() {
    local i keys=()
    for ((i = 0; i < FIELD_CLEAR; i++)); do
        keys+=(BackSpace)
    done
    dialog_keys End "${keys[@]}"
    type_text "$1"
}

# Opens the menu on the note at column $1, staff position $2 of the first track (the commands
# act on the note under the pointer) and clicks main entry $3.
menu_on_note() {
    local x y
    x=$(col_x "$1")
    y=$(pos_y "$2")
    open_menu "$x" "$y"
    mouse_click 1 $((x + MENU_ITEM_DX)) $((y + ITEM_H / 2 + ITEM_H * $3))
}

# Writes the score under its own name and waits until $SONG holds a new version.
write_song() {
    local before
    before=$(cat "$SONG")
    menu_child "$MAIN_FILE" "$FILE_WRITE"
    confirm_selector
    wait_for "$E2E_TIMEOUT" "a new $SONG" test "$(cat "$SONG" 2>/dev/null)" != "$before"
    wait_file "$SONG"
}
