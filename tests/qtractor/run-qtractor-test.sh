#!/usr/bin/env bash
# Proves the CLAP edition in Qtractor 0.9.31, Debian's CLAP host: its plug-in scanner lists
# it; a session written here (a MIDI clip on a track whose instrument is Lyrevane.clap, with
# a stored state choosing a factory chord set) plays through JACK's transport; Qtractor's
# output, recorded by jack_capture, equals lyrevane-render's render of the same MIDI file with
# that chord set; and the state Qtractor saves (SIGUSR1) is the one it loaded.
#
# Qtractor starts its engine only with the ALSA sequencer, which the kernels of these
# machines and of CI lack (no /dev/snd/seq). The test-only preload library
# (alsa-seq-standin.c) stands in for the sequencer's calls so that the engine runs; plug-ins
# on MIDI tracks get their clips' events from Qtractor directly, so what is tested is as with
# a real sequencer.
# Usage: run-qtractor-test.sh LYREVANE.clap LYREVANE-RENDER LYREVANE-QTRACTOR-CHECK STANDIN.so
# Exits 77 (skipped) when Qtractor or the JACK tools are missing or the plug-in carries a
# sanitizer runtime (Qtractor cannot load it).
set -euo pipefail

if [ $# -ne 4 ]; then
  echo "usage: $0 LYREVANE.clap LYREVANE-RENDER LYREVANE-QTRACTOR-CHECK STANDIN.so" >&2
  exit 64
fi
plugin=$(realpath "$1")
render=$2
check=$3
standin=$(realpath "$4")
readonly RATE=48000 PERIOD=1024 CHORD_SET="Blues in E"
readonly SCANNER=/usr/lib/x86_64-linux-gnu/qtractor/qtractor_plugin_scan

for tool in qtractor jackd jack_capture jack_transport jack_lsp Xvfb base64; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIPPED: $tool not found (Debian packages qtractor, jackd2, jack-capture, xvfb)"
    exit 77
  fi
done
if readelf -d "$plugin" | grep -E 'NEEDED.*lib(a|t|ub)san' >/dev/null; then
  echo "SKIPPED: $plugin is built with a sanitizer runtime; Qtractor cannot load it"
  exit 77
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/lyrevane-qtractor.XXXXXX")
xvfb_pid="" jackd_pid="" qtractor_pid="" capture_pid=""
# Ends one process we started by its id, forcibly when it has not ended within ten seconds
# (Qtractor may ask about an unsaved session on SIGTERM).
stop() {
  local pid=$1
  [ -n "$pid" ] || return 0
  kill -TERM "$pid" 2>/dev/null || true
  for _ in $(seq 100); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -KILL "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}
cleanup() {
  stop "$capture_pid"
  stop "$qtractor_pid"
  stop "$jackd_pid"
  stop "$xvfb_pid"
  rm -rf "$work"
}
trap cleanup EXIT

step() { echo "== $*"; }
fail() { echo "FAIL $*"; exit 1; }
wait_for() {
  local tenths=$1; shift
  for _ in $(seq "$tenths"); do
    "$@" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  return 1
}

# Everything Qtractor reads or writes stays in the work folder; it finds the plug-in there
# by CLAP_PATH, which replaces its default folders.
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_RUNTIME_DIR=$work/run
export CLAP_PATH=$work/clap
mkdir -p "$XDG_CONFIG_HOME/rncbc.org" "$XDG_RUNTIME_DIR" "$CLAP_PATH"
chmod 700 "$XDG_RUNTIME_DIR"
cp "$plugin" "$CLAP_PATH/Lyrevane.clap"
# No autosave, no drift correction of MIDI against audio, and the transport following JACK's.
cat >"$XDG_CONFIG_HOME/rncbc.org/Qtractor.conf" <<'EOF'
[AutoSave]
Enabled=false
[Midi]
DriftCorrect=false
[Transport]
TransportMode=3
EOF

step "Qtractor's scanner lists the plug-in"
printf 'CLAP:%s\n' "$CLAP_PATH/Lyrevane.clap" | "$SCANNER" >"$work/scan.txt" 2>"$work/scan.log" \
  || { cat "$work/scan.log"; fail "qtractor_plugin_scan failed"; }
# One record: type, name, audio ins:outs, MIDI ins:outs, parameters, flags, file.
grep -a -q '^CLAP|Lyrevane|0:2|1:0|' "$work/scan.txt" \
  || { od -c "$work/scan.txt" | head; fail "the scanner does not list Lyrevane as an instrument"; }
echo "ok   the scanner lists it: $(tr -d '\0' <"$work/scan.txt" | cut -d'|' -f1-6)"

step "writing the song and the session"
"$check" plan "$work"
"$check" state "$plugin" "$CHORD_SET" "$work/state.bin"
state=$(base64 -w0 "$work/state.bin")
length=$((20 * RATE))
cat >"$work/session.qtr" <<EOF
<!DOCTYPE qtractorSession>
<session name="session" version="Qtractor 0.9.31">
 <properties>
  <directory>$work</directory>
  <sample-rate>$RATE</sample-rate>
  <tempo>120</tempo>
  <ticks-per-beat>960</ticks-per-beat>
  <beats-per-bar>4</beats-per-bar>
  <beat-divisor>2</beat-divisor>
 </properties>
 <tracks>
  <track type="midi" name="Guitar">
   <properties>
    <input-bus>Master</input-bus>
    <output-bus>Master</output-bus>
    <midi-omni>0</midi-omni>
    <midi-channel>0</midi-channel>
   </properties>
   <state>
    <mute>0</mute>
    <solo>0</solo>
    <record>0</record>
    <monitor>0</monitor>
    <gain>1</gain>
    <panning>0</panning>
   </state>
   <clips>
    <clip name="song">
     <properties>
      <name>song</name>
      <start>0</start>
      <offset>0</offset>
      <length>$length</length>
      <gain>1</gain>
     </properties>
     <midi-clip>
      <filename>song.mid</filename>
      <track-channel>0</track-channel>
     </midi-clip>
    </clip>
   </clips>
   <plugins>
    <plugin type="CLAP">
     <filename>$CLAP_PATH/Lyrevane.clap</filename>
     <index>0</index>
     <activated>1</activated>
     <configs>
      <config key="state">$state</config>
     </configs>
    </plugin>
    <audio-output-bus>0</audio-output-bus>
   </plugins>
  </track>
 </tracks>
</session>
EOF

step "starting Xvfb and JACK"
Xvfb -displayfd 3 -screen 0 1280x900x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
wait_for 100 test -s "$work/display" || { cat "$work/xvfb.log"; fail "Xvfb did not start"; }
export DISPLAY=":$(head -n 1 "$work/display")"
# A server of our own name; synchronous with a long timeout, so that a late cycle on a busy
# machine is waited for rather than dropped.
export JACK_DEFAULT_SERVER=lyrevane-qtractor-test JACK_NO_START_SERVER=1 JACK_NO_AUDIO_RESERVATION=1
jackd -n "$JACK_DEFAULT_SERVER" --no-realtime --sync --timeout 10000 -d dummy -r "$RATE" \
  -p "$PERIOD" >"$work/jackd.log" 2>&1 &
jackd_pid=$!
wait_for 100 jack_lsp || { cat "$work/jackd.log"; fail "jackd did not start"; }

step "starting Qtractor on the session"
LD_PRELOAD=$standin qtractor "$work/session.qtr" >"$work/qtractor.log" 2>&1 &
qtractor_pid=$!
wait_for 600 jack_lsp Qtractor:Master/out_2 \
  || { tail -n 30 "$work/qtractor.log"; fail "Qtractor's engine did not start"; }
# The session's plug-in is made and its state loaded once the engine runs; give it a moment.
sleep 2
kill -0 "$qtractor_pid" 2>/dev/null || { tail -n 30 "$work/qtractor.log"; fail "Qtractor died"; }

step "playing through the JACK transport and recording Qtractor's output"
jack_capture -jt -ns -dc -b FLOAT --port Qtractor:Master/out_1 --port Qtractor:Master/out_2 \
  "$work/recording.wav" >"$work/capture.log" 2>&1 &
capture_pid=$!
capture_connected() { jack_lsp -c Qtractor:Master/out_2 | grep -q '^ *jack_capture'; }
wait_for 100 capture_connected || { cat "$work/capture.log"; fail "jack_capture did not connect"; }
printf 'locate 0\nplay\n' | timeout 10 jack_transport >"$work/transport.log" 2>&1 \
  || { cat "$work/transport.log"; fail "jack_transport could not start the transport"; }
# The song lasts 5.5 s: stop once 8 s are recorded (two float channels), however slowly a
# busy machine runs.
recorded() { [ "$(stat -c %s "$work/recording.wav" 2>/dev/null || echo 0)" -gt $((8 * RATE * 8)) ]; }
wait_for 600 recorded || { cat "$work/capture.log"; fail "jack_capture recorded less than 8 s in a minute"; }
printf 'stop\n' | timeout 10 jack_transport >>"$work/transport.log" 2>&1 \
  || { cat "$work/transport.log"; fail "jack_transport could not stop the transport"; }
for _ in $(seq 100); do
  kill -0 "$capture_pid" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$capture_pid" 2>/dev/null && { cat "$work/capture.log"; fail "jack_capture did not end"; }
wait "$capture_pid" || { cat "$work/capture.log"; fail "jack_capture failed"; }
capture_pid=""
kill -0 "$qtractor_pid" 2>/dev/null || { tail -n 30 "$work/qtractor.log"; fail "Qtractor died while playing"; }

step "saving the session (SIGUSR1)"
cp "$work/session.qtr" "$work/written.qtr"
kill -USR1 "$qtractor_pid"
saved() { ! cmp -s "$work/session.qtr" "$work/written.qtr"; }
wait_for 100 saved || fail "Qtractor did not save the session"
# The state's base64 runs over several lines.
sed -n '/<config key="state">/,/<\/config>/p' "$work/session.qtr" | sed 's/<[^>]*>//g' | tr -d ' \n' \
  | base64 -d >"$work/saved-state.bin" || fail "the saved session holds no state of the plug-in"
stop "$qtractor_pid"
qtractor_pid=""

step "reference render with lyrevane-render"
"$render" --clap --plugin "$plugin" --rate "$RATE" --block "$PERIOD" --float --tail 3 \
  --chord-set "$CHORD_SET" "$work/song.mid" "$work/reference.wav" >"$work/render.log" 2>&1 \
  || { cat "$work/render.log"; fail "lyrevane-render failed"; }

step "checks"
status=0
"$check" verify "$work/recording.wav" "$work/reference.wav" || status=1
"$check" same-state "$plugin" "$work/state.bin" "$work/saved-state.bin" || status=1
exit $status
