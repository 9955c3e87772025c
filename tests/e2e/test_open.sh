#!/bin/bash
# Opening scores: "open" in the file menu loads a .seq file through the selector and shows its
# notes, also over a changed score once the save question is answered; "open midi" imports a
# MIDI file we did not write, and the next "write" proposes its name with ".seq"; "plinkel
# FILE" starts with the file opened; a file that cannot be read is named in an alert and the
# editor goes on with an empty score. The desktop entry starts it with a file the same way.
# "write musicxml" and "open musicxml" carry the score out and back in through MusicXML.
source "$PLINKEL_E2E_LIB"
source "$(dirname "${BASH_SOURCE[0]}")/menu_lib.sh"

MIDI_SONG=/usr/share/games/openttd/baseset/openmsx/chemistry_lab.mid
e2e_init
start_xvfb
sound_config none
[ -f "$MIDI_SONG" ] || fail "no MIDI file at $MIDI_SONG (package openttd-openmsx)"

# Three quarter notes at staff positions 0, 2 and 4, as the editor writes them.
cat >"$RUN_DIR/song.seq" <<'SEQ'
vudiz 25
tempo 120
num_track 1
track 0 0 0 127
m 0 4 4
n 0 0 0 192 0 127
n 192 2 0 192 0 127
n 384 4 0 192 0 127
SEQ

# The three notes of song.seq are on the screen.
expect_song_notes() {
    local k
    shot "$WORK/$1.bmp"
    for k in 0 1 2; do
        [ "$(head_ink "$WORK/$1.bmp" "$k" $((2 * k)))" -ge 8 ] || fail "$1: no note at column $k"
    done
}

step "the installed desktop entry hands the chosen file to plinkel"
DESKTOP="$PLINKEL_PREFIX/share/applications/plinkel.desktop"
[ -f "$DESKTOP" ] || fail "no desktop entry at $DESKTOP"
grep -qx "Exec=plinkel %f" "$DESKTOP" || fail "the desktop entry does not pass the file on"
desktop-file-validate "$DESKTOP" || fail "the desktop entry is not valid"

step "open through the menu, after answering No to the save question"
start_new_score
click_note 0 6
menu_child "$MAIN_FILE" "$FILE_OPEN"
answer_save_question No
select_name untitled.seq song.seq
expect_song_notes menu_open
[ "$(head_ink "$WORK/menu_open.bmp" 0 6)" -lt 8 ] || fail "the note of the old score is still shown"
press_until_exit Escape
expect_status 0

step "plinkel song.seq starts with the file opened"
start_plinkel_with song.seq
wait_window
expect_song_notes command_line
press_until_exit Escape
expect_status 0

step "a missing file is named in an alert; the editor goes on with an empty score"
start_plinkel_with missing.seq
wait_window
wait_for 10 "an alert in the middle of the window" window_shows 400x100+120+190 200
send_keys Return
shot "$WORK/empty.bmp"
[ "$(head_ink "$WORK/empty.bmp" 0 0)" -lt 8 ] || fail "the empty score shows a note"
press_until_exit Escape
expect_status 0

step "write musicxml writes the open score; open musicxml brings it back"
start_plinkel_with song.seq
wait_window
menu_child "$MAIN_FILE" "$FILE_WRITE_MUSICXML"
confirm_selector
wait_file "$RUN_DIR/song.musicxml"
[ "$(grep -c '<pitch>' "$RUN_DIR/song.musicxml")" = 3 ] || fail "song.musicxml lacks the notes"
press_until_exit Escape
expect_status 0
start_new_score
menu_child "$MAIN_FILE" "$FILE_OPEN_MUSICXML"
select_name untitled.musicxml song.musicxml
expect_song_notes musicxml_open
press_until_exit Escape
expect_status 0

step "open midi imports a MIDI file; write then proposes its name with .seq"
cp "$MIDI_SONG" "$RUN_DIR/tune.mid"
start_new_score
menu_child "$MAIN_FILE" "$FILE_OPEN_MIDI"
select_name untitled.mid tune.mid
send_keys Return # the import grid as offered
shot "$WORK/tune.bmp"
[ "$(count_colour "$WORK/tune.bmp" "0 0 0" "560x300+63+60")" -gt 1500 ] ||
    fail "the imported music is not on the screen"
menu_child "$MAIN_FILE" "$FILE_WRITE"
confirm_selector
wait_file "$RUN_DIR/tune.seq"
[ "$(seq_notes "$RUN_DIR/tune.seq" | wc -l)" -gt 50 ] || fail "tune.seq holds too few notes"
press_until_exit Escape
expect_status 0
echo PASS
