# Reading played notes out of the MIDI capture log: F5 with a wait for the notes, the messages
# rebuilt from the logged bytes, and checks of keys, onsets and durations in milliseconds.
# shellcheck shell=bash

NOTES=""            # the note messages of the last playback: "ms status key velocity"
PLAY_START=""       # ms of the first byte the last playback sent
# How far a logged time may be from the ideal one (bench/bench_playback.sh measures how close
# the player really keeps). The margin absorbs a busy machine and is still far below the 250 ms
# that tell the lengths used here apart.
TIME_TOLERANCE_MS=${E2E_TIME_TOLERANCE_MS:-60}

# Prints the messages in the log after line $1, one per line: "ms status data...".
messages_after() {
    awk -v skip="$1" 'NR > skip {
        if ($2 ~ /^[89A-F]/) { if (msg != "") print msg; msg = $1 " " $2 } else msg = msg " " $2
    } END { if (msg != "") print msg }' "$WORK/midi.log"
}

# Note-ons (velocity above 0) in the playback so far.
count_note_ons() { awk '$2 ~ /^9/ && $4 != "00"' "$NOTES" | wc -l; }

collect_notes() {
    messages_after "$1" | awk '$2 ~ /^[89]/' >"$NOTES"
    [ "$(count_note_ons)" -ge "$2" ] &&
        [ "$(awk '$2 ~ /^8/ || $4 == "00"' "$NOTES" | wc -l)" -ge "$2" ]
}

# Presses F5 and waits until n notes have started and stopped.
play_and_collect() {
    local n=$1 mark
    NOTES="$WORK/notes.txt"
    mark=$(wc -l <"$WORK/midi.log")
    send_keys F5
    wait_for 30 "$n notes played" collect_notes "$mark" "$n"
    PLAY_START=$(messages_after "$mark" | head -n 1 | cut -d ' ' -f 1)
}

# "key onset duration" of every note-on, times in ms from the start of playback.
played_notes() {
    awk -v t0="$PLAY_START" '{
        on = ($2 ~ /^9/ && $4 != "00")
        id = substr($2, 2) ":" $3
        if (on) { n++; key[n] = $3; start[n] = $1; open[id] = open[id] " " n }
        else if (open[id] != "") {
            split(open[id], list, " "); first = list[1]
            end[first] = $1; sub(" " first, "", open[id])
        }
    } END {
        for (i = 1; i <= n; i++)
            printf "%s %.1f %.1f\n", key[i], start[i] - t0, (i in end) ? end[i] - start[i] : -1
    }' "$NOTES"
}

expect_keys() {
    local got
    got=$(played_notes | cut -d ' ' -f 1 | paste -s -d ' ')
    [ "$got" = "$1" ] || fail "played keys '$got', expected '$1'"
}

# Compares column $1 of played_notes with the expected values, within the tolerance.
expect_column() {
    local column=$1 what=$2 expected=$3 got
    got=$(played_notes | cut -d ' ' -f "$column" | paste -s -d ' ')
    awk -v got="$got" -v want="$expected" -v tol="$TIME_TOLERANCE_MS" 'BEGIN {
        n = split(got, g, " "); m = split(want, w, " ")
        if (n != m) exit 1
        for (i = 1; i <= n; i++) { d = g[i] - w[i]; if (d < -tol || d > tol) exit 1 }
    }' || fail "$what '$got', expected '$expected' (within ${TIME_TOLERANCE_MS} ms)"
}

expect_onsets() { expect_column 2 "onsets" "$1"; }
expect_durations() { expect_column 3 "durations" "$1"; }
