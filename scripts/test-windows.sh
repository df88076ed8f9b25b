#!/usr/bin/env bash
# The Windows stage: cross-builds both DLLs, the render tool and the tests (installing what
# they need), then runs the tests of both word sizes under wine on a private X display, with
# one wineserver for the whole run in a prefix of the build's own.
# Usage: scripts/test-windows.sh [--native DIR]   (DIR: an existing native build to reuse)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$root/build/windows

LYREVANE_WERROR=ON "$root/scripts/build-windows.sh" "$@" "$out"

# shellcheck source=scripts/xvfb.sh
. "$root/scripts/xvfb.sh"
lyrevane_private_display

export WINEPREFIX=$out/wineprefix WINEDEBUG=-all
# No prompt to fetch the .NET and HTML engines: nothing here uses them, and a prompt would wait.
# No crash debugger either: on a display it opens a dialog that waits for a click, so a
# crashing test would hang the run instead of failing.
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
# A fresh clone has no prefix yet, and the server will not start in a missing folder; the
# first program run fills it in.
mkdir -p "$WINEPREFIX"
# The server stays up between the tests (instead of starting anew for each program) and
# leaves five seconds after the last one; wineserver -w waits for that.
wineserver -p5
status=0
for arch in i686 x86_64; do
  echo "== Windows $arch under wine"
  # A test that hangs all the same fails after ten minutes (the slowest takes under one).
  ctest --test-dir "$out/$arch" --output-on-failure --timeout 600 || status=1
done
wineserver -w
exit $status
