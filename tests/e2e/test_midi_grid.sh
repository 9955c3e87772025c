#!/bin/bash
# Importing a MIDI file as notation: "open midi" asks for the grid after the file selector.
# Cancel there abandons the import; "automatic", offered, puts notes played a little off the
# beat onto it, and so does `plinkel song.mid`: the first measure shows one head in each beat
# column; "exact" keeps the file's time on the 12-tick grid; 3*64 (a quarter) snaps to the beat
# by the exact rule for the second note.
source "$PLINKEL_E2E_LIB"
source "$(dirname "${BASH_SOURCE[0]}")/menu_lib.sh"
source "$(dirname "${BASH_SOURCE[0]}")/dialog_lib.sh"
SCORE_MARKS="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/score_marks.py"

GRID_CANCEL_X=376
GRID_CANCEL_Y=244
BEATS=4      # a file without a time signature is read as 4/4
HEAD_SLACK=3 # pixels a head's centre may stand off its column
# Note starts in the .seq (ticks into their measure) of the song on the beats.
BEAT_STARTS=0,192,384,576,0,192,384,576

# Two measures of quarters played as a person plays them, at 96 ticks per quarter: each note
# a few ticks off its beat (the second one 9 ticks late: score tick 210, which the exact rule
# on its grid of 3*4 starts at 216) and held 82 to 94 % of its length.
write_midi() {
    csvmidi - "$1" <<'EOF' || fail "csvmidi"
0, 0, Header, 0, 1, 96
1, 0, Start_track
1, 0, Note_on_c, 0, 64, 90
1, 86, Note_off_c, 0, 64, 0
1, 105, Note_on_c, 0, 67, 90
1, 186, Note_off_c, 0, 67, 0
1, 190, Note_on_c, 0, 72, 90
1, 278, Note_off_c, 0, 72, 0
1, 291, Note_on_c, 0, 67, 90
1, 372, Note_off_c, 0, 67, 0
1, 383, Note_on_c, 0, 65, 90
1, 470, Note_off_c, 0, 65, 0
1, 481, Note_on_c, 0, 69, 90
1, 560, Note_off_c, 0, 69, 0
1, 574, Note_on_c, 0, 71, 90
1, 660, Note_off_c, 0, 71, 0
1, 670, Note_on_c, 0, 72, 90
1, 760, Note_off_c, 0, 72, 0
1, 760, End_track
0, 0, End_of_file
EOF
}

# Opens song.mid through the selector, which proposes the score's name with ".mid" ($1).
open_midi_song() {
    menu_child "$MAIN_FILE" "$FILE_OPEN_MIDI"
    select_name "$1" song.mid
}

# Takes the editor's screenshot as $WORK/$1.bmp and writes the marks of its first grand staff
# (score_marks.py) into $WORK/$1.marks.
shot_marks() {
    shot "$WORK/$1.bmp"
    "$IM_CONVERT" "$WORK/$1.bmp" -fill white +opaque black pgm:- |
        /usr/bin/python3 "$SCORE_MARKS" >"$WORK/$1.marks" || fail "no staff found in $1.bmp"
}

# The marks $1 show the first measure's notes on the beats: its bar line stands BEATS columns
# right of the score's first column (half a column after the last) and the note heads before
# it stand in those columns, at least one in each. Prints what is amiss otherwise.
first_measure_on_beats() {
    awk -v beats="$BEATS" -v origin="$ORIGIN_X" -v column="$COLUMN" -v slack="$HEAD_SLACK" '
        function off(a, b) { return a > b ? a - b : b - a }
        $1 == "bar" && !bar && $2 > origin { bar = $2 }
        $1 == "head" { heads[++n] = $2 }
        END {
            want = origin + beats * column - column / 2
            if (!bar || off(bar, want) > slack) {
                print "first bar line at x=" (bar ? bar : "none") ", expected " want
                exit 1
            }
            for (i = 1; i <= n && heads[i] < bar; i++) {
                k = int((heads[i] - origin) / column + 0.5)
                if (off(heads[i], origin + k * column) > slack) {
                    print "a head at x=" heads[i] " stands between the beat columns"
                    exit 1
                }
                on[k] = 1
            }
            for (k = 0; k < beats; k++)
                if (!on[k]) {
                    print "no head in the column of beat " k + 1 " (x=" origin + k * column ")"
                    exit 1
                }
        }' "$1"
}

# Fails unless the editor's screenshot shows the first measure's notes on the beats ($1 says
# how the file was opened, $2 names the screenshot).
expect_notes_on_beats() {
    local why
    shot_marks "$2"
    why=$(first_measure_on_beats "$WORK/$2.marks") || fail "$1: $why"
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

# The first two of the starts $1; by the exact rule the later notes of the song, whose starts
# are no even multiple of 3 ticks, keep their time.
first_two() { cut -d, -f1,2 <<<"$1"; }

# Opens song.mid through the menu, proposed as $1, with the grid text $2.
open_with_grid() {
    open_midi_song "$1"
    retype "$2"
    send_keys Return
}

step "the grid offered is automatic: every note is on its beat"
open_midi_song empty.mid
send_keys Return
expect_notes_on_beats "open midi with automatic" automatic
starts=$(note_starts song.seq)
[ "$starts" = "$BEAT_STARTS" ] || fail "automatic import starts '$starts', expected '$BEAT_STARTS'"
rm -f "$RUN_DIR/song.seq"*

step "exact keeps the second note after the beat, and the picture shows it off the beats"
open_with_grid song.mid exact
shot_marks exact
first_measure_on_beats "$WORK/exact.marks" >/dev/null && fail "exact import drawn on the beats"
starts=$(note_starts song.seq)
[ "$(first_two "$starts")" = "0,216" ] || fail "exact import starts '$starts', expected '0,216,...'"
rm -f "$RUN_DIR/song.seq"*

step "a grid of 3*64 puts the second note on the second beat"
open_with_grid song.mid "3*64"
starts=$(note_starts song.seq)
[ "$(first_two "$starts")" = "0,192" ] || fail "imported note starts '$starts', expected '0,192,...'"

hold_key Escape
wait_exit
expect_status 0
rm -f "$RUN_DIR/song.seq"*

step "plinkel song.mid opens the file as notation, every note on its beat"
start_plinkel_with song.mid
wait_window
expect_notes_on_beats "plinkel song.mid" command_line
starts=$(note_starts song.seq)
[ "$starts" = "$BEAT_STARTS" ] || fail "plinkel song.mid starts '$starts', expected '$BEAT_STARTS'"
hold_key Escape
wait_exit
expect_status 0
