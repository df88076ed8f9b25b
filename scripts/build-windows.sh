#!/usr/bin/env bash
# Cross-builds Lyrevane.dll, lyrevane-render.exe and the wine tests for 32-bit and 64-bit
# Windows with Debian's mingw-w64 compilers. The recordings, and the Linux render that the
# tests compare with, come from a native build (made here unless --native names one).
# Usage: scripts/build-windows.sh [--native DIR] [OUT]      (OUT defaults to build/windows;
#        the DLLs land in OUT/i686/bin and OUT/x86_64/bin). LYREVANE_WERROR=ON makes warnings
#        errors, as the project's checks do.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

native=""
if [ "${1:-}" = "--native" ]; then
  native=$2
  shift 2
fi
out=$(realpath -m "${1:-$root/build/windows}")
native=$(realpath -m "${native:-$out/native}")
jobs=$(nproc)

"$root/scripts/install-deps.sh"
"$root/scripts/install-windows-deps.sh" "$out/src"
libpng_source=$(ls -d "$out"/src/libpng1.6-*/ | head -n 1)
libsndfile_source=$(ls -d "$out"/src/libsndfile-*/ | head -n 1)

cmake -S "$root" -B "$native" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$native" -j "$jobs" --target recordings Lyrevane lyrevane-render lyrevane_clap_binary

for arch in i686 x86_64; do
  cmake -S "$root" -B "$out/$arch" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DLYREVANE_WERROR="${LYREVANE_WERROR:-OFF}" \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$arch.cmake" \
    -DLYREVANE_LIBPNG_SOURCE="$libpng_source" \
    -DLYREVANE_LIBSNDFILE_SOURCE="$libsndfile_source" \
    -DLYREVANE_RECORDINGS_DIR="$native/resources/recordings" \
    -DLYREVANE_NATIVE_BUILD="$native" -Wno-dev -Wno-deprecated >/dev/null
  cmake --build "$out/$arch" -j "$jobs"
done
