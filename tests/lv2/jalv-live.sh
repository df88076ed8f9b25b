#!/usr/bin/env bash
# Plays the instrument live without a DAW: a private JACK server on its dummy driver, jalv
# running the LV2 plug-in from the build folder as a JACK client with the host test's chord
# edits, and lyrevane-jack-strum sending the planned keys through JACK MIDI and recording the
# audio. The recording is checked for onsets and pitch against the VST module's render.
# Usage: jalv-live.sh LV2_PATH MODULE.so LYREVANE-RENDER LYREVANE-ARDOUR-CHECK LYREVANE-JACK-STRUM
set -euo pipefail

lv2_path=$(realpath "$1")
module=$2
render=$3
check=$4
player=$5
uri=$(LV2_PATH="$lv2_path" lv2ls)

for tool in jackd jalv; do
  command -v "$tool" >/dev/null || { echo "SKIPPED: $tool not found"; exit 77; }
done
if readelf -d "$lv2_path/Lyrevane.lv2/lyrevane-dsp.so" | grep -E 'NEEDED.*lib(a|t|ub)san' >/dev/null; then
  echo "SKIPPED: the plug-in is built with a sanitizer runtime; jalv cannot load it"
  exit 77
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/lyrevane-jalv.XXXXXX")
jackd_pid=""
jalv_pid=""
cleanup() {
  exec 3>&- 2>/dev/null || true
  [ -n "$jalv_pid" ] && kill "$jalv_pid" 2>/dev/null && wait "$jalv_pid" 2>/dev/null
  [ -n "$jackd_pid" ] && kill "$jackd_pid" 2>/dev/null && wait "$jackd_pid" 2>/dev/null
  [ -n "${LYREVANE_KEEP_WORK:-}" ] || rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL $*"; for log in "$work"/*.log; do echo "--- $log"; tail -n 20 "$log"; done; exit 1; }

# A server of our own name: the machine may run other JACK servers, and the default one is
# never touched.
export JACK_DEFAULT_SERVER=lyrevane-test-$$
export JACK_NO_AUDIO_RESERVATION=1 JACK_NO_START_SERVER=1
# Synchronous, with a long client timeout: on a busy machine without real-time scheduling a
# late cycle is waited for rather than dropped, so every key and every sample arrives.
jackd --no-realtime --sync --timeout 10000 -n "$JACK_DEFAULT_SERVER" -d dummy -r 48000 -p 256 >"$work/jackd.log" 2>&1 &
jackd_pid=$!
for _ in $(seq 100); do
  jack_lsp >/dev/null 2>&1 && break
  kill -0 "$jackd_pid" 2>/dev/null || fail "jackd exited"
  sleep 0.1
done

"$check" plan "$work"
mapfile -t controls < <("$check" lv2-controls)
control_args=()
for c in "${controls[@]}"; do control_args+=(-c "$c"); done

# jalv reads commands from its standard input; a pipe held open keeps it running.
mkfifo "$work/console"
LV2_PATH="$lv2_path" jalv -x -n lyrevane-live "${control_args[@]}" "$uri" \
  <"$work/console" >"$work/jalv.log" 2>&1 &
jalv_pid=$!
exec 3>"$work/console"

for _ in $(seq 100); do
  jack_lsp 2>/dev/null | grep -q "lyrevane-live:out_left" && break
  kill -0 "$jalv_pid" 2>/dev/null || fail "jalv exited"
  sleep 0.1
done
echo "== jalv runs $uri on JACK server $JACK_DEFAULT_SERVER"

"$player" lyrevane-live "$work/live.wav" >"$work/player.log" 2>&1 || fail "lyrevane-jack-strum failed"
echo "== recorded $(stat -c %s "$work/live.wav") bytes"

mapfile -t render_args <"$work/render-args.txt"
"$render" --plugin "$module" --rate 48000 --float --tail 1 "${render_args[@]}" \
  "$work/plan.mid" "$work/reference.wav" >"$work/render.log" 2>&1 || fail "lyrevane-render failed"
"$check" verify-live "$work/live.wav" "$work/reference.wav"
