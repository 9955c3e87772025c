#!/usr/bin/env bash
# Runs the libFuzzer targets of the file readers, one after the other, each for a given time.
# A run that takes longer than TIMEOUT seconds on one input, or grows past RSS_MB of memory,
# counts as a finding like a crash; findings go to build-fuzz/findings/TARGET/ and the run stops.
# Usage: scripts/fuzz.sh [SECONDS] [TARGET...]   (targets: seq midi musicxml config calc; default all)
# Environment: TIMEOUT (default 25; it is wall time, and a shared machine stalls runs), RSS_MB
# (default 1024), MAX_LEN (largest input tried, default 8192; longer seeds are cut), JOBS
# (targets run at once, default 1).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-600}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(seq midi musicxml config calc)
build=$here/build-fuzz
# A smaller quarantine keeps the sanitizer's own memory well below the fuzzer's limit.
export ASAN_OPTIONS=${ASAN_OPTIONS:-quarantine_size_mb=64:detect_leaks=1}
songs=$(dirname "$(dpkg -L openttd-openmsx 2>/dev/null | grep -m1 '\.mid$')" 2>/dev/null || true)

bash "$here/scripts/deps.sh" fuzz
CC=clang CXX=clang++ cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DPLINKEL_FUZZ=ON -DPLINKEL_TESTS=OFF >/dev/null
available=()
for t in "${targets[@]}"; do
    [ -f "$here/fuzz/fuzz_$t.cpp" ] && available+=("$t") || echo "fuzz.sh: no target $t"
done
cmake --build "$build" -j2 --target plinkel-convert "${available[@]/#/fuzz_}" >/dev/null

# Seeds beyond the committed ones: the real songs, and the same songs converted to .seq.
seed_dirs() { # target
    echo "$here/fuzz/corpus/$1"
    if [ -d "$songs" ] && [ "$1" = midi ]; then echo "$songs"; fi
    if [ -d "$songs" ] && [ "$1" = seq ]; then
        local dir=$build/seeds/seq
        mkdir -p "$dir"
        for song in "$songs"/*.mid; do
            [ -f "$dir/$(basename "$song" .mid).seq" ] ||
                "$build/plinkel-convert" "$song" "$dir/$(basename "$song" .mid).seq" || true
        done
        echo "$dir"
    fi
}

run_one() { # target
    local t=$1 dict=()
    mkdir -p "$build/corpus/$t" "$build/findings/$t"
    [ -f "$here/fuzz/$t.dict" ] && dict=(-dict="$here/fuzz/$t.dict")
    mapfile -t seeds < <(seed_dirs "$t")
    local status=0
    nice -n 19 "$build/fuzz/fuzz_$t" "${dict[@]}" -max_total_time="$seconds" \
        -timeout="${TIMEOUT:-25}" -rss_limit_mb="${RSS_MB:-1024}" -max_len="${MAX_LEN:-8192}" \
        -close_fd_mask=1 \
        -print_final_stats=1 -artifact_prefix="$build/findings/$t/" \
        "$build/corpus/$t" "${seeds[@]}" >"$build/fuzz_$t.log" 2>&1 || status=$?
    local execs
    execs=$(grep -m1 'stat::number_of_executed_units' "$build/fuzz_$t.log" | awk '{print $2}')
    echo "fuzz_$t: exit $status, ${execs:-?} executions (log: $build/fuzz_$t.log)"
    return $status
}

status=0
if [ "${JOBS:-1}" -gt 1 ]; then
    pids=()
    for t in "${available[@]}"; do
        run_one "$t" &
        pids+=($!)
        while [ "$(jobs -rp | wc -l)" -ge "${JOBS}" ]; do sleep 5; done
    done
    for p in "${pids[@]}"; do wait "$p" || status=1; done
else
    for t in "${available[@]}"; do run_one "$t" || status=1; done
fi
exit $status
