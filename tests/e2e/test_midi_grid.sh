#!/bin/bash
# Importing a MIDI file as notation: "open midi" asks for the grid after the file selector.
# Cancel there abandons the import; "automatic", offered, puts a note played slightly after the
# second beat onto it, and so does `plinkel song.mid`; "exact" keeps the file's time on the
# 12-tick grid; 3*64 (a quarter) snaps to the beat by the exact rule.
source "$PLINKEL_E2E_LIB"
source "$(dirname "${BASH_SOURCE[0]}")/menu_lib.sh"
source "$(dirname "${BASH_SOURCE[0]}")/dialog_lib.sh"

GRID_CANCEL_X=376
GRID_CANCEL_Y=244

# A format-0 file at 96 ticks per quarter: middle C for a quarter at 0, again from tick 105 to
# tick 192 (score ticks 210 to 384; the exact rule on its grid of 3*4 starts it at 216).
write_midi() {
    printf 'MThd\0\0\0\6\0\0\0\1\0\140' >"$1"
    printf 'MTrk\0\0\0\24' >>"$1"
    printf '\0\220\74\144\140\200\74\0\11\220\74\144\127\200\74\0\0\377\57\0' >>"$1"
}

# Opens song.mid through the selector, which proposes the score's name with ".mid" ($1).
open_midi_song() {
    menu_child "$MAIN_FILE" "$FILE_OPEN_MIDI"
    select_name "$1" song.mid
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

# Writes the score as $1 (the selector proposes it) and prints its note starts.
note_starts() {
    menu_child "$MAIN_FILE" "$FILE_WRITE"
    confirm_selector
    wait_file "$RUN_DIR/$1"
    seq_notes "$RUN_DIR/$1" | awk '{print $1}' | paste -s -d ,
}

# Opens song.mid through the menu, proposed as $1, with the grid text $2.
open_with_grid() {
    open_midi_song "$1"
    retype "$2"
    send_keys Return
}

step "the grid offered is automatic: the second note is on the second beat"
open_midi_song empty.mid
send_keys Return
starts=$(note_starts song.seq)
[ "$starts" = "0,192" ] || fail "automatic import starts '$starts', expected '0,192'"
rm -f "$RUN_DIR/song.seq"*

step "exact keeps the note after the beat"
open_with_grid song.mid exact
starts=$(note_starts song.seq)
[ "$starts" = "0,216" ] || fail "exact import starts '$starts', expected '0,216'"
rm -f "$RUN_DIR/song.seq"*

step "a grid of 3*64 puts the second note on the second beat"
open_with_grid song.mid "3*64"
starts=$(note_starts song.seq)
[ "$starts" = "0,192" ] || fail "imported note starts '$starts', expected '0,192'"

hold_key Escape
wait_exit
expect_status 0
rm -f "$RUN_DIR/song.seq"*

step "plinkel song.mid opens the file as notation, the second note on the beat"
start_plinkel_with song.mid
wait_window
starts=$(note_starts song.seq)
[ "$starts" = "0,192" ] || fail "plinkel song.mid starts '$starts', expected '0,192'"
hold_key Escape
wait_exit
expect_status 0
