#!/usr/bin/env bash
# Installs the Debian packages plinkel needs. Usage: deps.sh [run|test]
#   run  - building and running the editor
#   test - also what the tests, the validators and the benchmarks need
set -euo pipefail

run_pkgs=(build-essential cmake pkg-config liballegro4-dev zlib1g-dev xfonts-base
          libfluidsynth-dev timgm6mb-soundfont libpugixml-dev libzip-dev)
test_pkgs=(libgtest-dev libbenchmark-dev clang-format xvfb xdotool x11-utils imagemagick
           python3 python3-mido python3-numpy midicsv openttd-openmsx desktop-file-utils
           musescore3 lilypond gputils)

want=("${run_pkgs[@]}")
[ "${1:-run}" = test ] && want+=("${test_pkgs[@]}")

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
