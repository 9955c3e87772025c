#!/bin/bash
# Printing: "write pdf" in the file menu engraves the open score through LilyPond into a PDF
# that pdfinfo and pdftotext read (title, instrument names, tempo, a page), then offers the
# desktop's viewer (a stand-in xdg-open here), which gets the file; Esc while LilyPond works
# cancels and leaves no file; plinkel-convert --parts writes the score and one PDF per shown
# track with its own title line; without lilypond nothing is written and the message names the
# package to install.
source "$PLINKEL_E2E_LIB"
source "$(dirname "${BASH_SOURCE[0]}")/menu_lib.sh"

conv="$PLINKEL_PREFIX/bin/plinkel-convert"
LILYPOND_TIMEOUT=120 # seconds: lilypond takes several on a busy machine
e2e_init
start_xvfb
sound_config none
command -v lilypond >/dev/null || fail "lilypond is not installed (scripts/deps.sh)"

# A piano melody and a violin line.
cat >"$RUN_DIR/song.seq" <<'SEQ'
vudiz 25
tempo 96
num_track 2
track 0 0 0 127
track 1 1 40 127
m 2 4 4
n 0 0 0 384 0 127
n 384 2 0 384 0 127
m 2 4 4
n 0 4 1 768 0 127
n 0 4 0 768 1 127
SEQ
printf '#!/bin/sh\nprintf "%%s\\n" "$1" >"%s/opened"\n' "$WORK" >"$WORK/bin/xdg-open"
chmod +x "$WORK/bin/xdg-open"

# $1 is a PDF of at least one page whose text holds every further argument.
pdf_says() {
    local pdf=$1 text word
    shift
    [ "$(pdfinfo "$pdf" 2>/dev/null | awk '/^Pages:/ {print $2}')" -ge 1 ] || return 1
    text=$(pdftotext "$pdf" - 2>/dev/null | tr -s ' \n' '  ')
    for word in "$@"; do
        case "$text" in *"$word"*) ;; *) echo "$pdf lacks \"$word\": $text"; return 1 ;; esac
    done
}

step "write pdf engraves the score and offers the viewer"
start_plinkel_with song.seq
wait_window
menu_child "$MAIN_FILE" "$FILE_WRITE_PDF"
confirm_selector
wait_for "$LILYPOND_TIMEOUT" "song.pdf" test -s "$RUN_DIR/song.pdf"
pdf_says "$RUN_DIR/song.pdf" song "Acoustic Grand Piano" Violin "= 96" || fail "song.pdf"
accept_warning
wait_for "$E2E_TIMEOUT" "the viewer" grep -q 'song.pdf$' "$WORK/opened"

step "Esc while LilyPond works cancels, and nothing is written"
menu_child "$MAIN_FILE" "$FILE_WRITE_PDF"
wait_selector
dialog_keys BackSpace BackSpace BackSpace BackSpace BackSpace BackSpace BackSpace BackSpace
type_text late.pdf
signal_mark
# Return alone: the editor settles only once the engraving is over.
timeout 5 xdotool key Return 2>/dev/null || fail "xdotool key Return"
wait_signal 'engraving open'
tap_key Escape # the engraving box looks for Esc while LilyPond runs
accept_warning
[ ! -e "$RUN_DIR/late.pdf" ] || fail "late.pdf was written after Esc"
press_until_exit Escape
expect_status 0

step "plinkel-convert --parts writes the score and a part per track"
(cd "$RUN_DIR" && "$conv" song.seq parts.pdf --parts) || fail "plinkel-convert --parts"
pdf_says "$RUN_DIR/parts.pdf" parts "Acoustic Grand Piano" Violin || fail "parts.pdf"
pdf_says "$RUN_DIR/parts-2-Violin.pdf" parts Violin || fail "the violin part"
if pdftotext "$RUN_DIR/parts-2-Violin.pdf" - | grep -q Acoustic; then
    fail "the violin part holds the piano"
fi
pdf_says "$RUN_DIR/parts-1-Acoustic_Grand_Piano.pdf" parts "Acoustic Grand Piano" ||
    fail "the piano part"

step "without lilypond nothing is written and the package is named"
if (cd "$RUN_DIR" && PATH="$WORK/bin" "$conv" song.seq none.pdf) 2>"$WORK/nolily.err"; then
    fail "a PDF without lilypond"
fi
grep -q 'install the Debian package "lilypond"' "$WORK/nolily.err" || fail "$(cat "$WORK/nolily.err")"
[ ! -e "$RUN_DIR/none.pdf" ] || fail "none.pdf was written"
echo "PASS"
