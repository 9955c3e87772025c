#!/bin/bash
# Without "mfont.pcx" in the working directory or any data directory the program says
# "musical font not found!" and ends with status 1.
source "$PLINKEL_E2E_LIB"
FIRST_START=1 # no plinkel.cfg beforehand: the failed start must not write one
e2e_init
start_xvfb
sound_config none

bin=$(copy_install_without mfont.pcx)
[ ! -e "$WORK/prefix/share/plinkel/mfont.pcx" ] || fail "copy still holds mfont.pcx"

start_plinkel "$bin"
wait_exit
expect_status 1
grep -q -x 'musical font not found!' "$WORK/stdout" ||
    fail "stdout lacks 'musical font not found!'"
[ ! -e "$RUN_DIR/plinkel.cfg" ] || fail "a failed start wrote plinkel.cfg"
echo "PASS"
