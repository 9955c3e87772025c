#!/bin/bash
# Loudness and true peak of audio export beside MuseScore 3's export of the same MIDI file, for
# a few real songs (openttd-openmsx), measured by bench/loudness.py (libebur128); each of our
# formats is opened by sndfile-info.
#   PLINKEL_PREFIX=INSTALLED_TREE bench/bench_loudness.sh [SONG.mid...]
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
conv="${PLINKEL_PREFIX:?name the installed tree in PLINKEL_PREFIX}/bin/plinkel-convert"
songs=("$@")
if [ ${#songs[@]} = 0 ]; then
    dir=/usr/share/games/openttd/baseset/openmsx
    songs=("$dir/tttheme2.mid" "$dir/city_blues_redfarn.mid" "$dir/flying_scotsman.mid"
        "$dir/harp_harmony.mid" "$dir/keep_on_rolling.mid")
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for song in "${songs[@]}"; do
    name=$(basename "$song" .mid)
    for ext in wav flac ogg mp3; do
        start=$(date +%s.%N)
        nice "$conv" "$song" "$work/$name.$ext" 2>/dev/null
        end=$(date +%s.%N)
        printf 'plinkel %-5s %5.1f s  ' "$ext" "$(echo "$end - $start" | bc)"
        /usr/bin/python3 "$here/loudness.py" "$work/$name.$ext"
        sndfile-info "$work/$name.$ext" | grep -E '^(Format|Duration)' | paste -s -d ' ' | sed 's/^/    /'
    done
    QT_QPA_PLATFORM=offscreen nice timeout 600 mscore3 -o "$work/$name.ms.wav" "$song" >/dev/null 2>&1 || true
    if [ -s "$work/$name.ms.wav" ]; then
        printf 'MuseScore 3 wav          '
        /usr/bin/python3 "$here/loudness.py" "$work/$name.ms.wav"
    fi
done
