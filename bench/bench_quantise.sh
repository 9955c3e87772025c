#!/bin/bash
# MIDI import as notation, beside MuseScore 3's import of the same files (run by hand):
#   bench/bench_quantise.sh BUILD_DIR
# Generated pieces (clean and performance-like copies): share of notes whose start and length
# come back exact. The openmsx songs: notation elements per sounding note, share of 64ths or
# shorter, share of notes sounding within a 32nd of the file, and the medians of each kind of
# element per note. Also the import time of the largest song. MuseScore's outputs are cached in $CACHE (it is slow).
set -e
build=${1:-build}
conv=$(realpath "$build/plinkel-convert")
here=$(dirname "$(realpath "$0")")
tool="/usr/bin/python3 $here/quantise_bench.py"
songs=/usr/share/games/openttd/baseset/openmsx
CACHE=${CACHE:-/tmp/plinkel_quantise_cache}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$CACHE/gen" "$CACHE/songs"

musescore() { # IN OUT
    [ -s "$2" ] || QT_QPA_PLATFORM=offscreen timeout 300 nice -n 10 mscore3 -o "$2" "$1" \
        >/dev/null 2>&1 || true
}

$tool generate "$work"
printf '%-18s %10s %10s\n' piece plinkel musescore3
for f in "$work"/*.mid; do
    b=$(basename "$f" .mid)
    "$conv" "$f" "$work/$b.musicxml"
    musescore "$f" "$CACHE/gen/$b.musicxml"
    printf '%-18s %10s %10s\n' "$b" "$($tool accuracy "$f" "$work/$b.musicxml" | cut -d' ' -f1)" \
        "$($tool accuracy "$f" "$CACHE/gen/$b.musicxml" | cut -d' ' -f1)"
done

echo
printf '%-24s %28s   %28s\n' '' 'plinkel: elem/note <=64th near' 'musescore3: elem/note <=64th near'
for f in "$songs"/*.mid; do
    b=$(basename "$f" .mid)
    "$conv" "$f" "$work/$b.musicxml"
    musescore "$f" "$CACHE/songs/$b.musicxml"
    ours=$($tool songs "$f" "$work/$b.musicxml")
    theirs=$($tool songs "$f" "$CACHE/songs/$b.musicxml")
    echo "$ours" >> "$work/ours.txt"
    echo "$theirs" >> "$work/theirs.txt"
    printf '%-24s %28s   %28s\n' "$b" "$ours" "$theirs"
done
median() { /usr/bin/python3 -c "import statistics, sys
rows = [list(map(float, l.split())) for l in open(sys.argv[1])]
print(' '.join('%.4f' % statistics.median(c) for c in zip(*rows)))" "$1"; }
printf '%-24s %28s   %28s\n' median "$(median "$work/ours.txt")" "$(median "$work/theirs.txt")"

pairs() { # XML_DIR
    for f in "$songs"/*.mid; do echo "$f $1/$(basename "$f" .mid).musicxml"; done
}
printf '\nmedians per sounding note\nplinkel:    %s\nmusescore3: %s\n' \
    "$($tool kinds $(pairs "$work"))" "$($tool kinds $(pairs "$CACHE/songs"))"

echo
largest=$(ls -S "$songs"/*.mid | head -1)
for i in 1 2 3; do
    /usr/bin/time -f "import and .seq write of $(basename "$largest"): %e s" \
        "$conv" "$largest" "$work/largest.seq"
done
