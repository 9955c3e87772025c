# Helpers of the dialog tests: retyping the focused field, opening the menu on a note, and
# writing the score under its own name. Sourced after lib.sh and menu_lib.sh; SONG names the
# score file.
# shellcheck shell=bash

FIELD_CLEAR=16 # backspaces that empty any dialog field
MENU_ITEM_DX=40

# Empties the focused field and types $1 into it.
retype() {
    local i keys=()
    for ((i = 0; i < FIELD_CLEAR; i++)); do
        keys+=(BackSpace)
    done
    send_keys End "${keys[@]}"
    type_text "$1"
}

# Opens the menu on the note at column $1, staff position $2 of the first track (the commands
# act on the note under the pointer) and clicks main entry $3.
menu_on_note() {
    local x y
    x=$(col_x "$1")
    y=$(pos_y "$2")
    mouse_click 3 "$x" "$y"
    sleep 0.5
    mouse_click 1 $((x + MENU_ITEM_DX)) $((y + ITEM_H / 2 + ITEM_H * $3))
    sleep 0.3
}

# Writes the score under its own name and waits until $SONG holds a new version.
write_song() {
    local before
    before=$(cat "$SONG")
    menu_child "$MAIN_FILE" "$FILE_WRITE"
    sleep 0.5
    send_keys Return
    wait_for "$E2E_TIMEOUT" "a new $SONG" test "$(cat "$SONG" 2>/dev/null)" != "$before"
    wait_file "$SONG"
}
