#!/bin/bash
# Giving a track its instrument and channel in "track setting": choosing "Percussions" moves
# the track to the percussion channel 9; an appended track dropped with "CANCEL", or with Esc
# while the pointer rests on "OK", never reaches the score; typing 4 into the channel field
# takes the track off percussion, back to "Acoustic Grand" on channel 4.
source "$PLINKEL_E2E_LIB"
source "$(dirname "${BASH_SOURCE[0]}")/menu_lib.sh"
source "$(dirname "${BASH_SOURCE[0]}")/dialog_lib.sh"

MAIN_TRACK_SETTING=6
OK_X=147
OK_Y=430
CANCEL_X=315
CANCEL_Y=430
APPEND_X=315
APPEND_Y=380
INST_X=150
INST_LAST_ROW_Y=296 # the sixth and last visible row of the instrument list
CHANNEL_X=386
CHANNEL_Y=356

# The track table of song.seq: "num_track" and the "track" lines, comma separated.
tracks() { awk '$1 == "num_track" || $1 == "track"' "$SONG" | paste -s -d ,; }

expect_tracks() {
    [ "$(tracks)" = "$1" ] || fail "tracks '$(tracks)', expected '$1'"
}

open_track_setting() {
    menu_main "$MAIN_TRACK_SETTING"
}

start_with_song < <(printf 'vudiz 25\ntempo 120\nnum_track 1\ntrack 0 0 0 -1\nm 0 4 4\nn 0 0 0 192 0 127\n')

step "Percussions, the last instrument, moves track 0 to channel 9"
open_track_setting
mouse_move "$INST_X" "$INST_LAST_ROW_Y"
hold_still # the list takes the keys once the dialog has seen the pointer over it
hold_key End
mouse_click 1 "$INST_X" "$INST_LAST_ROW_Y"
mouse_click 1 "$OK_X" "$OK_Y"
write_song
expect_tracks "num_track 1,track 0 9 128 -1"

step "an appended track is dropped by CANCEL and by Esc; channel 4 leaves percussion"
open_track_setting
mouse_click 1 "$APPEND_X" "$APPEND_Y"
mouse_click 1 "$CANCEL_X" "$CANCEL_Y"
open_track_setting
mouse_click 1 "$APPEND_X" "$APPEND_Y"
mouse_move "$OK_X" "$OK_Y"
hold_key Escape
open_track_setting
mouse_click 1 "$CHANNEL_X" "$CHANNEL_Y"
dialog_keys BackSpace BackSpace End BackSpace BackSpace
type_text 4
mouse_click 1 "$OK_X" "$OK_Y"
write_song
expect_tracks "num_track 1,track 0 4 0 -1"

hold_key Escape
wait_exit
expect_status 0
