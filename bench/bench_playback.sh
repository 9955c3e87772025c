#!/bin/bash
# Runs bench_playback on a private Xvfb display (the library's timer needs a real system
# driver) in the build directory, where mfont.pcx is generated.
#   bench/bench_playback.sh BUILD_DIR [benchmark options...]
set -u
build=${1:?usage: bench_playback.sh BUILD_DIR [options]}
shift
program="$build/bench/bench_playback"
[ -x "$program" ] || { echo "no $program (configure with -DPLINKEL_BENCH=ON)" >&2; exit 1; }

display=""
for ((n = 170; n <= 199; n++)); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb=$!
    for _ in $(seq 50); do
        xdpyinfo -display ":$n" >/dev/null 2>&1 && { display=":$n"; break; }
        kill -0 "$xvfb" 2>/dev/null || break
        sleep 0.1
    done
    [ -n "$display" ] && break
    kill "$xvfb" 2>/dev/null
    wait "$xvfb" 2>/dev/null
done
[ -n "$display" ] || { echo "no free display for Xvfb" >&2; exit 1; }
trap 'kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null' EXIT

program=$(cd "$(dirname "$program")" && pwd)/bench_playback
cd "$build" && DISPLAY=$display timeout 300 "$program" "$@"
