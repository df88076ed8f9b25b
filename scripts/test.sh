#!/usr/bin/env bash
# Builds and runs every test: the plain build, the Debian package installed and removed
# again (as root), the Windows cross build under wine, its zip and installer (and LMMS
# playing the installed DLL) under wine, the AddressSanitizer + UndefinedBehaviorSanitizer
# build, the ThreadSanitizer build for the concurrency tests, then a minute of
# coverage-guided fuzzing per input surface. GUI tests run on a private Xvfb display. Usage: scripts/test.sh [--quick]   (--quick: the plain build only)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

"$root/scripts/install-deps.sh"
# shellcheck source=scripts/xvfb.sh
. "$root/scripts/xvfb.sh"
lyrevane_private_display

jobs=$(nproc)
quick=0
[ "${1:-}" = "--quick" ] && quick=1

# build DIR [cmake options...] [-- targets...]
build() {
  local dir=$1; shift
  local options=() targets=()
  while [ $# -gt 0 ] && [ "$1" != "--" ]; do options+=("$1"); shift; done
  [ $# -gt 0 ] && shift && targets=("$@")
  cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLYREVANE_WERROR=ON "${options[@]}" >/dev/null
  if [ ${#targets[@]} -gt 0 ]; then
    cmake --build "$dir" -j "$jobs" --target "${targets[@]}"
  else
    cmake --build "$dir" -j "$jobs"
  fi
}

echo "== plain build"
build build/test -DCMAKE_EXPORT_COMPILE_COMMANDS=ON
ctest --test-dir build/test --output-on-failure -j "$jobs"

if [ "$quick" = 1 ]; then
  exit 0
fi

echo "== clang-tidy (the checks of .clang-tidy, our own sources)"
"$root/scripts/tidy.sh" "$root/build/test"

echo "== the README's build: every target in Release, as a user builds it"
# Its exact commands, so that they keep working. Warnings stay warnings there, but here any
# warning of a fresh build fails the check: optimisation levels raise their own.
readme_log=$(mktemp)
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/release -j "$(nproc)" 2>&1 | tee "$readme_log"
if grep -q 'warning:' "$readme_log"; then
  echo "warnings in the Release build:" >&2
  grep 'warning:' "$readme_log" >&2
  rm -f "$readme_log"
  exit 1
fi
rm -f "$readme_log"

echo "== Debian package: built, checked by lintian, installed, found by Ardour, removed"
package_start=$SECONDS
"$root/scripts/package-deb.sh" "$root/build/package"
deb_status=0
"$root/tests/package/test-deb.sh" "$root"/build/package/lyrevane_*.deb "$root/build/test" || deb_status=$?
# 77: skipped, for want of root or because a lyrevane package of the user's is installed.
[ "$deb_status" = 0 ] || [ "$deb_status" = 77 ] || exit 1
echo "Debian package stage: $((SECONDS - package_start)) s"

echo "== Windows: both DLLs cross-built and tested under wine"
windows_start=$SECONDS
"$root/scripts/test-windows.sh" --native "$root/build/test"
echo "Windows stage: $((SECONDS - windows_start)) s"

echo "== Windows packages: the zip and the installer under wine, LMMS playing the installed DLL"
windows_packages_start=$SECONDS
"$root/scripts/package-windows.sh" --native "$root/build/test"
"$root/tests/package/test-windows-packages.sh" "$root/build/windows/package" "$root/build/test"
echo "Windows packages stage: $((SECONDS - windows_packages_start)) s"

echo "== AddressSanitizer + UndefinedBehaviorSanitizer"
build build/asan -DLYREVANE_SANITIZE=address,undefined
LYREVANE_SOAK_SECONDS=120 ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 LSAN_OPTIONS=suppressions="$root/tests/lsan.supp" UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build/asan --output-on-failure -j "$jobs"

echo "== ThreadSanitizer (concurrency tests)"
# Only the programs that hold concurrency tests (and the module they load).
build build/tsan -DLYREVANE_SANITIZE=thread -- test_strum test_host test_hardening test_instrument
LYREVANE_SOAK_SECONDS=120 TSAN_OPTIONS=halt_on_error=1 ctest --test-dir build/tsan --output-on-failure -L concurrency -j "$jobs"

echo "== Fuzzing (clang, libFuzzer, one minute per surface)"
LYREVANE_FUZZ_BUILD="$root/build/fuzz" "$root/scripts/fuzz.sh" 60
