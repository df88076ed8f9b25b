#!/usr/bin/env bash
# The panel in jalv.gtk3, the way a musician plays live: a private JACK server on its dummy
# driver, jalv.gtk3 with the plug-in from the build folder and its panel embedded through the
# parent-window feature, then lyrevane-panel-shot finds the panel on the screen, checks its
# artwork shows and writes the picture. jalv's window must not be resizable by the user (the
# panel is a fixed picture). Then the panel's reset button is pressed twice in quick
# succession, and jalv must hand the plug-in one reset message for each press.
# Usage: jalv-panel-shot.sh LV2_PATH LYREVANE-PANEL-SHOT BACKGROUND.png OUT.png
set -euo pipefail
# shellcheck source=tests/lv2/private-jack.sh
. "$(dirname "$0")/private-jack.sh"

lv2_path=$(realpath "$1")
shot=$2
background=$3
out=$4
[ -n "${DISPLAY:-}" ] || { echo "SKIPPED: no X display"; exit 77; }
command -v jalv.gtk3 >/dev/null || { echo "SKIPPED: jalv.gtk3 not found"; exit 77; }
skip_if_sanitized "$lv2_path/Lyrevane.lv2/lyrevane-ui.so" "the panel"

start_private_jack jalv-panel

# -d: jalv prints what the panel sends the plug-in; line-buffered, to be read while it runs.
LV2_PATH="$lv2_path" stdbuf -oL jalv.gtk3 -d "$(LV2_PATH="$lv2_path" lv2ls)" >"$work/jalv.log" 2>&1 &
jalv_pid=$!
# jalv builds its window, then embeds the panel; wait until the panel's artwork shows.
for _ in $(seq 60); do
  kill -0 "$jalv_pid" 2>/dev/null || fail "jalv.gtk3 exited"
  status=0
  "$shot" "$out" "$background" 529 225 >"$work/shot.log" 2>&1 || status=$?
  [ "$status" -eq 0 ] && break
  sleep 0.5
done
[ "$status" -eq 0 ] || fail "the panel did not show in jalv.gtk3"
cat "$work/shot.log"
echo "ok   the panel shows in jalv.gtk3: $out"

# A window the user cannot resize tells the window manager a maximum size equal to its minimum.
window=$(xdotool search --pid "$jalv_pid" --onlyvisible | head -n 1)
hints=$(xprop -id "$window" WM_NORMAL_HINTS)
minimum=$(sed -n 's/.*minimum size: \(.*\)/\1/p' <<<"$hints")
maximum=$(sed -n 's/.*maximum size: \(.*\)/\1/p' <<<"$hints")
[ -n "$minimum" ] && [ "$minimum" = "$maximum" ] || fail "jalv's window can be resized: $hints"
echo "ok   jalv's window keeps the panel's size: $maximum"

read -r x y < <(sed -n 's/^panel at \([0-9]*\),\([0-9]*\);.*/\1 \2/p' "$work/shot.log")
# The reset button's middle, from the panel's corner.
xdotool mousemove $((x + 492)) $((y + 24)) click 1 click 1
for _ in $(seq 50); do
  [ "$(grep -c 'a <urn:lyrevane:lv2:lyrevane#Reset>' "$work/jalv.log")" -ge 2 ] && break
  sleep 0.1
done
presses=$(grep -c 'a <urn:lyrevane:lv2:lyrevane#Reset>' "$work/jalv.log" || true)
[ "$presses" -eq 2 ] || fail "two presses of reset reached the plug-in as $presses reset messages"
echo "ok   two presses of reset reach the plug-in as two reset messages"
