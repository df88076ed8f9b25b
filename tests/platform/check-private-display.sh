#!/usr/bin/env bash
# A test run inside a desktop session at 2x: the scripts' display for tests must be a server of
# their own, at 96 dpi, with no scale asked of the panel, and the scripts a run calls must
# share it rather than start another. Usage: check-private-display.sh SOURCE_DIR
set -euo pipefail
# shellcheck source=scripts/xvfb.sh
. "$1/scripts/xvfb.sh"

fail() { echo "FAIL: $*" >&2; exit 1; }

# The "desktop": a server with Xft.dpi 192, and the user's own scale variables.
lyrevane_start_xvfb_for_desktop() {
  local DISPLAY='' LYREVANE_XVFB_PID='' LYREVANE_XVFB_DISPLAY=''
  lyrevane_start_xvfb
  xprop -root -f RESOURCE_MANAGER 8s -set RESOURCE_MANAGER "Xft.dpi: 192"
  echo "$DISPLAY $LYREVANE_XVFB_PID"
}
unset DISPLAY LYREVANE_XVFB_DISPLAY
read -r desktop desktop_pid < <(lyrevane_start_xvfb_for_desktop)
trap 'kill "$desktop_pid" 2>/dev/null || true' EXIT
export DISPLAY=$desktop GDK_SCALE=2 LYREVANE_SCALE=2
xprop -root RESOURCE_MANAGER | grep -q 'Xft.dpi: 192' || fail "the desktop has no Xft.dpi 192"

lyrevane_private_display
trap 'lyrevane_stop_xvfb; kill "$desktop_pid" 2>/dev/null || true' EXIT
[ "$DISPLAY" != "$desktop" ] || fail "the tests kept the desktop's display $desktop"
[ -z "${GDK_SCALE:-}${LYREVANE_SCALE:-}" ] || fail "the tests kept the user's scale variables"
xdpyinfo >/dev/null || fail "the private display $DISPLAY does not answer"
! xprop -root RESOURCE_MANAGER | grep -q Xft.dpi || fail "the private display has the desktop's Xft.dpi"

# A script the run calls (as scripts/test.sh calls the Windows stage) shares the display.
inner=$(bash -c '. "$1/scripts/xvfb.sh"; lyrevane_private_display; echo "$DISPLAY ${LYREVANE_XVFB_PID:-}"' _ "$1")
[ "$inner" = "$DISPLAY " ] || fail "a called script started its own display: $inner (ours $DISPLAY)"
echo "private display $DISPLAY beside the desktop's $desktop"
