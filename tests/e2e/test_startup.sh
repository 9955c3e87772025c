#!/bin/bash
# Start in an empty working directory with no sound configuration at all, leave with Esc: the
# program ends with status 0 and writes the default mode to "plinkel.cfg". The terminal stays
# clean: no messages of failed sound device probes, at most one line on why there is no sound.
source "$PLINKEL_E2E_LIB"
e2e_init
start_xvfb
unset ALLEGRO

step "start in an empty directory"
[ -z "$(ls -A "$RUN_DIR")" ] || fail "working directory not empty"
start_plinkel
wait_window

step "leave with Esc"
press_until_exit Escape
expect_status 0

step "check standard error"
grep -q '^ALSA lib' "$WORK/stderr" && fail "sound device probes printed messages"
grep -v -q -e '^plinkel: no sound: ' -e '^plinkel: no MIDI input: ' "$WORK/stderr" &&
    fail "unexpected messages on standard error"
[ "$(wc -l <"$WORK/stderr")" -le 2 ] || fail "more than one line of each kind on standard error"

step "check plinkel.cfg"
[ -f "$RUN_DIR/plinkel.cfg" ] || fail "no plinkel.cfg written"
expected='"untitled" 8 640 480 0'
actual=$(cat "$RUN_DIR/plinkel.cfg")
[ "$actual" = "$expected" ] || fail "plinkel.cfg holds '$actual', expected '$expected'"
[ "$(wc -l <"$RUN_DIR/plinkel.cfg")" = 1 ] || fail "plinkel.cfg is not one line"
if [ -s "$WORK/xmessage.log" ]; then
    echo "note: message boxes shown (answered by the shim):"
    cat "$WORK/xmessage.log"
fi
echo "PASS"
