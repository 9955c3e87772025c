# Reading played notes out of the MIDI capture log: F5 with a wait for the notes, the messages
# rebuilt from the logged bytes, and checks of keys, onsets and durations in milliseconds.
# shellcheck shell=bash

NOTES=""            # the note messages of the last playback: "ms status key velocity"
PLAY_START=""       # ms of the first byte the last playback sent
# The player's timer runs late on a busy machine or under the sanitizers and then catches up,
# so a logged time may lag its ideal one by a good part of a beat (bench/bench_playback.sh
# measures how close the player really keeps). The checks therefore allow shares of the
# lengths involved, not fixed milliseconds: an onset may miss its place by just under half the
# smallest spacing of the notes checked (so it stays nearer its own place than its neighbour's),
# a duration may miss its length by under a third (a plain, dotted and doubled length stay apart).
ONSET_SHARE=0.45
DURATION_SHARE=0.3

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

hold_f5() { tap_key F5; }

# Presses F5 and waits until n notes have started and stopped.
play_and_collect() {
    local n=$1 mark
    NOTES="$WORK/notes.txt"
    mark=$(wc -l <"$WORK/midi.log")
    hold_f5
    wait_for 30 "$n notes played" collect_notes "$mark" "$n"
    settle
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

# The onsets, counted from the first note, lie in the expected order and each within
# ONSET_SHARE of the smallest expected spacing of its expected place ("0 500 1000" etc.).
expect_onsets() {
    local got
    got=$(played_notes | cut -d ' ' -f 2 | paste -s -d ' ')
    awk -v got="$got" -v want="$1" -v share="$ONSET_SHARE" 'BEGIN {
        n = split(got, g, " "); m = split(want, w, " ")
        if (n != m) exit 1
        gap = 0
        for (i = 2; i <= n; i++) {
            d = w[i] - w[i - 1]
            if (d > 0 && (gap == 0 || d < gap)) gap = d
            if (d > 0 && g[i] <= g[i - 1]) exit 1
        }
        tol = share * gap
        for (i = 2; i <= n; i++) { d = (g[i] - g[1]) - (w[i] - w[1]); if (d < -tol || d > tol) exit 1 }
    }' || fail "onsets '$got', expected '$1' (each within $ONSET_SHARE of the smallest spacing)"
}

# Each duration lies within DURATION_SHARE of its expected length (ms).
expect_durations() {
    local got
    got=$(played_notes | cut -d ' ' -f 3 | paste -s -d ' ')
    awk -v got="$got" -v want="$1" -v share="$DURATION_SHARE" 'BEGIN {
        n = split(got, g, " "); m = split(want, w, " ")
        if (n != m) exit 1
        for (i = 1; i <= n; i++) { d = g[i] - w[i]; if (d < -share * w[i] || d > share * w[i]) exit 1 }
    }' || fail "durations '$got', expected '$1' (each within $DURATION_SHARE of its length)"
}

# The first note starts between $1 and $2 ms after the playback began: the silence before it
# was played out, and no more than that.
expect_first_onset_between() {
    local got
    got=$(played_notes | head -n 1 | cut -d ' ' -f 2)
    awk -v got="$got" -v low="$1" -v high="$2" 'BEGIN { exit !(got != "" && got >= low && got < high) }' ||
        fail "first note at '$got' ms of playback, expected between $1 and $2 ms"
}
