#!/bin/bash
# Without an X display the program cannot start: status 1 and a message naming the cause.
source "$PLINKEL_E2E_LIB"
FIRST_START=1 # no plinkel.cfg beforehand: the failed start must not write one
e2e_init
sound_config none
unset DISPLAY

start_plinkel
wait_exit
expect_status 1
grep -q -i 'display' "$WORK/stderr" || fail "stderr does not mention the display"
[ ! -e "$RUN_DIR/plinkel.cfg" ] || fail "a failed start wrote plinkel.cfg"
echo "PASS"
