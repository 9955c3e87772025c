#!/bin/bash
# A "plinkel.cfg" cut short after the path asks for depth 0 and a 0 x 0 screen: the program still
# starts in 640 x 480 at 8 bits, shows no message box, and writes a sound line back at exit.
source "$PLINKEL_E2E_LIB"
e2e_init
start_xvfb
sound_config none

printf '"x"' >"$RUN_DIR/plinkel.cfg"
start_plinkel
wait_window
size=$(window_size)
[ "$size" = "640 480" ] || fail "window is $size, expected 640 480"
press_until_exit Escape
expect_status 0
[ ! -s "$WORK/xmessage.log" ] || fail "a message box was shown: $(cat "$WORK/xmessage.log")"
actual=$(cat "$RUN_DIR/plinkel.cfg")
[ "$actual" = '"untitled" 8 640 480 0' ] || fail "plinkel.cfg holds '$actual'"
echo "PASS"
