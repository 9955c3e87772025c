#!/bin/bash
# Runs the file benchmarks and times midicsv on the same MIDI files, side by side.
# Usage: bench/bench_files.sh BUILD_DIR   (a build configured with -DPLINKEL_BENCH=ON)
set -euo pipefail
build=${1:?usage: bench_files.sh BUILD_DIR}
"$build/bench/bench_files" --benchmark_min_time=1
command -v midicsv >/dev/null || { echo "midicsv is not installed"; exit 0; }
for f in /usr/share/games/openttd/baseset/openmsx/keep_on_rolling.mid /tmp/plinkel_bench_1mb.mid; do
    [ -f "$f" ] || continue
    runs=20
    start=$(date +%s%N)
    for _ in $(seq $runs); do midicsv "$f" /dev/null; done
    end=$(date +%s%N)
    echo "midicsv $(basename "$f"): $(( (end - start) / runs / 1000 )) us per run ($(stat -c %s "$f") bytes)"
done
