#!/bin/bash
# Keeping a score: "write" through the right-button menu and the file selector stores it, a
# second write keeps the previous file as ".bak"; leaving a changed score asks "Score
# changed.Save?", where Cancel keeps the editor open, No leaves the file as it was and Yes
# saves before leaving.
source "$PLINKEL_E2E_LIB"
source "$(dirname "${BASH_SOURCE[0]}")/menu_lib.sh"

e2e_init
start_xvfb
sound_config none
SONG="$RUN_DIR/song.seq"

step "the first write goes through the selector and makes no backup"
start_new_score
click_note 0 0
menu_child "$MAIN_FILE" "$FILE_WRITE"
select_name untitled.seq song.seq
wait_file "$SONG"
head -n 1 "$SONG" | grep -qx "vudiz 25" || fail "song.seq does not start with the version line"
[ "$(seq_notes "$SONG" | wc -l)" = 1 ] || fail "song.seq should hold one note: $(seq_notes "$SONG")"
[ ! -e "$SONG.bak" ] || fail "a backup was made of a file that did not exist"

step "writing again under the same name keeps the old file as song.seq.bak, without asking"
cp "$SONG" "$WORK/first.seq"
click_note 1 2
menu_child "$MAIN_FILE" "$FILE_WRITE"
confirm_selector
wait_file "$SONG.bak"
cmp -s "$SONG.bak" "$WORK/first.seq" || fail "song.seq.bak is not the first version"
wait_for 5 "two notes in song.seq" test "$(seq_notes "$SONG" | wc -l)" = 2

step "Esc on a saved score leaves at once"
press_until_exit Escape
expect_status 0

step "a changed score: Cancel keeps the editor, No leaves the file untouched"
start_plinkel_with song.seq
wait_window
click_note 2 4
hold_key Escape
answer_save_question Cancel
plinkel_running || fail "Cancel ended the editor"
cp "$SONG" "$WORK/second.seq"
hold_key Escape
answer_save_question No
wait_exit
expect_status 0
cmp -s "$SONG" "$WORK/second.seq" || fail "answering No changed song.seq"

step "the exit entry with Yes saves the change, then leaves"
start_plinkel_with song.seq
wait_window
click_note 2 4
menu_main "$MAIN_EXIT"
answer_save_question Yes
confirm_selector
wait_exit
expect_status 0
[ "$(seq_notes "$SONG" | wc -l)" = 3 ] || fail "Yes did not save the third note: $(seq_notes "$SONG")"
cmp -s "$SONG.bak" "$WORK/second.seq" || fail "the save before leaving made no backup"
echo PASS
