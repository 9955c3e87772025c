#!/bin/bash
# Loads every generated worst case (bench/worst_cases.py) and every file of the test corpora with
# plinkel-convert and prints its wall time, processor time, peak memory and outcome. A Release
# build should stay within 2 s and 300 MB for each. Usage: bench/worst_cases.sh BUILD_DIR
set -euo pipefail
build=${1:?usage: worst_cases.sh BUILD_DIR}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d /tmp/plinkel_worst.XXXXXX)
trap 'rm -rf "$work"' EXIT
/usr/bin/python3 "$here/worst_cases.py" "$work/in"
corpus=(/usr/share/games/openttd/baseset/openmsx/*.mid "$here"/../fuzz/corpus/*/*)
for f in "$work"/in/* "${corpus[@]}"; do
    [ -f "$f" ] || continue
    case $f in *.seq) out=$work/out.seq ;; *.mid) out=$work/out.mid ;; *) continue ;; esac
    result=$( { /usr/bin/time -f "wall %e s  cpu %U+%S s  %M KB" \
                timeout 20 "$build/plinkel-convert" "$f" "$out" 2>&1 >/dev/null && echo ok; } |
              tr '\n' ' ' || true)
    printf '%-44s %s\n' "$(basename "$f")" "$result"
done
