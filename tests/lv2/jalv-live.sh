#!/usr/bin/env bash
# Plays the instrument live without a DAW: a private JACK server on its dummy driver, jalv
# running the LV2 plug-in from the build folder as a JACK client with the host test's chord
# edits, and lyrevane-jack-strum sending the planned keys through JACK MIDI and recording the
# audio. The recording is checked for onsets and pitch against the VST module's render.
# Usage: jalv-live.sh LV2_PATH MODULE.so LYREVANE-RENDER LYREVANE-ARDOUR-CHECK LYREVANE-JACK-STRUM
set -euo pipefail
# shellcheck source=tests/lv2/private-jack.sh
. "$(dirname "$0")/private-jack.sh"

lv2_path=$(realpath "$1")
module=$2
render=$3
check=$4
player=$5
uri=$(LV2_PATH="$lv2_path" lv2ls)

for tool in jackd jalv; do
  command -v "$tool" >/dev/null || { echo "SKIPPED: $tool not found"; exit 77; }
done
skip_if_sanitized "$lv2_path/Lyrevane.lv2/lyrevane-dsp.so" "the plug-in"

start_private_jack jalv

"$check" plan "$work"
mapfile -t controls < <("$check" lv2-controls)
control_args=()
for c in "${controls[@]}"; do control_args+=(-c "$c"); done

start_jalv lyrevane-live "${control_args[@]}" "$uri"
echo "== jalv runs $uri on JACK server $JACK_DEFAULT_SERVER"

"$player" lyrevane-live "$work/live.wav" >"$work/player.log" 2>&1 || fail "lyrevane-jack-strum failed"
echo "== recorded $(stat -c %s "$work/live.wav") bytes"

mapfile -t render_args <"$work/render-args.txt"
"$render" --plugin "$module" --rate 48000 --float --tail 1 "${render_args[@]}" \
  "$work/plan.mid" "$work/reference.wav" >"$work/render.log" 2>&1 || fail "lyrevane-render failed"
"$check" verify-live "$work/live.wav" "$work/reference.wav"
