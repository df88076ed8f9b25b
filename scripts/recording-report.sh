#!/usr/bin/env bash
# Prints the measured properties of the 25 synthesised guitar recordings as a table and, where
# Debian's FluidR3 soundfont is installed, their measures of realism beside the real notes'.
# Usage: scripts/recording-report.sh [BUILD_DIR]   (default: build)
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" --target recording-report recordings -j2 >/dev/null
soundfont=/usr/share/sounds/sf2/FluidR3_GM.sf2
if [ -f "$soundfont" ]; then
  "$build/bin/recording-report" "$build/resources/recordings" "$soundfont"
else
  "$build/bin/recording-report" "$build/resources/recordings"
fi
