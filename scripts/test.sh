#!/usr/bin/env bash
# Installs what the tests need, builds plinkel twice (plain, and with address and undefined
# behaviour sanitizers), and runs every test in both builds: unit tests, and end-to-end tests of
# each installed build under Xvfb (a sanitizer report, leaks included, fails a test).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)
bash "$here/scripts/deps.sh" test
# The include structure first: it needs no build and names every include that runs up a layer.
python3 "$here/scripts/check_layers.py" "$here/src"

build() { # dir, extra cmake args...
  local dir=$1; shift
  cmake -S "$here" -B "$dir" -DPLINKEL_TESTS=ON "$@" >/dev/null
  cmake --build "$dir" -j"$jobs"
}

build "$here/build-test" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPLINKEL_PREFIX="$here/build-test/stage"
cmake --install "$here/build-test" --prefix "$here/build-test/stage" >/dev/null
# Optimised, so that the end-to-end tests' timing holds under the sanitizers' own cost.
build "$here/build-asan" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPLINKEL_SANITIZE=ON \
    -DPLINKEL_PREFIX="$here/build-asan/stage"
cmake --install "$here/build-asan" --prefix "$here/build-asan/stage" >/dev/null

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
status=0
echo "== unit and end-to-end tests (plain build)"
ctest --test-dir "$here/build-test" --output-on-failure -j"$jobs" || status=1
# The LilyPond and MuseScore checks spend their time in those programs, not in ours; the
# sanitizer pass leaves them to the plain one (the writers and readers they drive run under the
# sanitizers in the unit tests). The package is built and installed from the plain build only.
echo "== unit and end-to-end tests (sanitizer build)"
ctest --test-dir "$here/build-asan" --output-on-failure -j"$jobs" \
    -E '^e2e\.test_(export_lilypond|print_pdf|musicxml|package)$' || status=1
exit $status
