#!/bin/bash
# PIC16 export end to end: plinkel-convert writes the compressed tables and the two listings
# into the working directory; gpasm assembles both tables inside a wrapper that defines DATA_BUF
# and PC; the music read back from gpasm's hex output, with every back-reference expanded, is
# the uncompressed music of "out.asm". A song whose tables would be misread is refused.
set -euo pipefail
conv="${PLINKEL_PREFIX:?}/bin/plinkel-convert"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
unset DISPLAY
fails=0
check() {
    if "$@"; then :; else echo "FAILED: $*"; fails=$((fails + 1)); fi
}

# A phrase of eight notes played three times, then a different ending: compressible.
{
    printf 'vudiz 25\ntempo 120\nnum_track 1\ntrack 0 0 0 -1\n'
    for rep in 1 2 3; do
        printf 'm 0 4 4\nn 0 0 0 192 0 100\nn 192 2 0 192 0 100\nn 384 4 0 96 0 100\nn 480 5 0 96 0 100\nn 576 4 0 192 0 100\n'
        printf 'm 0 4 4\nn 0 2 0 288 0 100\nn 288 1 0 96 0 100\nn 384 0 0 384 0 100\n'
    done
    printf 'm 0 4 4\nn 0 7 0 768 0 100\n'
} >tune.seq

check "$conv" tune.seq tune.asm
check test -s tune.asm
check test -s out.asm
check test -s out2.asm

assemble() { # table file, hex output
    printf '\tprocessor p16f877a\n\terrorlevel -203\nDATA_BUF\tequ\t0x20\nPC\tequ\t0x02\n\torg\t0\n#include "%s"\n\tend\n' "$1" >"wrap_$1"
    gpasm -o "$2" "wrap_$1" >"gpasm_$1.log" 2>&1 && ! grep -qi error "gpasm_$1.log"
}
check assemble tune.asm tune.hex
check assemble out.asm out.hex

# The tables from the assembled words: RETLW k is 0x34kk; each table starts after the
# computed jump MOVF DATA_BUF,W (0x0820) and ADDWF PC,F (0x0782).
check /usr/bin/python3 - tune.hex out.hex <<'PY'
import sys

def words(path):
    mem = {}
    for line in open(path):
        raw = bytes.fromhex(line.strip()[1:])
        n, addr, kind = raw[0], raw[1] << 8 | raw[2], raw[3]
        if kind == 0:
            for i in range(0, n, 2):
                mem[(addr + i) // 2] = raw[4 + i] | raw[5 + i] << 8
    return [mem[a] for a in sorted(mem)]

def tables(path):
    w, out, cur = words(path), [], []
    i = 0
    while i < len(w):
        if w[i] == 0x0820 and i + 1 < len(w) and w[i + 1] == 0x0782:
            out.append(cur)
            cur = []
            i += 2
            continue
        assert w[i] & 0x3C00 == 0x3400, hex(w[i])
        cur.append(w[i] & 0xFF)
        i += 1
    out.append(cur)
    return out  # information, durations, pitches, music

def expand(music):
    out, i = [], 0
    while music[i] != 0xFF:
        if music[i] == 0xFE:
            s, e = music[i + 1], music[i + 2]
            assert s < e <= i and 0xFE not in music[s:e], (s, e)
            out += music[s:e]
            i += 3
        else:
            out.append(music[i])
            i += 1
    return out

packed, plain = tables(sys.argv[1]), tables(sys.argv[2])
assert packed[:3] == plain[:3], "the pitch, duration and shift tables differ"
assert 0xFE in packed[3], "nothing was compressed"
assert len(packed[3]) < len(plain[3])
assert expand(packed[3]) == plain[3][:-2], "the expanded music differs from out.asm"
assert plain[2][-1] == 0xFF and plain[3][-2:] == [0xFF, 0xFF]
PY

# A real multi-track song has too many pitches and durations for one byte per note.
song=/usr/share/games/openttd/baseset/openmsx/keep_on_rolling.mid
if [ -f "$song" ]; then
    set +e
    err=$("$conv" --grid 48 "$song" song.asm 2>&1)
    status=$?
    set -e
    check test "$status" = 1
    check test ! -e song.asm
    case "$err" in *"do not fit the PIC16 tables"*) ;; *) check false "message: $err" ;; esac
fi

echo "$fails failures"
test "$fails" = 0
