#!/usr/bin/env bash
# Configures the project as a packager does, with the tests and benchmarks off, where
# GoogleTest, Google Benchmark, lilv, FFTW, aubio and JACK cannot be found: pkg-config sees every
# module of this machine but theirs, and CMake's own searches for the first two are disabled.
# It must configure; with the tests on, the same configure must fail for want of them. And
# without the LV2 bundle (LYREVANE_LV2=OFF) it configures where lv2-dev is hidden too.
# Usage: configure-without-test-libraries.sh SOURCE_DIR
set -euo pipefail
source=$(realpath "$1")
work=$(mktemp -d "${TMPDIR:-/tmp}/lyrevane-configure.XXXXXX")
trap 'rm -rf "$work"' EXIT

mkdir "$work/pkgconfig"
IFS=: read -ra search <<<"$(pkg-config --variable pc_path pkg-config)"
for dir in "${search[@]}"; do
  for pc in "$dir"/*.pc; do
    [ -e "$pc" ] || continue
    case $(basename "$pc" .pc) in
      lilv-*|fftw3*|aubio|jack|benchmark*|gtest*|gmock*) ;;
      *) ln -sf "$pc" "$work/pkgconfig/" ;;
    esac
  done
done
export PKG_CONFIG_LIBDIR=$work/pkgconfig
unset PKG_CONFIG_PATH
hidden=(-DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON)
pkg-config --exists lilv-0 && { echo "FAIL lilv-0 is still visible"; exit 1; }

if ! cmake -S "$source" -B "$work/packager" "${hidden[@]}" \
     -DLYREVANE_TESTS=OFF -DLYREVANE_BENCH=OFF >"$work/packager.log" 2>&1; then
  cat "$work/packager.log"
  echo "FAIL configuring without the tests and benchmarks needs a library of theirs"
  exit 1
fi
echo "ok   configures with LYREVANE_TESTS=OFF LYREVANE_BENCH=OFF"

if cmake -S "$source" -B "$work/everything" "${hidden[@]}" >"$work/everything.log" 2>&1; then
  echo "FAIL configuring with the tests succeeded where their libraries are hidden"
  exit 1
fi
grep -m1 -E "lilv-0|GTest|fftw3f" "$work/everything.log" | sed 's/^/ok   with the tests on it fails: /'

rm "$work/pkgconfig/lv2.pc"
if ! cmake -S "$source" -B "$work/vst-only" "${hidden[@]}" -DLYREVANE_LV2=OFF \
     >"$work/vst-only.log" 2>&1; then
  cat "$work/vst-only.log"
  echo "FAIL configuring without the LV2 bundle needs lv2-dev or a test library"
  exit 1
fi
echo "ok   configures with LYREVANE_LV2=OFF (tests and benchmarks off with it) without lv2-dev"
