#!/usr/bin/env bash
# Proves the 32-bit Windows module in LMMS 1.2, whose VST server runs it under wine: writes a
# project with the module on an instrument track playing a picked string and a strum, renders
# it headless, and holds the render against our render tool's render of the same keys.
# LMMS renders sample for sample as the tool when it runs the plug-in at the output rate (-x 1:
# no oversampling; its default of 2 runs the plug-in at twice the rate) and writes floats (-a).
# Needs WINEPREFIX and an X display (the VST server opens the plug-in's editor window).
# Usage: run-lmms-test.sh MODULE.dll LYREVANE-RENDER LYREVANE-LMMS-CHECK
set -euo pipefail
module=$(realpath "$1")
render=$2
check=$3
work=$(mktemp -d "${TMPDIR:-/tmp}/lyrevane-lmms.XXXXXX")
trap 'rm -rf "$work"' EXIT

echo "== LMMS renders a project with $module"
"$check" plan "$work" "$module"
# LMMS waits for ever when its VST server fails, so the render has a time limit.
status=0
QT_QPA_PLATFORM=offscreen timeout --kill-after=10 180 \
  lmms --allowroot render "$work/song.mmp" -f wav -a -x 1 -s 44100 -o "$work/lmms.wav" \
  >"$work/lmms.log" 2>&1 || status=$?
if [ "$status" -ne 0 ] || [ ! -s "$work/lmms.wav" ]; then
  cat "$work/lmms.log"
  echo "FAIL LMMS exited with status $status"
  exit 1
fi
grep -E 'RemotePlugin::DebugMessage' "$work/lmms.log" | sed 's/^/info /' || true
"$render" --float "$work/song.mid" "$work/reference.wav" >/dev/null
"$render" --float "$work/pick-only.mid" "$work/pick-only.wav" >/dev/null
"$check" verify "$work/lmms.wav" "$work/reference.wav" "$work/pick-only.wav"
