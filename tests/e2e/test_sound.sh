#!/bin/bash
# Hearing the score through the software synthesiser, with FluidSynth's file audio driver in
# place of a sound card: a plain start picks the synthesiser; F5 sounds entered notes at their
# pitches (middle C and G); Q silences playback before the measure ends; background playback
# (the library's MIDI player) sounds through the same synthesiser; sixteenths played with F5 are
# heard each one, evenly (within a bound generous enough for a busy machine: the strict figure
# is bench/bench_timing.sh's); "write audio" writes the format of the extension chosen, and the
# next export proposes that format. Without a soundfont the editor starts silently and says why once
# on standard error.
source "$PLINKEL_E2E_LIB"
source "$(dirname "${BASH_SOURCE[0]}")/menu_lib.sh"
ANALYSE="/usr/bin/python3 $(dirname "${BASH_SOURCE[0]}")/wav_analysis.py"

C_HZ=261.6
G_HZ=392.0
# Sixteenths heard, of 32, and their median deviation from even time (ms): about 0.3 ms on a quiet
# machine, and 2.5 ms while events waited for the start of the next audio period.
EVEN_MIN_HEARD=24
EVEN_MEDIAN_MS=1.5

# allegro.cfg naming no MIDI driver, so the library autodetects; extra lines from the arguments.
synth_config() {
    mkdir -p "$WORK/allegro"
    printf '[sound]\n%s\n' "$@" >"$WORK/allegro/allegro.cfg"
    export ALLEGRO="$WORK/allegro"
}

plus() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a + b }'; }

# Fails unless frequency $1 lies within 2 % of $2.
expect_hz() {
    [ -n "$1" ] || fail "$3: nothing to analyse"
    awk -v got="$1" -v want="$2" 'BEGIN { exit !(got > want * 0.98 && got < want * 1.02) }' ||
        fail "$3: strongest frequency $1 Hz, expected about $2 Hz"
}

# Keys that start or stop the music are held briefly as a hand would: the pauses between them
# are what the recording is checked against.
play_key() {
    timeout 5 xdotool keydown "$1" 2>/dev/null || fail "keydown $1"
    hold_still
    timeout 5 xdotool keyup "$1" 2>/dev/null || fail "keyup $1"
}

e2e_init
start_xvfb
WAV="$WORK/out.wav"
synth_config "fluid_audio = file" "fluid_audio_file = $WAV"
start_new_score

step "enter C, G, C, G, play, then play again and stop"
for k in 0 1 2 3; do
    mouse_click 1 "$(col_x $k)" "$(pos_y $((k % 2 * 4)))"
done
sleep 1.5
play_key F5
sleep 2.8 # the measure of 2 s and the release
play_key F5
sleep 0.3
play_key q
sleep 2.0
hold_key Escape
answer_save_question No
wait_exit
expect_status 0
[ -s "$WAV" ] || fail "the synthesiser recorded nothing: a plain start did not pick it"
grep -v -q '^plinkel: no MIDI input: ' "$WORK/stderr" &&
    fail "messages on standard error: $(head -n 3 "$WORK/stderr")"

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

step "background playback"
printf 'vudiz 25\ntempo 120\nnum_track 1\ntrack 0 0 0 -1\nm 0 4 4\nn 0 4 0 384 0 100\n' \
    >"$RUN_DIR/g.seq"
synth_config "fluid_audio = file" "fluid_audio_file = $WAV.bg"
start_plinkel_with g.seq
wait_window
menu_child "$MAIN_PLAY" "$PLAY_BACKGROUND"
sleep 1.5
press_until_exit Escape
expect_status 0
read -r bg_start _ < <($ANALYSE regions "$WAV.bg" | tail -n 1)
[ -n "$bg_start" ] || fail "background playback was silent"
expect_hz "$($ANALYSE pitch "$WAV.bg" "$bg_start" "$(plus $bg_start 0.4)")" "$G_HZ" \
    "background playback"

step "sixteenths with F5: every one heard, evenly"
# Two measures of sixteenths on the high wood block (percussion, staff position 9 is key 76).
{
    printf 'vudiz 25\ntempo 120\nnum_track 1\ntrack 0 9 128 -1\n'
    for _ in 1 2; do
        printf 'm 0 4 4\n'
        for ((i = 0; i < 16; i++)); do printf 'n %d 9 0 24 0 110\n' $((i * 48)); done
    done
} >"$RUN_DIR/even.seq"
synth_config "fluid_audio = file" "fluid_audio_file = $WAV.even"
start_plinkel_with even.seq
wait_window
play_key F5
sleep 4.5 # the 4 s of the score and the release of its last note
press_until_exit Escape
expect_status 0
# A machine too busy to keep time may merge or shift a few notes: the check is on the most.
read -r count _ _ _ median < <($ANALYSE evenness "$WAV.even")
[ "${count:-0}" -ge "$EVEN_MIN_HEARD" ] && [ "$count" -le 32 ] ||
    fail "heard ${count:-no} onsets of 32 sixteenths"
awk -v m="$median" -v bound="$EVEN_MEDIAN_MS" 'BEGIN { exit !(m < bound) }' ||
    fail "the sixteenths stray from even time by $median ms (median)"

step "write audio as FLAC; the next export proposes FLAC"
sound_config capture
start_plinkel_with g.seq
wait_window
menu_child "$MAIN_FILE" "$FILE_WRITE_AUDIO"
select_name g.wav g.flac
wait_file "$RUN_DIR/g.flac" 60
sndfile-info "$RUN_DIR/g.flac" | grep -q 'Format *: 0x00170002' || fail "g.flac is no FLAC file"
menu_child "$MAIN_FILE" "$FILE_WRITE"
select_name g.seq h.seq
wait_file "$RUN_DIR/h.seq"
menu_child "$MAIN_FILE" "$FILE_WRITE_AUDIO"
confirm_selector
wait_file "$RUN_DIR/h.flac" 60
quit_without_saving
expect_status 0

step "no soundfont: silent start, one line on standard error"
synth_config "fluid_audio = file" "fluid_audio_file = $WAV.2" "soundfont = $WORK/none.sf2"
start_new_score
press_until_exit Escape
expect_status 0
[ "$(grep -v -c '^plinkel: no MIDI input: ' "$WORK/stderr")" = 1 ] &&
    grep -q '^plinkel: no sound: .*soundfont' "$WORK/stderr" ||
    fail "standard error: $(head -n 5 "$WORK/stderr")"
[ ! -e "$WAV.2" ] || fail "audio written without a soundfont"
echo "PASS"
