#!/usr/bin/env bash
# Installs the Debian packages plinkel needs. Usage: deps.sh [run|test|fuzz]
#   run  - building and running the editor
#   test - also what the tests, the validators and the benchmarks need
#   fuzz - also what the fuzz targets need (scripts/fuzz.sh; not part of the test run)
set -euo pipefail

run_pkgs=(build-essential cmake pkg-config liballegro4-dev libx11-dev zlib1g-dev xfonts-base
          libfluidsynth-dev timgm6mb-soundfont libpugixml-dev libzip-dev librtmidi-dev
          libebur128-dev libsndfile1-dev librsvg2-bin imagemagick lilypond)
test_pkgs=(libgtest-dev libbenchmark-dev clang-format xvfb xdotool x11-utils
           python3 python3-mido python3-numpy midicsv openttd-openmsx desktop-file-utils
           musescore3 gputils poppler-utils appstream shared-mime-info file man-db lintian
           jackd1 python3-rtmidi sndfile-programs)
fuzz_pkgs=(clang libclang-rt-14-dev)

want=("${run_pkgs[@]}")
case "${1:-run}" in
test) want+=("${test_pkgs[@]}") ;;
fuzz) want+=("${test_pkgs[@]}" "${fuzz_pkgs[@]}") ;;
esac

missing=()
for p in "${want[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "deps.sh: missing packages ${missing[*]}; run as root to install them" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}"
