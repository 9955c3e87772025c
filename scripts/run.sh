#!/usr/bin/env bash
# Installs what is missing, builds, installs plinkel under PREFIX (default /usr/local) and starts
# the editor in the current directory.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
prefix=${PREFIX:-/usr/local}
bash "$here/scripts/deps.sh" run
cmake -S "$here" -B "$here/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPLINKEL_TESTS=OFF \
      -DCMAKE_INSTALL_PREFIX="$prefix"
cmake --build "$here/build" -j"$(nproc)"
cmake --install "$here/build" --prefix "$prefix"
exec "$prefix/bin/plinkel"
