#!/bin/bash
# The installed tree as a desktop sees it: the manual pages read without a warning, the help
# options answer without a display, and the desktop entry, the file type and the AppStream
# metadata (with its screenshot) pass their own validators.
set -euo pipefail
prefix="${PLINKEL_PREFIX:?}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unset DISPLAY
fails=0
passes=0
check() {
    if "$@"; then passes=$((passes + 1)); else echo "FAILED: $*"; fails=$((fails + 1)); fi
}

# man --warnings prints nothing for a clean page; the page must also render some text.
man_clean() { # page
    local page=$prefix/share/man/man1/$1.1.gz
    [ -s "$page" ] || { echo "no manual page $page"; return 1; }
    local warnings
    warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >"$work/$1.txt")
    [ -z "$warnings" ] || { echo "$warnings"; return 1; }
    grep -q "EXIT STATUS" "$work/$1.txt"
}
check man_clean plinkel
check man_clean plinkel-convert

check test "$("$prefix/bin/plinkel" --help | head -n 1)" = "Usage: plinkel [OPTION]... [FILE]"
check grep -q -x 'plinkel [0-9][0-9.]*' <<<"$("$prefix/bin/plinkel" --version)"
set +e
"$prefix/bin/plinkel" --no-such-option >/dev/null 2>"$work/err"
status=$?
set -e
check test "$status" = 2
check grep -q '^Usage: plinkel' "$work/err"

share=$prefix/share
check desktop-file-validate "$share/applications/plinkel.desktop"
check grep -q '^Icon=plinkel$' "$share/applications/plinkel.desktop"
check grep -q '^MimeType=application/x-plinkel-score;audio/midi;.*musicxml' \
    "$share/applications/plinkel.desktop"
# Offline: the validator checks the metadata, not whether its web addresses answer.
metainfo=$share/metainfo/io.github.plinkel.metainfo.xml
check appstreamcli validate --no-net --no-color "$metainfo"
# The screenshot it names is the picture kept in the sources, at the size it states.
shot=$(sed -n 's|.*<image type="source" width="\([0-9]*\)" height="\([0-9]*\)">\(.*\)</image>.*|\1 \2 \3|p' "$metainfo")
check grep -q -x '[0-9]* [0-9]* https://.*/screenshot.png' <<<"$shot"
check grep -q "PNG image data, ${shot%% *} x $(cut -d ' ' -f 2 <<<"$shot")," \
    <<<"$(file "${PLINKEL_SOURCE_DIR:?}/assets/screenshot.png")"
for size in 16 32 48 256; do
    check grep -q "PNG image data, $size x $size" <<<"$(file "$share/icons/hicolor/${size}x$size/apps/plinkel.png")"
done
check test -s "$share/icons/hicolor/scalable/apps/plinkel.svg"

# The file type, compiled by shared-mime-info as a desktop does: *.seq and the first line.
mkdir -p "$work/mime/packages"
cp "$share/mime/packages/plinkel.xml" "$work/mime/packages/"
check update-mime-database "$work/mime"
check grep -q '^50:application/x-plinkel-score:\*\.seq$' "$work/mime/globs2"
check grep -q -a 'vudiz ' "$work/mime/magic"
# A score as plinkel writes it starts with the magic.
printf 'vudiz 25\ntempo 120\nnum_track 1\ntrack 0 0 0 -1\nm 0 4 4\nt 0 120\n' >"$work/in.seq"
check "$prefix/bin/plinkel-convert" "$work/in.seq" "$work/written.seq"
check test "$(head -c 6 "$work/written.seq")" = "vudiz "

echo "$passes passed, $fails failed"
test "$fails" = 0
