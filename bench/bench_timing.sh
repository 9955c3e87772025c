#!/bin/bash
# Heard timing of live playback: 48 sixteenths of a wood block at tempo 120, played with F5 and
# with background playback through FluidSynth's file audio driver (paced in real time like a
# sound card), beside the offline rendering of the same score by plinkel-convert. The onsets of
# each recording are fitted to even time; the deviations from the fit are reported.
# With PLINKEL_PEER naming a second installed tree (say a build without the play line), each F5
# run is made with both, one after the other, so that the load of the machine falls on both.
#   PLINKEL_PREFIX=INSTALLED_TREE [PLINKEL_PEER=OTHER_TREE] bench/bench_timing.sh [F5_RUNS]
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
export PLINKEL_PREFIX=${PLINKEL_PREFIX:?name the installed tree in PLINKEL_PREFIX}
source "$here/../tests/e2e/lib.sh"
source "$here/../tests/e2e/menu_lib.sh"
ANALYSE="/usr/bin/python3 $here/../tests/e2e/wav_analysis.py"
RUNS=${1:-3}
NOTES=48
PLAY_S=7.5 # the 6 s of the score and the release of its last note

# Three 4/4 measures of sixteenths (48 ticks apart), each a 32nd long, on the percussion channel:
# staff position 9 is key 76, the high wood block.
timing_score() {
    printf 'vudiz 25\ntempo 120\nnum_track 1\ntrack 0 9 128 -1\n'
    for _ in 1 2 3; do
        printf 'm 0 4 4\n'
        for ((i = 0; i < 16; i++)); do printf 'n %d 9 0 24 0 110\n' $((i * 48)); done
    done
}

file_driver() {
    mkdir -p "$WORK/allegro"
    printf '[sound]\nfluid_audio = file\nfluid_audio_file = %s\n' "$1" >"$WORK/allegro/allegro.cfg"
    export ALLEGRO="$WORK/allegro"
}

report() { # label, recording
    local count interval p99 max _
    read -r count interval p99 max _ < <($ANALYSE evenness "$2")
    printf '%-22s onsets %2d  interval %8s ms  p99 %6s ms  max %6s ms\n' "$1" "$count" \
        "$interval" "$p99" "$max"
    [ "$count" = "$NOTES" ] || echo "  (expected $NOTES onsets)"
}

e2e_init
start_xvfb
timing_score >"$RUN_DIR/timing.seq"

(cd "$RUN_DIR" && ALLEGRO="$WORK" "$PLINKEL_PREFIX/bin/plinkel-convert" timing.seq "$WORK/offline.wav") ||
    fail "offline rendering"
report "offline rendering" "$WORK/offline.wav"

f5_run() { # label, installed tree
    PLINKEL_BIN="$2/bin/plinkel"
    file_driver "$WORK/f5.wav"
    start_plinkel_with timing.seq
    wait_window
    hold_key F5
    sleep "$PLAY_S"
    press_until_exit Escape
    report "$1" "$WORK/f5.wav"
}

for ((run = 1; run <= RUNS; run++)); do
    f5_run "F5, run $run" "$PLINKEL_PREFIX"
    [ -n "${PLINKEL_PEER:-}" ] && f5_run "F5 peer, run $run" "$PLINKEL_PEER"
done
PLINKEL_BIN="$PLINKEL_PREFIX/bin/plinkel"

file_driver "$WORK/background.wav"
start_plinkel_with timing.seq
wait_window
menu_child "$MAIN_PLAY" "$PLAY_BACKGROUND"
sleep "$PLAY_S"
press_until_exit Escape
report "background playback" "$WORK/background.wav"
