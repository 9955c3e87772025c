#!/bin/bash
# Background playback: "play background" in the play menu plays the score through the
# library's MIDI player while the editor stays responsive (F12 still saves a picture); F8 stops
# it, and leaving the editor stops it too, each time with every note switched off (controller
# 123 on every channel) after the first note-on. Checked in the captured MIDI bytes.
source "$PLINKEL_E2E_LIB"
source "$(dirname "${BASH_SOURCE[0]}")/menu_lib.sh"

FIRST_NOTE_ON="90 3C 64"
ALL_NOTES_OFF="B0 7B 00"

e2e_init
start_xvfb
sound_config capture
# Four whole notes at 30 quarters a minute: 8 seconds each, far longer than any step below.
{
    printf 'vudiz 25\ntempo 30\nnum_track 1\ntrack 0 0 0 127\n'
    for p in 0 2 4 6; do printf 'm 0 4 4\nn 0 %d 0 768 0 100\n' "$p"; done
} >"$RUN_DIR/long.seq"

# The captured bytes from the first note-on on.
after_first_note() { midi_bytes | sed -n "s/^.*\($FIRST_NOTE_ON.*\)$/\1/p"; }
playing() { after_first_note | grep -q "$FIRST_NOTE_ON"; }
silenced() { after_first_note | grep -q "$ALL_NOTES_OFF"; }

start_playing() {
    rm -f "$WORK/midi.log"
    start_plinkel_with long.seq
    wait_window
    wait_file "$WORK/midi.log"
    menu_child "$MAIN_PLAY" "$PLAY_BACKGROUND"
    wait_for 10 "the first note-on" playing
}

step "play background, keep working, stop with F8"
start_playing
shot "$WORK/while_playing.bmp"
silenced && fail "the notes were switched off before F8"
hold_key F8
wait_for 10 "all notes off after F8" silenced
midi_bytes | grep -q "9. 3E" && fail "the second note started although playback was stopped"
press_until_exit Escape
expect_status 0

step "leaving the editor stops background playback"
start_playing
press_until_exit Escape
expect_status 0
silenced || fail "no notes off at exit: $(after_first_note)"
echo PASS
