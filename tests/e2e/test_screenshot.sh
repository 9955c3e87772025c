#!/bin/bash
# F12 saves the last drawn picture as "screenshot.bmp" in the working directory: a picture of
# the screen's size on the white background, with the text of the status panel in black.
source "$PLINKEL_E2E_LIB"
e2e_init
start_xvfb
sound_config none

start_plinkel
wait_window
accept_new_score
screenshot "$WORK/shot.bmp"
size=$("$IM_CONVERT" "$WORK/shot.bmp" -format '%w %h' info:- 2>/dev/null)
[ "$size" = "640 480" ] || fail "screenshot is '$size', expected 640 480"
[ "$(pixel "$WORK/shot.bmp" 2 470)" = "255 255 255" ] ||
    fail "background at (2, 470) is '$(pixel "$WORK/shot.bmp" 2 470)', expected white"
black=$(count_colour "$WORK/shot.bmp" "0 0 0" 640x24+0+0)
[ "$black" -gt 20 ] || fail "only $black black pixels in the status panel"

step "a second F12 overwrites the file"
screenshot "$WORK/shot2.bmp"
cmp -s "$WORK/shot.bmp" "$WORK/shot2.bmp" || fail "the unchanged picture saved differently"

press_until_exit Escape
expect_status 0
echo "PASS"
