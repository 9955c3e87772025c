#!/bin/bash
# plinkel-convert end to end: conversions in every direction without a display, silence unless
# --verbose, exit status and one-line messages on failure, and no half-written output.
set -euo pipefail
conv="${PLINKEL_PREFIX:?}/bin/plinkel-convert"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
unset DISPLAY
fails=0
passes=0
check() {
    if "$@"; then passes=$((passes + 1)); else echo "FAILED: $*"; fails=$((fails + 1)); fi
}

cat > one.seq <<'SEQ'
vudiz 25
tempo 120
num_track 1
track 0 0 0 -1
m 0 4 4
n 0 0 0 192 0 127
t 0 120
SEQ

out=$("$conv" one.seq one.mid 2>&1)
check test -z "$out"
check test -s one.mid
"$conv" one.mid back.seq
check cmp -s one.seq back.seq
"$conv" one.seq copy.seq && check cmp -s one.seq copy.seq
"$conv" one.mid copy.mid && check cmp -s one.mid copy.mid
check test "$("$conv" --verbose one.mid v.seq | grep -c 'read succeeded.')" = 1

song=/usr/share/games/openttd/baseset/openmsx/keep_on_rolling.mid
if [ -f "$song" ]; then
    "$conv" --grid 100 "$song" song.seq
    check grep -q '^m ' song.seq
fi

# failures: status 1, one line on stderr, no output file left behind
expect_failure() {
    local target=$1
    shift
    set +e
    err=$("$conv" "$@" 2>&1 >/dev/null)
    status=$?
    set -e
    check test "$status" = 1
    check test "$(printf '%s\n' "$err" | wc -l)" = 1
    check test ! -e "$target"
}
printf 'vudiz 25\nn 0 0 0 192 0 127\n' > bad.seq
expect_failure bad.mid bad.seq bad.mid
printf 'MThd garbage' > bad.mid
expect_failure out.seq bad.mid out.seq
expect_failure out.seq missing.mid out.seq
expect_failure out.txt one.seq out.txt
expect_failure out.seq --grid 2 one.mid out.seq
expect_failure out.seq --grid 5000 one.mid out.seq

# help and version on standard output with status 0; a wrong option or a missing file name
# prints the usage on standard error with status 2
check test "$("$conv" --help | head -n 1)" = "Usage: plinkel-convert [OPTION]... INPUT OUTPUT"
for word in --grid --verbose --version .seq .mid .musicxml .mxl .ly .asm .wav 'Exit status'; do
    check grep -q -e "$word" <<<"$("$conv" -h)"
done
check grep -q -x 'plinkel-convert [0-9][0-9.]*' <<<"$("$conv" --version)"
expect_usage_error() {
    set +e
    err=$("$conv" "$@" 2>&1 >/dev/null)
    status=$?
    set -e
    check test "$status" = 2
    check grep -q '^Usage: plinkel-convert' <<<"$err"
}
expect_usage_error --help=x one.seq out.mid
expect_usage_error --frobnicate one.seq out.mid
expect_usage_error -q one.seq out.mid
expect_usage_error one.seq
expect_usage_error one.seq out.mid extra.mid
expect_usage_error one.seq out.mid --grid
check test ! -e out.mid

# a batch: every good file converted into the directory, the bad one named on standard error,
# a summary line, status 1; the progress bar shows on a terminal only
mkdir batch
cp one.seq two.seq
set +e
summary=$("$conv" -o batch --to mid -j 2 one.seq bad.mid two.seq 2>batch.err)
status=$?
set -e
check test "$status" = 1
check test "$summary" = "plinkel-convert: 2 of 3 files converted, 1 failed"
check cmp -s batch/one.mid one.mid
check cmp -s batch/two.mid one.mid
check test ! -e batch/bad.mid
check grep -q '^plinkel-convert: bad.mid: ' batch.err
check test "$(wc -l <batch.err)" = 1
check test "$("$conv" -o batch --to ly one.seq two.seq)" = \
    "plinkel-convert: 2 of 2 files converted, 0 failed"
# on a terminal (script gives it one) a progress bar counts the files done
check script -q -e -c "'$conv' -o batch --to mid one.seq two.seq" "$work/tty.out" >/dev/null
check grep -q '] 2/2' "$work/tty.out"
expect_usage_error -o batch one.seq
expect_usage_error -o batch --to txt one.seq
expect_usage_error -o batch --to mid one.seq ./one.seq
expect_usage_error -j 0 -o batch --to mid one.seq
expect_usage_error --to mid one.seq out.mid

# A score too long for MIDI times: no track can be written, so neither is a file.
{
    printf 'vudiz 25\ntempo 120\nnum_track 1\ntrack 0 0 0 -1\n'
    for _ in $(seq 4200); do echo 'm 0 42 1'; done
} > long.seq
expect_failure long.mid long.seq long.mid
check test -z "$(ls -A | grep tmp || true)"

echo "$passes passed, $fails failed"
test "$fails" = 0
