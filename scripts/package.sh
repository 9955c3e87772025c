#!/usr/bin/env bash
# Installs what is missing, builds plinkel in build-deb/ and makes the Debian package
# build-deb/plinkel_VERSION_ARCH.deb with CPack (dependencies from the libraries it links).
# Arguments go to cmake, e.g. -DPLINKEL_MAINTAINER="Name <address>" -DPLINKEL_HOMEPAGE=URL.
# Install it with: apt install ./build-deb/plinkel_*.deb
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$here/build-deb
bash "$here/scripts/deps.sh" run
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPLINKEL_TESTS=OFF "$@" >/dev/null
cmake --build "$build" -j"$(nproc)"
(cd "$build" && cpack -G DEB)
