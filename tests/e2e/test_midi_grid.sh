#!/bin/bash
# Importing a MIDI file on a chosen grid: "open midi" asks for the shortest note after the
# file selector. Cancel there abandons the import; 3*64 (a quarter) snaps a note that starts
# slightly after the first beat onto the second beat, where the default grid would keep it off
# the beat.
source "$PLINKEL_E2E_LIB"
source "$(dirname "${BASH_SOURCE[0]}")/menu_lib.sh"
source "$(dirname "${BASH_SOURCE[0]}")/dialog_lib.sh"

GRID_CANCEL_X=376
GRID_CANCEL_Y=244

# A format-0 file at 96 ticks per quarter: middle C for a quarter at 0, again from tick 105 to
# tick 192 (score ticks 210 to 384; the default grid of 3*4 would start it at 216).
write_midi() {
    printf 'MThd\0\0\0\6\0\0\0\1\0\140' >"$1"
    printf 'MTrk\0\0\0\24' >>"$1"
    printf '\0\220\74\144\140\200\74\0\11\220\74\144\127\200\74\0\0\377\57\0' >>"$1"
}

# Opens song.mid through the selector, which proposes the score's name with ".mid" ($1).
open_midi_song() {
    menu_child "$MAIN_FILE" "$FILE_OPEN_MIDI"
    select_name "$1" song.mid
    sleep 0.3
}

e2e_init
start_xvfb
sound_config none
write_midi "$RUN_DIR/song.mid"
start_new_score

step "Cancel in the grid dialog abandons the import"
open_midi_song untitled.mid
mouse_click 1 "$GRID_CANCEL_X" "$GRID_CANCEL_Y"
menu_child "$MAIN_FILE" "$FILE_WRITE"
select_name untitled.seq empty.seq
wait_file "$RUN_DIR/empty.seq"
[ -z "$(seq_notes "$RUN_DIR/empty.seq")" ] || fail "notes after a cancelled import"

step "a grid of 3*64 puts the second note on the second beat"
open_midi_song empty.mid
retype "3*64"
send_keys Return
sleep 0.5
menu_child "$MAIN_FILE" "$FILE_WRITE"
sleep 0.5
send_keys Return
wait_file "$RUN_DIR/song.seq"
starts=$(seq_notes "$RUN_DIR/song.seq" | awk '{print $1}' | paste -s -d ,)
[ "$starts" = "0,192" ] || fail "imported note starts '$starts', expected '0,192'"

hold_key Escape
wait_exit
expect_status 0
