#!/bin/bash
# Start in an empty working directory with no sound configuration at all, leave with Esc: the
# program ends with status 0 and writes its first mode to "plinkel.cfg". The first window fits
# the 1280 x 1024 desktop (1152 x 864, the largest standard size within 90 % of it) in the
# desktop's colour depth, shows the dialogs in its middle, and carries the application icon. The terminal stays clean: no messages of failed sound device probes,
# at most one line on why there is no sound.
source "$PLINKEL_E2E_LIB"
e2e_init
start_xvfb
unset ALLEGRO
FIRST_START=1
FIRST_SIZE="1152 864"
FIRST_DEPTH=32 # the display's 24-bit colours are stored in 32 bits a pixel

step "start in an empty directory"
[ -z "$(ls -A "$RUN_DIR")" ] || fail "working directory not empty"
start_plinkel
wait_window

step "the first window fits the desktop"
size=$(window_size)
[ "$size" = "$FIRST_SIZE" ] || fail "window is $size, expected $FIRST_SIZE"

step "the settings of the new score show in the middle of the window"
# The dialog drawn for 640 x 480, moved by half the extra width and height (256, 192).
wait_for "$E2E_TIMEOUT" "the new-score settings in the middle" \
    window_shows 600x150+276+472 "$NEW_SCORE_DIALOG_INK"

step "the window carries the application icon"
hints=$(xprop -id "$PLINKEL_WINDOW" WM_HINTS)
grep -q 'bitmap id # to use for icon' <<<"$hints" || fail "no window icon: $hints"

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
actual=$(cat "$RUN_DIR/plinkel.cfg")
expected="\"untitled\" $FIRST_DEPTH $FIRST_SIZE 0"
[ "$actual" = "$expected" ] || fail "plinkel.cfg holds '$actual', expected '$expected'"
[ "$(wc -l <"$RUN_DIR/plinkel.cfg")" = 1 ] || fail "plinkel.cfg is not one line"
if [ -s "$WORK/xmessage.log" ]; then
    echo "note: message boxes shown (answered by the shim):"
    cat "$WORK/xmessage.log"
fi
echo "PASS"
