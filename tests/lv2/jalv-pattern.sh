#!/usr/bin/env bash
# A strum pattern live without a DAW: a private JACK server on its dummy driver, jalv running
# the LV2 plug-in with held chords and the folk pattern, and lyrevane-jack-strum as the JACK
# transport's timebase master at the song's tempo, starting the transport, sending the song's
# held chords through JACK MIDI and recording the audio, which must equal the render tool's
# render of the same song through the bundle once the round trip is taken off.
# Usage: jalv-pattern.sh LV2_PATH LYREVANE-RENDER LYREVANE-ARDOUR-CHECK LYREVANE-JACK-STRUM SONG.mid
set -euo pipefail
# shellcheck source=tests/lv2/private-jack.sh
. "$(dirname "$0")/private-jack.sh"

lv2_path=$(realpath "$1")
render=$2
check=$3
player=$4
song=$5
uri=$(LV2_PATH="$lv2_path" lv2ls)
ports=(chord_input=1 pattern=3)

for tool in jackd jalv; do
  command -v "$tool" >/dev/null || { echo "SKIPPED: $tool not found"; exit 77; }
done
skip_if_sanitized "$lv2_path/Lyrevane.lv2/lyrevane-dsp.so" "the plug-in"

start_private_jack jalv-pattern

control_args=()
render_args=()
for p in "${ports[@]}"; do control_args+=(-c "$p"); render_args+=(--port "$p"); done

start_jalv lyrevane-pattern "${control_args[@]}" "$uri"
echo "== jalv runs $uri with ${ports[*]} on JACK server $JACK_DEFAULT_SERVER"

"$player" lyrevane-pattern "$work/live.wav" "$song" >"$work/player.log" 2>&1 \
  || fail "lyrevane-jack-strum failed"
echo "== recorded $(stat -c %s "$work/live.wav") bytes from the transport's start"

"$render" --lv2 --plugin "$lv2_path/Lyrevane.lv2" --rate 48000 --float --tail 1 \
  "${render_args[@]}" "$song" "$work/reference.wav" >"$work/render.log" 2>&1 \
  || fail "lyrevane-render failed"
"$check" verify-live-song "$work/live.wav" "$work/reference.wav"
