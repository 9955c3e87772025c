#!/bin/bash
# Reading the help: F1 opens the help window over the score, showing the installed manual;
# Esc closes it and the editor goes on (the Esc that closed the window does not quit), and
# "help F1" in the menu opens it again, closed with its OK button.
source "$PLINKEL_E2E_LIB"
source "$(dirname "${BASH_SOURCE[0]}")/menu_lib.sh"

MAIN_HELP=12
HELP_OK_X=320
HELP_OK_Y=432
# The left edge of the help text box: a black line from y 40 to 408 at x 32.
BORDER_COLUMN="1x300+32+60"
BORDER_MIN=290
TEXT_AREA="560x30+40+44" # the first line of the manual

border_ink() { count_colour "$1" "0 0 0" "$BORDER_COLUMN"; }

e2e_init
start_xvfb
sound_config none
start_new_score
grab_window "$WORK/before.png"
[ "$(border_ink "$WORK/before.png")" -lt "$BORDER_MIN" ] || fail "a help border before F1"

step "F1 opens the help window with the manual's text"
hold_key F1
grab_window "$WORK/help.png"
[ "$(border_ink "$WORK/help.png")" -ge "$BORDER_MIN" ] || fail "no help window after F1"
[ "$(count_colour "$WORK/help.png" "0 0 0" "$TEXT_AREA")" -gt 100 ] ||
    fail "the help window shows no text"

step "Esc closes it and the editor stays"
hold_key Escape
plinkel_running || fail "Esc in the help window ended the editor"
grab_window "$WORK/after.png"
[ "$(border_ink "$WORK/after.png")" -lt "$BORDER_MIN" ] || fail "the help window stayed open"

step "the menu entry opens it again; OK closes it"
menu_main "$MAIN_HELP"
wait_signal 'dialog open'
# The box is drawn just after the sign: look until it shows.
help_shown() {
    grab_window "$WORK/menu_help.png"
    [ "$(border_ink "$WORK/menu_help.png")" -ge "$BORDER_MIN" ]
}
wait_until 10 help_shown || fail "no help window from the menu"
mouse_click 1 "$HELP_OK_X" "$HELP_OK_Y"
plinkel_running || fail "OK in the help window ended the editor"
hold_key Escape
wait_exit
expect_status 0
