#!/bin/bash
# A configuration asking for 16 bits at 800 x 600, windowed, gives an 800 x 600 window; the
# values are echoed at start and the same mode is written back at exit.
source "$PLINKEL_E2E_LIB"
e2e_init
start_xvfb
sound_config none

printf '"/some/dir/song.seq" 16 800 600 0\n' >"$RUN_DIR/plinkel.cfg"
start_plinkel
wait_window

step "window size"
size=$(window_size)
[ "$size" = "800 600" ] || fail "window is $size, expected 800 600"

press_until_exit Escape
expect_status 0

step "echo of the configuration"
grep -q -x '/some/dir/song.seq 16 800 600 0 ' "$WORK/stdout" ||
    fail "stdout lacks the echo '/some/dir/song.seq 16 800 600 0 '"

step "mode written back"
actual=$(cat "$RUN_DIR/plinkel.cfg")
[ "$actual" = '"untitled" 16 800 600 0' ] || fail "plinkel.cfg holds '$actual'"
echo "PASS"
