#!/bin/bash
# Shaping the tempo by drawing: "tempo editor" in the right-button menu opens the tempo graph;
# a stroke from tempo 100 to 140 over ten columns, applied with "Yes", becomes a staircase of
# tempo events that "write" stores, while the event after the stroke stays. A second stroke,
# kept on screen by "Cancel" and dropped by "No" at the quit button, changes nothing.
source "$PLINKEL_E2E_LIB"
source "$(dirname "${BASH_SOURCE[0]}")/menu_lib.sh"

MAIN_TEMPO_EDITOR=5
# The graph: column c spans x 64 + 8c .. 64 + 8c + 7; y reads as tempo 160 * (410 - y) / 300.
graph_x() { echo $((64 + 8 * $1 + 4)); }
Y_100=222
Y_140=147
Y_60=298
QUIT_X=606 # the quit button at the top right of a 640 x 480 screen
QUIT_Y=48

# Draws a stroke with the left button from column $1 at y $2 to column $3 at y $4, moving in
# steps as a hand would.
stroke() {
    local x1 y1=$2 x2 y2=$4 i steps=8
    x1=$(graph_x "$1")
    x2=$(graph_x "$3")
    mouse_move "$x1" "$y1"
    mouse_down 1
    for ((i = 1; i <= steps; i++)); do
        mouse_move $((x1 + (x2 - x1) * i / steps)) $((y1 + (y2 - y1) * i / steps))
    done
    hold_still
    mouse_up 1
}

# The "t" lines of measure $2 (from 1) of the .seq file $1, as "x value" per line.
measure_tempos() {
    awk -v want="$2" '$1 == "m" {n++} $1 == "t" && n == want {print $2, $3}' "$1"
}

write_song() {
    menu_child "$MAIN_FILE" "$FILE_WRITE"
    confirm_selector
}

e2e_init
start_xvfb
sound_config none
SONG="$RUN_DIR/song.seq"
cat >"$SONG" <<'EOF'
vudiz 25
tempo 120
num_track 1
track 0 0 0 -1
m 0 4 4
n 0 0 0 192 0 127
m 0 4 4
t 0 90
m 0 4 4
EOF

step "a stroke from 100 to 140 over ten columns, applied"
start_plinkel_with song.seq
wait_window
menu_main "$MAIN_TEMPO_EDITOR"
stroke 5 "$Y_100" 15 "$Y_140"
hold_key Escape
send_keys y
write_song
wait_file "$SONG.bak"
expected="0 120
160 100
192 104
224 108
256 112
288 116
320 120
352 124
384 128
416 132
448 136
480 140
512 120"
wait_for 5 "the staircase in song.seq" test "$(measure_tempos "$SONG" 1)" = "$expected"
[ "$(measure_tempos "$SONG" 2)" = "0 90" ] || fail "the event of measure 2 changed: $(measure_tempos "$SONG" 2)"
[ -z "$(measure_tempos "$SONG" 3)" ] || fail "measure 3 gained events: $(measure_tempos "$SONG" 3)"
grep -q '^n 0 0 0 192 0 127$' "$SONG" || fail "the note was lost"
cp "$SONG" "$WORK/applied.seq"

step "Cancel keeps the editor with the stroke; No at the quit button drops it"
menu_main "$MAIN_TEMPO_EDITOR"
stroke 30 "$Y_60" 40 "$Y_60"
hold_key Escape
send_keys c
plinkel_running || fail "Cancel ended the program"
grab_window "$WORK/cancelled.png"
blue=$(count_colour "$WORK/cancelled.png" "0 0 255" "72x5+$(graph_x 31)+$((Y_60 - 2))")
[ "$blue" -ge 60 ] || fail "the stroke is not on the graph after Cancel (blue pixels: $blue)"
mouse_click 1 "$QUIT_X" "$QUIT_Y"
send_keys n
write_song
wait_file "$SONG"
cmp -s "$SONG" "$WORK/applied.seq" || fail "No changed the tempo: $(diff "$WORK/applied.seq" "$SONG")"

press_until_exit Escape
expect_status 0
echo PASS
