#!/bin/bash
# plinkel-convert to audio: a staccato scale sounds each note at its score time, within 10 ms, at
# a steady tempo and across a tempo change, in WAV, and decoded back from FLAC and Ogg Vorbis
# (sndfile-convert) too, each file opened by sndfile-info as its format; a score that cannot be
# rendered leaves no file.
set -euo pipefail
conv="${PLINKEL_PREFIX:?}/bin/plinkel-convert"
analyse="/usr/bin/python3 $(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/wav_analysis.py"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
unset DISPLAY
export ALLEGRO="$work" # an allegro.cfg of our own, empty unless a case writes one
: >allegro.cfg
TOLERANCE_MS=10
fails=0

# A scale of eighth notes on every quarter over two 4/4 measures, played on a square-wave lead
# (program 80), whose attack starts at once; $1 is the starting tempo, $2 an optional tempo
# event at the second measure.
scale() {
    printf 'vudiz 25\ntempo %s\nnum_track 1\ntrack 0 0 80 -1\n' "$1"
    printf 'm 0 4 4\n'
    for i in 0 1 2 3; do printf 'n %d %d 0 96 0 100\n' $((i * 192)) "$i"; done
    printf 'm 0 4 4\n'
    [ -n "${2:-}" ] && printf 't 0 %s\n' "$2"
    for i in 0 1 2 3; do printf 'n %d %d 0 96 0 100\n' $((i * 192)) $((i + 4)); done
}

# Expected onsets in ms: four quarters at tempo $1, then four at tempo $2.
expected() {
    awk -v a="$1" -v b="$2" 'BEGIN {
        for (i = 0; i < 4; i++) printf "%d ", i * 60000 / a
        for (i = 0; i < 4; i++) printf "%d ", 4 * 60000 / a + i * 60000 / b
    }'
}

# What sndfile-info says each format is.
declare -A FORMAT_INFO=([wav]="WAVE_FORMAT_PCM" [flac]="0x00170002" [ogg]="Vorbis")

check_onsets() { # name, tempo, tempo event, extension
    local ext=${4:-wav}
    scale "$2" "${3:-}" >"$1.seq"
    "$conv" "$1.seq" "$1.$ext" || { echo "FAILED: $1: conversion"; fails=$((fails + 1)); return; }
    if ! sndfile-info "$1.$ext" | grep -q "${FORMAT_INFO[$ext]}"; then
        echo "FAILED: $1.$ext: sndfile-info does not see ${FORMAT_INFO[$ext]}"
        fails=$((fails + 1))
    fi
    [ "$ext" = wav ] || sndfile-convert -pcm16 "$1.$ext" "$1.wav" >/dev/null ||
        { echo "FAILED: $1.$ext cannot be decoded"; fails=$((fails + 1)); return; }
    local got want
    got=$($analyse onsets "$1.wav" | paste -s -d ' ')
    want=$(expected "$2" "${3:-$2}")
    if ! awk -v g="$got" -v w="$want" -v tol="$TOLERANCE_MS" 'BEGIN {
        n = split(g, a, " "); m = split(w, b, " "); if (n != m) exit 1
        for (i = 1; i <= n; i++) if (a[i] - b[i] > tol || b[i] - a[i] > tol) exit 1 }'; then
        echo "FAILED: $1: onsets '$got', expected '$want' (within $TOLERANCE_MS ms)"
        fails=$((fails + 1))
    fi
}

check_onsets steady 120
check_onsets change 90 150
check_onsets flac 120 "" flac
check_onsets ogg 90 150 ogg

# No soundfont: status 1, one line naming it, no file; an old file stays as it was.
printf '[sound]\nsoundfont = %s/none.sf2\n' "$work" >allegro.cfg
echo old >old.wav
set +e
err=$("$conv" steady.seq old.wav 2>&1)
status=$?
set -e
if [ "$status" != 1 ] || [ "$(printf '%s\n' "$err" | wc -l)" != 1 ] ||
    ! grep -q none.sf2 <<<"$err" || [ "$(cat old.wav)" != old ] || [ -n "$(ls old.wav.tmp* 2>/dev/null)" ]; then
    echo "FAILED: without a soundfont: status $status, '$err'"
    fails=$((fails + 1))
fi

[ "$fails" = 0 ] && echo PASS
exit "$fails"
