#!/bin/bash
# Times plinkel-convert writing and reading MusicXML of the largest real song (imported at
# grid 48) against MuseScore 3 converting the same song and reading the same MusicXML.
# Usage: bench/bench_musicxml.sh BUILD_DIR
set -euo pipefail
build=${1:?usage: bench_musicxml.sh BUILD_DIR}
conv=$(cd "$build" && pwd)/plinkel-convert
song=/usr/share/games/openttd/baseset/openmsx/keep_on_rolling.mid
runs=5
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work"

# Milliseconds per run of a command.
per_run() {
    local n=$1 start end
    shift
    start=$(date +%s%N)
    for _ in $(seq "$n"); do "$@" >/dev/null 2>&1; done
    end=$(date +%s%N)
    echo $(((end - start) / n / 1000000))
}

"$conv" --grid 48 "$song" song.seq
"$conv" song.seq song.musicxml
echo "song: $(basename "$song"), our MusicXML $(stat -c %s song.musicxml) bytes"
echo "plinkel .seq -> .seq (baseline):     $(per_run $runs "$conv" song.seq copy.seq) ms"
echo "plinkel .seq -> .musicxml (write):   $(per_run $runs "$conv" song.seq out.musicxml) ms"
echo "plinkel .musicxml -> .seq (read):    $(per_run $runs "$conv" song.musicxml back.seq) ms"
command -v mscore3 >/dev/null || { echo "mscore3 is not installed"; exit 0; }
echo "MuseScore .mid -> .musicxml:         $(per_run 1 mscore3 -o ms.musicxml "$song") ms"
echo "MuseScore our .musicxml -> .mid:     $(per_run 1 mscore3 -o ms.mid song.musicxml) ms"
