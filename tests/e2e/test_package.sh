#!/bin/bash
# Installing plinkel as a Debian package: cpack builds plinkel_VERSION_ARCH.deb from the build
# tree, it depends on the package of every library its programs link (what a fresh system must
# fetch), lintian finds no error or warning in it, apt installs it with its dependencies, the
# installed editor opens its window and the converter converts, and apt remove leaves none of
# its files behind. Needs root and a system without a plinkel package of its own (else: skipped).
source "$PLINKEL_E2E_LIB"
build="${PLINKEL_BUILD_DIR:?PLINKEL_BUILD_DIR must name the build tree}"
SKIPPED=77
APT_LOCK_WAIT=300 # seconds to wait for another apt or dpkg to finish

if [ "$(id -u)" -ne 0 ]; then
    echo "SKIP: installing a package needs root"
    exit $SKIPPED
fi
if dpkg-query -W -f='${Status}' plinkel 2>/dev/null | grep -q 'ok installed'; then
    echo "SKIP: a plinkel package is installed already; this test would remove it"
    exit $SKIPPED
fi
e2e_init
apt_get() { DEBIAN_FRONTEND=noninteractive apt-get -y -q -o DPkg::Lock::Timeout=$APT_LOCK_WAIT "$@"; }

step "build the package"
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$WORK/pkg" >"$WORK/cpack.log" 2>&1 ||
    fail "cpack: $(tail -5 "$WORK/cpack.log")"
deb=$(ls "$WORK"/pkg/plinkel_*_amd64.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || fail "no plinkel_VERSION_amd64.deb in $WORK/pkg"
# A fresh system gets every library the programs link: each one they name belongs to a package
# (or to one providing a name) that the package depends on.
dpkg-deb -x "$deb" "$WORK/root"
dpkg-deb -f "$deb" Depends | tr ',|' '\n\n' | awk '{print $1}' >"$WORK/depends"
for so in $(objdump -p "$WORK"/root/usr/bin/* | awk '$1 == "NEEDED" {print $2}' | sort -u); do
    lib=$(ldconfig -p | awk -v so="$so" '$1 == so && /x86-64/ {print $NF; exit}')
    owner=$(dpkg -S "$lib" "$(readlink -f "$lib")" 2>/dev/null | head -n 1 | cut -d: -f1)
    [ -n "$owner" ] || fail "no package holds $so"
    names=$(printf '%s\n%s\n' "$owner" "$(dpkg-query -W -f='${Provides}' "$owner" | tr ',' '\n')")
    awk '{print $1}' <<<"$names" | grep -q -x -F -f "$WORK/depends" ||
        fail "$so comes from $owner, which the package does not depend on"
done
dpkg-deb -f "$deb" Recommends | grep -q 'timgm6mb-soundfont | fluid-soundfont-gm' ||
    fail "the soundfont is not recommended"

step "lintian"
lintian --fail-on error,warning "$deb" >"$WORK/lintian.log" 2>&1 ||
    fail "lintian: $(grep -v 'root privileges' "$WORK/lintian.log")"

step "install"
trap 'apt_get remove plinkel >/dev/null 2>&1; e2e_cleanup' EXIT
apt_get install "$deb" >"$WORK/apt.log" 2>&1 || fail "apt install: $(tail -5 "$WORK/apt.log")"
dpkg -L plinkel | while read -r f; do [ -f "$f" ] && echo "$f"; done >"$WORK/files"
grep -q -x /usr/bin/plinkel "$WORK/files" || fail "no /usr/bin/plinkel in the package"

step "the installed converter and editor run"
printf 'vudiz 25\ntempo 120\nnum_track 1\ntrack 0 0 0 -1\nm 0 4 4\nn 0 0 0 192 0 127\nt 0 120\n' \
    >"$WORK/one.seq"
/usr/bin/plinkel-convert "$WORK/one.seq" "$WORK/one.mid" || fail "plinkel-convert failed"
[ "$(head -c 4 "$WORK/one.mid")" = MThd ] || fail "plinkel-convert wrote no MIDI file"
start_xvfb
sound_config none
start_plinkel /usr/bin/plinkel
wait_window
accept_new_score
press_until_exit Escape
expect_status 0

step "remove"
apt_get remove plinkel >>"$WORK/apt.log" 2>&1 || fail "apt remove: $(tail -5 "$WORK/apt.log")"
trap e2e_cleanup EXIT
dpkg-query -W -f='${Status}' plinkel 2>/dev/null | grep -q 'ok installed' &&
    fail "plinkel still installed"
left=$(while read -r f; do [ -e "$f" ] && echo "$f"; done <"$WORK/files")
[ -z "$left" ] || fail "left behind: $left"
[ ! -e /usr/share/plinkel ] || fail "left behind: /usr/share/plinkel"
echo PASS
