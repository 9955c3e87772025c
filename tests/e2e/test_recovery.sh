#!/bin/bash
# Never losing work: while a score has unsaved changes the editor keeps a recovery copy in the
# user's state directory. After SIGKILL (once the interval has passed) or SIGTERM (at once, also
# with a menu open) the next start asks "Recover unsaved changes of ...?": Yes shows the notes
# and "write" stores them under the score's own name, No deletes the copy. A second editor
# running at the same time is never offered the first one's copy, a full disk leaves the
# previous copy and the editor, and an X display that goes away under the editor leaves the
# copy and exit status 1.
source "$PLINKEL_E2E_LIB"
source "$(dirname "${BASH_SOURCE[0]}")/menu_lib.sh"

e2e_init
FULL="$WORK/full"
recovery_cleanup() {
    local status=$?
    mountpoint -q "$FULL" && umount "$FULL"
    (exit "$status")
    e2e_cleanup
}
trap recovery_cleanup EXIT
start_xvfb
export XDG_STATE_HOME="$WORK/state"
COPIES="$XDG_STATE_HOME/plinkel/recovery"
SONG="$RUN_DIR/song.seq"
printf 'vudiz 25\ntempo 120\nnum_track 1\ntrack 0 0 0 -1\nm 0 4 4\n' >"$SONG"

# The library's configuration with a recovery interval of $1 seconds.
recovery_interval() {
    sound_config none
    printf '[recovery]\ninterval = %s\nedits = 50\n' "$1" >>"$WORK/allegro/allegro.cfg"
}
copies() { ls "$COPIES"/*.recovery 2>/dev/null; }
no_copy() { [ -z "$(copies)" ]; }
# Exactly one copy, holding $1 notes.
copy_holds() { [ "$(copies | wc -l)" = 1 ] && [ "$(seq_notes "$(copies)" | wc -l)" = "$1" ]; }
offered() { grep -q "^recovery copy of .*song.seq left in" "$WORK/stdout"; }
# Presses key $1 of the recovery question until condition "${@:2}" holds, as a hand would
# when the question is slow to show.
answer_until() {
    local key=$1 tries=20
    shift
    while ! "$@"; do
        tries=$((tries - 1))
        [ "$tries" -gt 0 ] || fail "answering $key to the recovery question had no effect"
        hold_key "$key"
    done
}
# 1 when two screenshots show the same picture below the status panel.
same_staves() {
    local a b
    a=$("$IM_CONVERT" "$1" -crop 640x440+0+40 +repage rgb:- | md5sum)
    b=$("$IM_CONVERT" "$2" -crop 640x440+0+40 +repage rgb:- | md5sum)
    [ "$a" = "$b" ]
}
killed_with() {
    kill "-$1" "$PLINKEL_PID"
    wait "$PLINKEL_PID" 2>/dev/null
    PLINKEL_PID=""
}

step "notes entered, then SIGKILL once the interval has passed"
recovery_interval 1
start_plinkel_with song.seq
wait_window
click_note 0 0
click_note 1 2
wait_for 10 "a copy with two notes" copy_holds 2
OLD_COPY=$(copies)
killed_with KILL

step "the next start offers the copy; Yes shows the notes, write stores them as song.seq"
start_plinkel
wait_window
wait_for 10 "the offer" offered
answer_until y test ! -e "$OLD_COPY"
shot "$WORK/recovered.bmp"
[ "$(head_ink "$WORK/recovered.bmp" 0 0)" -gt 0 ] || fail "the first note is not shown"
[ "$(head_ink "$WORK/recovered.bmp" 1 2)" -gt 0 ] || fail "the second note is not shown"
menu_child "$MAIN_FILE" "$FILE_WRITE"
confirm_selector
wait_for 5 "two notes in song.seq" test "$(seq_notes "$SONG" | wc -l)" = 2
wait_for 5 "the copy to go once nothing is unsaved" no_copy
press_until_exit Escape
expect_status 0

step "SIGTERM writes the copy at once and ends the editor cleanly"
recovery_interval 600
start_plinkel_with song.seq
wait_window
click_note 2 4
shot "$WORK/third.bmp"
[ "$(head_ink "$WORK/third.bmp" 2 4)" -gt 0 ] || fail "the third note was not entered"
kill -TERM "$PLINKEL_PID"
wait_exit 10
expect_status 0
copy_holds 3 || fail "SIGTERM left no copy with three notes: $(copies)"

step "SIGTERM while the menu is open closes it, writes the copy and ends the editor"
rm -f "$COPIES"/*.recovery
start_plinkel_with song.seq
wait_window
click_note 2 4
mouse_click 3 "$MENU_X" "$MENU_Y"
wait_for 10 "the menu" window_shows "$MAIN_FRAME_AREA" "$MENU_FRAME_INK"
kill -TERM "$PLINKEL_PID"
wait_exit 10
expect_status 0
copy_holds 3 || fail "SIGTERM in the menu left no copy with three notes: $(copies)"

step "No deletes the copy and opens the file as it was"
start_plinkel_with song.seq
wait_window
wait_for 10 "the offer" offered
answer_until n no_copy
shot "$WORK/declined.bmp"
same_staves "$WORK/declined.bmp" "$WORK/recovered.bmp" ||
    fail "after No the staves differ from the two notes that were written"
press_until_exit Escape
expect_status 0

step "a second editor running at the same time is not offered the first one's copy"
recovery_interval 1
start_plinkel_with song.seq
wait_window
FIRST_PID=$PLINKEL_PID
click_note 2 4
wait_for 10 "the first editor's copy" copy_holds 3
mv "$WORK/stdout" "$WORK/stdout.first"
start_plinkel_with song.seq
wait_for 10 "the second editor's look for copies" grep -q "^recovery copies to offer: 0" "$WORK/stdout"
! offered || fail "the second editor was offered the first one's copy"
copy_holds 3 || fail "the first editor's copy is gone"
killed_with KILL
PLINKEL_PID=$FIRST_PID
killed_with TERM
rm -f "$COPIES"/*.recovery

step "a full disk keeps the previous copy and the editor"
mkdir -p "$FULL"
mount -t tmpfs -o size=64k tmpfs "$FULL" || fail "cannot mount a small tmpfs for the full disk"
export XDG_STATE_HOME="$FULL/state"
COPIES="$XDG_STATE_HOME/plinkel/recovery"
start_plinkel_with song.seq
wait_window
click_note 2 4
wait_for 10 "a copy with three notes" copy_holds 3
cp "$(copies)" "$WORK/before_full"
dd if=/dev/zero of="$FULL/filler" bs=4k 2>/dev/null
click_note 3 6
wait_for 10 "the failed write to be reported" grep -q "cannot write the recovery copy" "$WORK/stderr"
plinkel_running || fail "the full disk ended the editor"
cmp -s "$(copies)" "$WORK/before_full" || fail "the failed write changed the previous copy"
[ "$(ls "$COPIES" | wc -l)" = 1 ] || fail "the failed write left a file behind: $(ls "$COPIES")"
rm -f "$FULL/filler"
wait_for 10 "the copy with four notes once there is room" copy_holds 4
killed_with KILL
rm -f "$COPIES"/*.recovery

step "the X display going away writes the copy and ends the editor with status 1"
recovery_interval 600
start_plinkel_with song.seq
wait_window
click_note 2 4
shot "$WORK/before_logout.bmp"
kill "$XVFB_PID"
wait "$XVFB_PID" 2>/dev/null
XVFB_PID=""
wait_exit 10
expect_status 1
copy_holds 3 || fail "the lost display left no copy with three notes: $(copies)"
echo PASS
