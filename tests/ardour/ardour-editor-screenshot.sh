#!/usr/bin/env bash
# Shows our editor in Ardour 7's own plug-in window on a private X server and takes a picture:
# scans the module, makes a session with the instrument on a MIDI track, marks its plug-in
# window visible in the saved window state (the host reopens such windows with the session),
# starts the host's GUI on the dummy backend and waits until our panel's artwork is on screen.
# Usage: ardour-editor-screenshot.sh MODULE.so LYREVANE-PANEL-SHOT BACKGROUND.png OUT.png
# Exits 0 with the picture in OUT.png, 1 when the panel never showed, 77 (skipped) when Ardour
# or Xvfb is not installed or the module carries a sanitizer runtime.
set -euo pipefail
# shellcheck source=tests/ardour/host-steps.sh
. "$(dirname "$0")/host-steps.sh"

if [ $# -ne 4 ]; then
  echo "usage: $0 MODULE.so LYREVANE-PANEL-SHOT BACKGROUND.png OUT.png" >&2
  exit 64
fi
module=$(realpath "$1")
shot=$(realpath "$2")
background=$(realpath "$3")
out=$(realpath -m "$4")
here=$(cd "$(dirname "$0")" && pwd)
readonly PANEL_WIDTH=529 PANEL_HEIGHT=225  # the editor's frame
readonly SESSION_NAME=lyrevane-editor

for tool in ardour ardour7-lua Xvfb; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIPPED: $tool not found (Debian packages 'ardour' and 'xvfb')"
    exit 77
  fi
done
[ -x "$scanner" ] || { echo "SKIPPED: $scanner not found"; exit 77; }
# A module built with a sanitizer needs that runtime loaded first, which the host does not do.
if readelf -d "$module" | grep -E 'NEEDED.*lib(a|t|ub)san' >/dev/null; then
  echo "SKIPPED: $module is built with a sanitizer runtime; the host cannot load it"
  exit 77
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/lyrevane-ardour-editor.XXXXXX")
xvfb_pid="" ardour_pid=""
stop_ardour() {
  if [ -n "$ardour_pid" ]; then
    # The host runs in its own process group with its helpers; end the group it leads.
    kill -TERM -- "-$ardour_pid" 2>/dev/null || true
    for _ in 1 2 3 4 5 6 7 8 9 10; do
      kill -0 "$ardour_pid" 2>/dev/null || break
      sleep 0.5
    done
    kill -KILL -- "-$ardour_pid" 2>/dev/null || true
    wait "$ardour_pid" 2>/dev/null || true
    ardour_pid=""
  fi
}
cleanup() {
  stop_ardour
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

# Everything the host reads or writes stays in the work folder.
export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache
export LXVST_PATH=$work/vst
config=$XDG_CONFIG_HOME/ardour7
mkdir -p "$HOME" "$config" "$LXVST_PATH"
# The marker of an earlier run skips the first-run wizard. The engine state below starts the
# dummy backend at 48 kHz without the audio setup dialog; the host hides that backend from the
# dialog unless told otherwise, and then ignores the saved state.
touch "$config/.a7"
cat >"$config/config" <<'EOF'
<?xml version="1.0" encoding="UTF-8"?>
<Ardour>
  <Config>
    <Option name="try-autostart-engine" value="1"/>
    <Option name="hide-dummy-backend" value="0"/>
  </Config>
  <Extra>
    <AudioMIDISetup>
      <EngineStates>
        <State backend="None (Dummy)" driver="Normal Speed" device="Silence" input-device=""
               output-device="" sample-rate="48000" buffer-size="1024" n-periods="2"
               input-latency="0" output-latency="0" input-channels="0" output-channels="0"
               active="1" use-buffered-io="0" midi-option="" lru="1"/>
      </EngineStates>
    </AudioMIDISetup>
  </Extra>
</Ardour>
EOF

install_and_scan "$module"
grep -q 'has_editor="1"' "$XDG_CACHE_HOME"/ardour7/vst/*.v2i \
  || { cat "$work/scan.log"; fail "the scan did not record an editor for Lyrevane"; }

step "new session with the instrument"
session=$work/session
run_host "$work/session.log" "$session" ardour7-lua "$here/editor-session.lua" "$session" \
  "$SESSION_NAME"
read -r _ route_id processor_id < <(grep '^EDITOR ' "$work/session.log") \
  || { cat "$work/session.log"; fail "the session step named no plug-in"; }
# The host names a processor's window P-<route id>-<processor id> and keeps its state in the
# session's UI node. Placed over the track area of the main window, which opens at the top left.
sed -i "s#^</Session>#  <Extra>\n    <UI>\n      <Window name=\"P-$route_id-$processor_id\" \
visible=\"1\" x-off=\"300\" y-off=\"240\" x-size=\"-1\" y-size=\"-1\" custom-ui=\"1\"/>\n    \
</UI>\n  </Extra>\n</Session>#" "$session/$SESSION_NAME.ardour"
grep -q "P-$route_id-$processor_id" "$session/$SESSION_NAME.ardour" \
  || fail "could not mark the plug-in window visible in the session"

step "starting Xvfb"
# A display of our own, whatever DISPLAY says: the host's windows must be the only ones.
Xvfb -displayfd 3 -screen 0 1600x1000x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  sleep 0.1
done
[ -s "$work/display" ] || { cat "$work/xvfb.log"; fail "Xvfb did not start"; }
DISPLAY=":$(head -n 1 "$work/display")"
export DISPLAY

# Waits up to 90 seconds for the panel; the host may also die on the way, like its headless
# tools, and is then started again on a fresh copy of the session.
cp -a "$session" "$work/session.pristine"
shown=0
for attempt in 1 2 3; do
  step "starting Ardour (attempt $attempt)"
  rm -rf "$session" && cp -a "$work/session.pristine" "$session"
  setsid ardour --no-splash --no-announcements "$session/$SESSION_NAME.ardour" \
    >"$work/ardour.log" 2>&1 &
  ardour_pid=$!
  for _ in $(seq 45); do
    sleep 2
    status=0
    "$shot" "$work/shot.png" "$background" "$PANEL_WIDTH" "$PANEL_HEIGHT" >"$work/shot.log" \
      || status=$?
    if [ "$status" -eq 0 ]; then
      # Let the host finish drawing its own window around the panel, then look again.
      sleep 3
      if "$shot" "$work/shot.png" "$background" "$PANEL_WIDTH" "$PANEL_HEIGHT" \
        >"$work/shot.log"; then
        shown=1
      fi
      break
    fi
    [ "$status" -le 2 ] || { cat "$work/shot.log"; fail "lyrevane-panel-shot failed"; }
    kill -0 "$ardour_pid" 2>/dev/null || { echo "note: Ardour ended early"; break; }
  done
  cat "$work/shot.log"
  stop_ardour
  [ "$shown" -eq 1 ] && break
  tail -n 20 "$work/ardour.log"
done

mkdir -p "$(dirname "$out")"
cp "$work/shot.png" "$out"
[ "$shown" -eq 1 ] || fail "our panel did not show in Ardour's plug-in window; see $out"
echo "ok   our panel is shown in Ardour's plug-in window; picture in $out"
