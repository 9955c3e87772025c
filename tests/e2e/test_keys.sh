#!/bin/bash
# The keys of the main loop, seen in the status panel and the staves of "screenshot.bmp" (F12):
# length keys and the dot key against the glyph cells of mfont.pcx, the history keys, Insert
# between the modes, Up, Down and the wheel scrolling the staves within their bounds, Shift+E
# choosing the dotted eighth.
source "$PLINKEL_E2E_LIB"
e2e_init
start_xvfb
sound_config none

FONT="$PLINKEL_PREFIX/share/plinkel/mfont.pcx"
[ -f "$FONT" ] || fail "no glyph picture at $FONT"
SHOT="$WORK/shot.bmp"
CELL_W=16
# Where the status panel puts the entry length (note glyph corner) and its dot.
LEN_X=58
LEN_Y=18
TRIPLET_LEN_Y=34
DOT_X=72 # centre of the 3 x 3 dot, at (LEN_X + 2) + 11 .. 13
DOT_Y=43
TRIES=3

# Holds a key (xdotool key names, e.g. shift+e) until the editor has taken it.
press() { hold_key "$1"; }

shot() {
    rm -f "$RUN_DIR/screenshot.bmp"
    signal_mark
    press F12
    wait_signal 'wrote screenshot.bmp'
    cp "$RUN_DIR/screenshot.bmp" "$SHOT"
}

# Runs the input action $1 (a command line), then the check "$3 ..." on fresh screenshots until
# it holds ($2 names the step). A slowly drawing editor may show the effect only a few pictures
# later, so the check is repeated for up to SETTLE_SECONDS; the action itself is repeated only
# when the picture has not changed at all in that time (the input was lost), never after it took
# effect, since most keys here step or toggle.
SETTLE_SECONDS=8
after() {
    local action=$1 what=$2 try end
    shift 2
    shot
    for ((try = 1; try <= TRIES; try++)); do
        cp "$SHOT" "$WORK/before.bmp"
        eval "$action"
        end=$((SECONDS + SETTLE_SECONDS))
        while :; do
            shot
            "$@" && return 0
            [ "$SECONDS" -lt "$end" ] || break
            settle
        done
        cmp -s "$SHOT" "$WORK/before.bmp" || fail "$what"
    done
    fail "$what (no effect after $TRIES tries)"
}

# Repeats the action $1 up to $2 times until the check "$4 ..." holds ($3 names the step): for
# steps towards a bound, where a lost or an extra input makes no difference at the bound.
until_holds() {
    local action=$1 most=$2 what=$3 try
    shift 3
    for ((try = 1; try <= most; try++)); do
        eval "$action"
        shot
        "$@" && return 0
    done
    fail "$what"
}

# At a bound the action changes nothing: the check "$3 ..." must still hold once the editor has
# had the input and drawn again (the screenshot key comes after it).
after_bound() {
    local action=$1 what=$2
    shift 2
    eval "$action"
    shot
    "$@" || fail "$what"
}

# The picture as it is now must pass the check.
expect() {
    local what=$1
    shift
    shot
    "$@" || fail "$what"
}

# Prints the rectangle w x h + x + y of an image as one line of 1 (black) and 0 (other).
ink_map() {
    "$IM_CONVERT" "$1" -crop "$2" +repage -depth 8 txt:- 2>/dev/null |
        sed -n 's/^[0-9]*,[0-9]*: *(\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1 \2 \3/p' |
        awk '{printf "%d", ($1 == 0 && $2 == 0 && $3 == 0)}'
}

# Rows from..to (of 32) and columns c..c+w-1 (c = $7, default 0) of glyph cell $1 equal the
# screenshot with the cell's corner at (x, y).
cell_at() {
    local cell=$1 x=$2 y=$3 w=$4 from=$5 to=$6 c=${7:-0}
    local h=$((to - from + 1))
    local want got
    want=$(ink_map "$FONT" "${w}x${h}+$((cell * CELL_W + c))+$from")
    got=$(ink_map "$SHOT" "${w}x${h}+$((x + c))+$((y + from))")
    [[ "$want" == *1* ]] || fail "cell $cell has no ink in rows $from..$to"
    [ "$want" = "$got" ]
}

black() { [ "$(pixel "$SHOT" "$1" "$2")" = "0 0 0" ]; }
dot() { black $DOT_X $DOT_Y; }
no_dot() { ! dot; }
# The entry length glyph below the header text and the panel rule (rows 7..31, columns 0..12).
plain() { cell_at "$1" $LEN_X $LEN_Y 13 7 31 && no_dot; }
dotted() { cell_at "$1" $LEN_X $LEN_Y 13 7 31 && dot; }
# A triplet length: the glyph lower, the "3" (columns 5..10, rows 13..17 below the rule) above.
triplet() { cell_at "$1" $LEN_X $TRIPLET_LEN_Y 16 0 31 && cell_at 30 $LEN_X 12 6 13 17 5 && no_dot; }
insert_icon() { cell_at 6 2 2 16 0 17; }
select_icon() { cell_at 5 2 2 16 0 17; }
dot_mode_icon() { cell_at 13 18 2 16 0 17; }
no_dot_mode_icon() { [ "$(count_colour "$SHOT" "0 0 0" 16x18+18+2)" = 0 ]; }
# Staff lines of row 0: the top treble line at y = top, the bottom bass line 120 lower.
staves_at() {
    local top=$1
    black 300 "$top" && ! black 300 $((top - 12)) && black 300 $((top + 120)) &&
        ! black 300 $((top + 132))
}

# Only the bottom bass line of row 0, at y = bottom.
bass_bottom_at() { black 300 "$1" && black 300 $(($1 - 12)) && ! black 300 $(($1 + 12)); }

start_plinkel
wait_window
accept_new_score

step "start-up: quarter note, insert mode, no dot mode, staves unscrolled"
expect "start" plain 2
expect "start: insert icon" insert_icon
expect "start: dot-mode icon" no_dot_mode_icon
expect "start: staves" staves_at 96

step "length keys"
after "press 4" "key 4: eighth" plain 3
after "press 5" "key 5: sixteenth" plain 4
after "press 1" "key 1: whole" plain 0
after "press 2" "key 2: half" plain 1
after "press 6" "key 6: 32nd" plain 14
after "press 3" "key 3: quarter" plain 2
after "press w" "key w: dotted quarter" dotted 2
after "press d" "key d: quarter triplet" triplet 2

step "history: ; steps back, ' forward again"
after "press semicolon" "key ;: back to the dotted quarter" dotted 2
after "press semicolon" "key ;: back to the quarter" plain 2
after "press apostrophe" "key ': forward to the dotted quarter" dotted 2

step "Shift+E chooses the dotted eighth (and warns that no measure is marked to delete); I the dotted 128th"
after "press shift+e; accept_warning" "Shift+E" dotted 3
after "press i" "key i" dotted 16

step "the dot key shows the dot-mode icon"
after "press period" "dot mode on" dot_mode_icon
after "press period" "dot mode off" no_dot_mode_icon

step "Insert switches to select mode and back"
after "press Insert" "select mode" select_icon
after "press Insert" "insert mode again" insert_icon

step "Down and Up scroll the staves by 12, Shift by 72, never above -216"
after "press Down" "Down" staves_at 84
after "press Up" "Up" staves_at 96
after "press shift+Up" "Shift+Up" staves_at 168
until_holds "press Up" 20 "Up to the top" staves_at 312
after_bound "press Up" "Up beyond the top" staves_at 312
after "press shift+Down" "Shift+Down from the top" staves_at 240

step "the wheel scrolls by 72 pixels, never above -216"
mouse_move 300 300
after "wheel 5" "wheel down" staves_at 168
after "wheel 5" "wheel down" staves_at 96
after "wheel 5" "wheel down" bass_bottom_at 144 # the top line now lies under the panel
until_holds "wheel 4" 10 "wheel up to the top" staves_at 312
after_bound "wheel 4" "wheel up beyond the top" staves_at 312

step "Esc leaves"
quit_without_saving
expect_status 0
echo "PASS"
