# End-to-end test library: a private Xvfb display, the installed plinkel in a fresh working
# directory, keys and mouse through xdotool, files, screenshots and the captured MIDI bytes.
# Every wait has a timeout; the EXIT trap stops the program and the display this test started.
# Input is followed by the fence key and waited out on the editor's signs (see "Signs" below).
# shellcheck shell=bash

set -u

: "${PLINKEL_PREFIX:?PLINKEL_PREFIX must name the installed plinkel tree}"
PLINKEL_BIN="$PLINKEL_PREFIX/bin/plinkel"
# Debian's ImageMagick, not whatever else is first on the PATH.
IM_CONVERT=/usr/bin/convert
IM_IMPORT=/usr/bin/import
E2E_TIMEOUT=${E2E_TIMEOUT:-20} # seconds for any single wait
XVFB_FIRST_DISPLAY=90
XVFB_LAST_DISPLAY=160

WORK=""        # scratch root of this test
RUN_DIR=""     # the program's working directory
XVFB_PID=""
PLINKEL_PID=""
PLINKEL_STATUS=""
PLINKEL_WINDOW=""
SIGNAL_FD=""    # read end of the pipe the editor writes its signs into
SIGNALS=()      # every sign line read so far, in order
SIGNAL_BASE=0   # index of the first line of the running program
SIGNAL_MARK=0   # wait_signal looks at lines from here on
FENCES=0        # fence keys sent to the running program

fail() {
    echo "FAIL: $*" >&2
    if [ -n "$WORK" ]; then
        for f in stdout stderr xmessage.log; do
            [ -s "$WORK/$f" ] && { echo "--- $f:" >&2; grep -v '^ALSA lib' "$WORK/$f" | head -40 >&2; }
        done
        [ -s "$WORK/signals.log" ] && { echo "--- last signs:" >&2; tail -n 40 "$WORK/signals.log" | paste -s -d '|' >&2; }
    fi
    exit 1
}

step() { echo "--- $*"; }

# Reports of the address, leak and undefined-behaviour sanitizers, when the installed program
# was built with them, land in $WORK/sanitizer.PID; any such report fails the test.
sanitizer_reports() {
    local f found=1
    for f in "$WORK"/sanitizer.*; do
        [ -s "$f" ] || continue
        echo "FAIL: sanitizer report $(basename "$f"):" >&2
        head -60 "$f" >&2
        found=0
    done
    return $found
}

e2e_cleanup() {
    local status=$?
    if [ -n "$PLINKEL_PID" ] && kill -0 "$PLINKEL_PID" 2>/dev/null; then
        kill "$PLINKEL_PID" 2>/dev/null
        wait_until 1 plinkel_ended || kill -9 "$PLINKEL_PID" 2>/dev/null
    fi
    [ -n "$WORK" ] && sanitizer_reports && status=1
    if [ -n "$XVFB_PID" ]; then
        kill "$XVFB_PID" 2>/dev/null
        wait "$XVFB_PID" 2>/dev/null
    fi
    if [ -n "$WORK" ] && [ -z "${E2E_KEEP:-}" ]; then
        rm -rf "$WORK"
    fi
    exit "$status"
}

# Creates the scratch directories and a shim xmessage: the library shows its message boxes
# through xmessage, which would wait for a click; the shim logs the text and answers OK.
e2e_init() {
    [ -x "$PLINKEL_BIN" ] || fail "no installed program at $PLINKEL_BIN"
    WORK=$(mktemp -d /tmp/plinkel-e2e.XXXXXX) || fail "mktemp"
    trap e2e_cleanup EXIT
    trap 'exit 130' INT TERM
    RUN_DIR="$WORK/run"
    mkdir -p "$RUN_DIR" "$WORK/bin" "$WORK/home"
    export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}:log_path=$WORK/sanitizer"
    export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1}:log_path=$WORK/sanitizer"
    cat >"$WORK/bin/xmessage" <<EOF
#!/bin/sh
printf '%s\n' "\$*" >>"$WORK/xmessage.log"
exit 101
EOF
    chmod +x "$WORK/bin/xmessage"
    mkfifo "$WORK/signals" || fail "mkfifo"
    exec {SIGNAL_FD}<>"$WORK/signals"
    export PLINKEL_TEST_SIGNALS="$WORK/signals"
}

# --- Signs -------------------------------------------------------------------------------
# With PLINKEL_TEST_SIGNALS set the editor writes one line per event into the pipe:
#   start                  the editor is up (before its first dialog)
#   seen N                 it polled its input after fence key N had arrived
#   idle N                 it then polled for a while with nothing to do: every input sent
#                          before fence N is taken and its work (drawing, writing) done
#   turn                   one turn of the main loop ended
#   menu open|close, dialog open|close, selector open|close (the file selector),
#   alert open|close (the save question), wrote screenshot.bmp
# The fence is the Print key: the editor counts it and keeps it out of the keyboard buffer.
# The library polls the keyboard and the mouse, so "seen" after a button press means the
# press was noticed and "idle" after its release means the click was handled. Helpers:
#   settle            fence, then wait until the editor is idle after it (or has ended)
#   fence; wait_seen  fence, then wait until the editor has polled past it
#   signal_mark; ...; wait_signal 'menu open'   a sign that came after the mark
# send_keys, type_text, hold_key and mouse_click settle by themselves; the program may end
# on the input (the exit command), which also ends the wait.

# Reads one sign into SIGNALS, waiting at most $1 seconds; 1 when none came.
read_signal() {
    local line
    read -r -t "$1" -u "$SIGNAL_FD" line || return 1
    SIGNALS+=("$line")
    printf '%s\n' "$line" >>"$WORK/signals.log"
}

# Reads the signs already written without waiting.
drain_signals() {
    while read_signal 0.01; do :; done
}

# Waits until the sign test "${@:2}" LINE succeeds on a line from index $1 on and stores the
# line's index in SIGNAL_HIT. Returns 1 after $E2E_TIMEOUT seconds, 2 when the program has
# ended without such a line.
SIGNAL_HIT=0
await_sign() {
    local i=$1 deadline=$((SECONDS + E2E_TIMEOUT))
    shift
    for (( ; ; )); do
        for (( ; i < ${#SIGNALS[@]}; i++)); do
            "$@" "${SIGNALS[i]}" && { SIGNAL_HIT=$i; return 0; }
        done
        read_signal 0.5 && continue
        plinkel_running || { drain_signals; [ "$i" -lt "${#SIGNALS[@]}" ] && continue; return 2; }
        [ "$SECONDS" -lt "$deadline" ] || return 1
    done
}

is_line() { [[ $2 =~ ^$1$ ]]; }
# "seen N" or "idle N" (kind $1) with N at least $2.
is_fence_sign() { [[ $3 =~ ^$1\ ([0-9]+)$ ]] && [ "${BASH_REMATCH[1]}" -ge "$2" ]; }

signal_mark() {
    drain_signals
    SIGNAL_MARK=${#SIGNALS[@]}
}

# Waits for a sign matching the extended regular expression $1 (whole line) after the mark.
# The mark moves past that line, so that the same sign can be waited for again.
wait_signal() {
    await_sign "$SIGNAL_MARK" is_line "$1"
    case $? in
    0) SIGNAL_MARK=$((SIGNAL_HIT + 1)) ;;
    1) fail "timed out after ${E2E_TIMEOUT}s waiting for the sign '$1'" ;;
    2) fail "plinkel ended before the sign '$1'" ;;
    esac
}

# xdotool now and then finds no focus to send to for a moment (always once the program has
# ended: the key was the exit command); it is tried again.
send_fence_key() { timeout 5 xdotool key Print 2>/dev/null || plinkel_ended; }
fence() {
    FENCES=$((FENCES + 1))
    wait_until 3 send_fence_key || fail "xdotool key Print"
}
# Presses keys (xdotool keydown arguments) with the fence right behind, in one xdotool run, so
# that the editor, which acts on a key as soon as it sees it, mostly sees the fence with it.
keydown_fenced() {
    FENCES=$((FENCES + 1))
    timeout 5 xdotool keydown "$@" key Print 2>/dev/null || plinkel_ended ||
        fail "xdotool keydown $*"
}

# The waits on fences look at the running program's lines only; they end quietly when the
# program has ended.
wait_fence_sign() {
    await_sign "$SIGNAL_BASE" is_fence_sign "$1" "$FENCES"
    [ $? -ne 1 ] || fail "timed out after ${E2E_TIMEOUT}s waiting for '$1 $FENCES'"
}
wait_seen() { wait_fence_sign seen; }
wait_idle() { wait_fence_sign idle; }
settle() {
    fence
    wait_idle
}

# Polls "$@" every 0.1 s until it succeeds; 1 after $1 seconds. This is the suite's one
# polling loop for conditions the editor gives no sign of (files of other programs, pixels).
wait_until() {
    local tries=$(($1 * 10))
    shift
    while ! "$@" >/dev/null 2>&1; do
        tries=$((tries - 1))
        [ "$tries" -gt 0 ] || return 1
        sleep 0.1
    done
}

# Waits until "$@" succeeds; fails the test after the timeout (seconds).
wait_for() {
    local limit=$1 what=$2
    shift 2
    wait_until "$limit" "$@" || fail "timed out after ${limit}s waiting for $what"
}

xvfb_answers() { kill -0 "$XVFB_PID" 2>/dev/null && xdpyinfo -display ":$1" >/dev/null 2>&1; }
xvfb_answers_or_ended() { ! kill -0 "$XVFB_PID" 2>/dev/null || xvfb_answers "$1"; }

# Starts Xvfb on the first free display number from 90 upward and exports DISPLAY.
start_xvfb() {
    local n
    for ((n = XVFB_FIRST_DISPLAY; n <= XVFB_LAST_DISPLAY; n++)); do
        [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
        Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >"$WORK/xvfb.log" 2>&1 &
        XVFB_PID=$!
        # A server that ends at once lost the race for this number to another one.
        wait_until 5 xvfb_answers_or_ended "$n"
        if xvfb_answers "$n"; then
            export DISPLAY=":$n"
            return 0
        fi
        kill "$XVFB_PID" 2>/dev/null
        wait "$XVFB_PID" 2>/dev/null
        XVFB_PID=""
    done
    fail "no free display for Xvfb between :$XVFB_FIRST_DISPLAY and :$XVFB_LAST_DISPLAY"
}

# Writes the library's configuration "allegro.cfg" into $WORK/allegro and points ALLEGRO at that
# directory (the library reads $ALLEGRO/allegro.cfg), so the working directory stays empty.
#   sound_config none     no digital and no MIDI driver
#   sound_config capture  the capture MIDI driver, logging to $WORK/midi.log
sound_config() {
    local midi
    case "$1" in
    none) midi=0 ;;
    capture) midi=CAPT ;;
    *) fail "sound_config: unknown kind $1" ;;
    esac
    mkdir -p "$WORK/allegro"
    printf '[sound]\ndigi_card = 0\nmidi_card = %s\ncapture_log = %s\n' "$midi" "$WORK/midi.log" \
        >"$WORK/allegro/allegro.cfg"
    export ALLEGRO="$WORK/allegro"
}

# Without a "plinkel.cfg" the first window fits the desktop; the tests are drawn for a
# 640 x 480 window at 8 bits, so start_plinkel writes that mode first unless FIRST_START=1.
DEFAULT_MODE_CONFIG='"untitled" 8 640 480 0'

ensure_mode_config() {
    if [ -z "${FIRST_START:-}" ] && [ ! -e "$RUN_DIR/plinkel.cfg" ]; then
        printf '%s\n' "$DEFAULT_MODE_CONFIG" >"$RUN_DIR/plinkel.cfg"
    fi
}

# Starts the program (default: the installed one) in RUN_DIR, stdout and stderr to $WORK.
# HOME points into the scratch tree so that no ~/allegro.cfg of the user takes part.
start_plinkel() {
    local bin=${1:-$PLINKEL_BIN}
    ensure_mode_config
    PLINKEL_STATUS=""
    PLINKEL_WINDOW=""
    signals_restart
    (cd "$RUN_DIR" && HOME="$WORK/home" PATH="$WORK/bin:$PATH" exec "$bin") \
        >"$WORK/stdout" 2>"$WORK/stderr" &
    PLINKEL_PID=$!
}

# A new program counts its fences from 0 again; the lines of the last one are left behind.
signals_restart() {
    drain_signals
    SIGNAL_BASE=${#SIGNALS[@]}
    SIGNAL_MARK=$SIGNAL_BASE
    FENCES=0
}

# Waits for the program's window and stores its id in PLINKEL_WINDOW.
wait_window() {
    local id
    id=$(timeout "$E2E_TIMEOUT" xdotool search --sync --onlyvisible --name '^plinkel$' 2>/dev/null |
        head -n 1)
    [ -n "$id" ] || fail "no plinkel window within ${E2E_TIMEOUT}s"
    PLINKEL_WINDOW=$id
    timeout 5 xdotool windowfocus "$PLINKEL_WINDOW" 2>/dev/null
    settle
}

# 1 when the rectangle $1 (w x h + x + y) of the window as the X server shows it now holds at
# least $2 black pixels; window_blank: none at all.
window_shows() {
    timeout 10 "$IM_IMPORT" -window "$PLINKEL_WINDOW" "$WORK/now.png" 2>/dev/null || return 1
    [ "$(count_colour "$WORK/now.png" "0 0 0" "$1")" -ge "$2" ]
}
window_blank() {
    timeout 10 "$IM_IMPORT" -window "$PLINKEL_WINDOW" "$WORK/now.png" 2>/dev/null || return 1
    [ "$(count_colour "$WORK/now.png" "0 0 0" "$1")" -eq 0 ]
}

# Started without a file, the editor first asks for the settings of the new score. This
# accepts them as offered (Return presses OK) once the dialog covers the part of a 640 x 480
# window below the staves, and waits until the score is shown again.
NEW_SCORE_DIALOG_AREA=600x150+20+280
NEW_SCORE_DIALOG_INK=100
accept_new_score() {
    SIGNAL_MARK=$SIGNAL_BASE
    wait_signal 'dialog open'
    send_keys Return
    wait_signal 'dialog close'
}

# Presses the one button ("Yes") of a warning, once the warning shows in the middle of a
# 640 x 480 window, and waits until it is gone.
WARNING_BUTTON_AREA=60x30+290+265
WARNING_BUTTON_INK=30
accept_warning() {
    wait_for "$E2E_TIMEOUT" "the warning" window_shows "$WARNING_BUTTON_AREA" "$WARNING_BUTTON_INK"
    send_keys Return
    wait_for "$E2E_TIMEOUT" "the warning to close" window_blank "$WARNING_BUTTON_AREA"
}

# Leaves with Esc. A changed score makes the editor ask whether to save it first; that is
# answered No (Right moves the focus from Yes to No). Stores the exit status like wait_exit.
quit_without_saving() {
    local tries=$E2E_TIMEOUT
    while plinkel_running; do
        tries=$((tries - 1))
        [ "$tries" -gt 0 ] || fail "plinkel still running after ${E2E_TIMEOUT} rounds of Esc and No"
        send_keys Escape
        plinkel_running && send_keys Right Return
    done
    wait_exit 5
}

# Sends keys (xdotool key names) to the focused program window, one at a time, each taken
# before the next is sent (the main loop drops keys typed while it draws).
send_keys() {
    local k
    for k in "$@"; do
        timeout 10 xdotool key "$k" 2>/dev/null || fail "xdotool key $k"
        settle
    done
}

# Holds a key (xdotool names, e.g. shift+v) until the editor has polled it, so that the key
# table shows it held (Shift with a letter, a length key) when the editor takes it; then waits
# until its work is done. Foreground playback polls no signs: the wait ends when it has ended.
hold_key() {
    local keys=${1//+/ }
    keydown_fenced $keys
    wait_seen
    timeout 5 xdotool keyup $(echo $keys | tr ' ' '\n' | tac | tr '\n' ' ') 2>/dev/null ||
        fail "keyup $1"
    settle
}

# Holds a key for PLAY_HOLD seconds and returns without waiting for its work: for the keys
# that start or stop playback. The player gives no signs and polls the keys only every few
# passes, and a fence could arrive after the player has started: this hold is a duration.
PLAY_HOLD=0.3
tap_key() {
    timeout 5 xdotool keydown "$1" 2>/dev/null || fail "keydown $1"
    sleep "$PLAY_HOLD"
    timeout 5 xdotool keyup "$1" 2>/dev/null || fail "keyup $1"
}

# Sends keys to an open dialog or file selector in one burst (they keep the keys typed
# ahead), then settles.
dialog_keys() {
    timeout 20 xdotool key --delay 20 "$@" 2>/dev/null || fail "xdotool key $*"
    settle
}

# Types a text into the focused dialog field (a dialog keeps the keys typed ahead).
type_text() {
    timeout 20 xdotool type --delay 20 "$1" 2>/dev/null || fail "xdotool type $1"
    settle
}

# Moves the pointer to (x, y) inside the program window.
mouse_move() {
    timeout 5 xdotool mousemove --window "$PLINKEL_WINDOW" "$1" "$2" 2>/dev/null ||
        fail "xdotool mousemove $1 $2"
}

# Presses button $1 at window position ($2, $3). The library polls the mouse, and its buttons
# are not ordered with the keys (a fence sent with a press can wait until the release while a
# dialog button follows the pointer): the button is held for HOLD seconds, then the click is
# waited out.
HOLD=0.2
mouse_click() {
    local button=$1
    mouse_move "$2" "$3"
    hold_still # the press must find the pointer already there
    mouse_down "$button"
    mouse_up "$button"
}
mouse_down() {
    timeout 5 xdotool mousedown "$1" 2>/dev/null || fail "mousedown $1"
    hold_still
}
mouse_up() {
    timeout 5 xdotool mouseup "$1" 2>/dev/null || fail "mouseup $1"
    settle
}
# Keeps the buttons and the pointer as they are for HOLD seconds, so that a loop that polls the
# mouse (a drag) sees the last move before the next input comes.
hold_still() { sleep "$HOLD"; }
# Rolls the wheel: button 4 up, 5 down; the editor polls the wheel like the buttons.
wheel() {
    timeout 5 xdotool click "$1" 2>/dev/null || fail "wheel button $1"
    hold_still
    settle
}

plinkel_running() { kill -0 "$PLINKEL_PID" 2>/dev/null; }

# Waits for the program to end and stores its exit status in PLINKEL_STATUS.
plinkel_ended() { ! plinkel_running; }
wait_exit() {
    local limit=${1:-$E2E_TIMEOUT}
    if ! wait_until "$limit" plinkel_ended; then
        kill -9 "$PLINKEL_PID" 2>/dev/null
        fail "plinkel did not exit within ${limit}s"
    fi
    wait "$PLINKEL_PID"
    PLINKEL_STATUS=$?
    PLINKEL_PID=""
}

# Presses a key until the program ends (dialogs before the main loop may need one press each),
# then stores the exit status like wait_exit.
press_until_exit() {
    local key=$1 tries=$E2E_TIMEOUT
    while plinkel_running; do
        tries=$((tries - 1))
        [ "$tries" -gt 0 ] || fail "plinkel still running after pressing $key $E2E_TIMEOUT times"
        timeout 5 xdotool key "$key" 2>/dev/null
        settle
    done
    wait_exit 5
}

expect_status() {
    [ "$PLINKEL_STATUS" = "$1" ] || fail "exit status $PLINKEL_STATUS, expected $1"
}

# Waits until a file exists and its size has stopped changing (it is completely written).
file_complete() {
    [ -s "$1" ] || return 1
    local a b
    a=$(stat -c %s "$1")
    sleep 0.2
    b=$(stat -c %s "$1")
    [ "$a" = "$b" ]
}

wait_file() {
    wait_for "${2:-$E2E_TIMEOUT}" "file $1" file_complete "$1"
}

# F12 makes the program save its last picture; copies it to $1. The key table must show F12
# held when the editor takes it, so it is held.
screenshot() {
    rm -f "$RUN_DIR/screenshot.bmp"
    signal_mark
    hold_key F12
    wait_signal 'wrote screenshot.bmp'
    cp "$RUN_DIR/screenshot.bmp" "$1"
}

# Grabs what the X server shows in the program window (pointer included) into $1.
grab_window() {
    timeout 10 "$IM_IMPORT" -window "$PLINKEL_WINDOW" "$1" 2>/dev/null || fail "import of the window"
}

# Prints "R G B" (0..255) of pixel (x, y) of an image.
pixel() {
    "$IM_CONVERT" "$1" -crop "1x1+$2+$3" +repage -depth 8 txt:- 2>/dev/null |
        sed -n 's/^0,0: *(\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1 \2 \3/p'
}

# Counts the pixels of colour "R G B" inside the rectangle w x h + x + y of an image.
count_colour() {
    local file=$1 rgb=$2 geometry=$3
    "$IM_CONVERT" "$file" -crop "$geometry" +repage -depth 8 txt:- 2>/dev/null |
        sed -n 's/^[0-9]*,[0-9]*: *(\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1 \2 \3/p' |
        grep -c -x "$rgb"
}

# Window size as "W H".
window_size() {
    xwininfo -id "$PLINKEL_WINDOW" | awk '/^ *Width:/ {w = $2} /^ *Height:/ {h = $2} END {print w, h}'
}

# The captured MIDI bytes (hex, upper case) in order, one line, space separated.
midi_bytes() {
    [ -f "$WORK/midi.log" ] || return 0
    awk '{print $2}' "$WORK/midi.log" | paste -s -d ' '
}

# Copies the installed tree to $WORK/prefix, leaving out the run-time files named, and prints
# the program path of the copy.
copy_install_without() {
    local copy="$WORK/prefix"
    mkdir -p "$copy"
    cp -a "$PLINKEL_PREFIX/." "$copy/"
    local name
    for name in "$@"; do
        rm -f "$copy/share/plinkel/$name"
    done
    echo "$copy/bin/plinkel"
}
