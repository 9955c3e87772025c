#!/bin/bash
# Hearing the score through the software synthesiser, with FluidSynth's file audio driver in
# place of a sound card: a plain start picks the synthesiser; F5 sounds entered notes at their
# pitches (middle C and G); Q silences playback before the measure ends. Without a soundfont the editor starts
# silently and says why once on standard error.
source "$PLINKEL_E2E_LIB"
ANALYSE="/usr/bin/python3 $(dirname "${BASH_SOURCE[0]}")/wav_analysis.py"

ORIGIN_X=63
ORIGIN_Y=156
C_HZ=261.6
G_HZ=392.0

col_x() { echo $((ORIGIN_X + 30 * $1)); }
pos_y() { echo $((ORIGIN_Y - 6 * $1)); }

# allegro.cfg naming no MIDI driver, so the library autodetects; extra lines from the arguments.
synth_config() {
    mkdir -p "$WORK/allegro"
    printf '[sound]\n%s\n' "$@" >"$WORK/allegro/allegro.cfg"
    export ALLEGRO="$WORK/allegro"
}

plus() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a + b }'; }

hold_key() {
    timeout 5 xdotool keydown "$1" 2>/dev/null
    sleep 0.1
    timeout 5 xdotool keyup "$1" 2>/dev/null
}

# Fails unless frequency $1 lies within 2 % of $2.
expect_hz() {
    awk -v got="$1" -v want="$2" 'BEGIN { exit !(got > want * 0.98 && got < want * 1.02) }' ||
        fail "$3: strongest frequency $1 Hz, expected about $2 Hz"
}

e2e_init
start_xvfb
WAV="$WORK/out.wav"
synth_config "fluid_audio = file" "fluid_audio_file = $WAV"
start_plinkel
wait_window

step "enter C, G, C, G, play, then play again and stop"
for k in 0 1 2 3; do
    mouse_click 1 "$(col_x $k)" "$(pos_y $((k % 2 * 4)))"
done
sleep 1.5
hold_key F5
sleep 2.8 # the measure of 2 s and the release
hold_key F5
sleep 0.6
hold_key q
sleep 2.0
press_until_exit Escape
expect_status 0
[ -s "$WAV" ] || fail "the synthesiser recorded nothing: a plain start did not pick it"
grep -q . "$WORK/stderr" && fail "messages on standard error: $(head -n 3 "$WORK/stderr")"

step "analyse the recording"
# The last two stretches of sound: the measure played, then the stopped playback.
mapfile -t regions < <($ANALYSE regions "$WAV")
[ "${#regions[@]}" -ge 3 ] || fail "expected entry, playback and stopped playback: ${regions[*]}"
read -r play_start play_end <<<"${regions[-2]}"
read -r stop_start stop_end <<<"${regions[-1]}"
# Four quarter notes of 0.5 s each sound without a break.
awk -v s="$play_start" -v e="$play_end" 'BEGIN { exit !(e - s > 1.9) }' ||
    fail "the measure sounded only from $play_start to $play_end s"
expect_hz "$($ANALYSE pitch "$WAV" "$(plus $play_start 0.05)" "$(plus $play_start 0.45)")" \
    "$C_HZ" "first quarter"
expect_hz "$($ANALYSE pitch "$WAV" "$(plus $play_start 0.55)" "$(plus $play_start 0.95)")" \
    "$G_HZ" "second quarter"
expect_hz "$($ANALYSE pitch "$WAV" "$stop_start" "$(plus $stop_start 0.2)")" "$C_HZ" \
    "stopped playback"
awk -v s="$stop_start" -v e="$stop_end" 'BEGIN { exit !(e - s < 1.6) }' ||
    fail "after Q the sound went on from $stop_start to $stop_end s"

step "no soundfont: silent start, one line on standard error"
synth_config "fluid_audio = file" "fluid_audio_file = $WAV.2" "soundfont = $WORK/none.sf2"
start_plinkel
wait_window
press_until_exit Escape
expect_status 0
[ "$(wc -l <"$WORK/stderr")" = 1 ] && grep -q '^plinkel: no sound: .*soundfont' "$WORK/stderr" ||
    fail "standard error: $(head -n 5 "$WORK/stderr")"
[ ! -e "$WAV.2" ] || fail "audio written without a soundfont"
echo "PASS"
