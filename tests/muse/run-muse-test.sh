#!/usr/bin/env bash
# Proves the module in MusE 4.1 on JACK: a private Xvfb display and a named JACK server on the
# dummy driver (44100 Hz, blocks of 512), MusE opening a song written by the helper (a MIDI
# track playing a picked string and a strum into the module on a synth track, its panel open),
# the transport started through JACK, MusE's output recorded with jack_capture and compared
# with lyrevane-render's render of the same keys, sample for sample. Also writes a picture of
# MusE with our panel.
# Usage: run-muse-test.sh MODULE.so LYREVANE-RENDER LYREVANE-MUSE-CHECK LYREVANE-PANEL-SHOT
#                         BACKGROUND.png OUT.png
# Exits 77 (skipped) when MusE or the JACK tools are not installed or the module carries a
# sanitizer runtime.
set -euo pipefail

if [ $# -ne 6 ]; then
  echo "usage: $0 MODULE.so LYREVANE-RENDER LYREVANE-MUSE-CHECK LYREVANE-PANEL-SHOT" \
    "BACKGROUND.png OUT.png" >&2
  exit 64
fi
module=$(realpath "$1")
render=$2
check=$3
shot=$4
background=$(realpath "$5")
out=$(realpath -m "$6")
readonly PANEL_WIDTH=529 PANEL_HEIGHT=225  # the editor's frame
readonly RATE=44100 PERIOD=512

for tool in muse jackd jack_capture jack_transport jack_lsp Xvfb xdotool; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIPPED: $tool not found (Debian packages muse, jackd2, jack-capture, xvfb, xdotool)"
    exit 77
  fi
done
if readelf -d "$module" | grep -E 'NEEDED.*lib(a|t|ub)san' >/dev/null; then
  echo "SKIPPED: $module is built with a sanitizer runtime; the host cannot load it"
  exit 77
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/lyrevane-muse.XXXXXX")
xvfb_pid="" jackd_pid="" muse_pid="" capture_pid=""
# Ends one process we started (and, for a group leader, its group) by its id, forcibly only
# when it has not ended after ten seconds.
stop() {
  local pid=$1 group=${2:-}
  [ -n "$pid" ] || return 0
  if [ -n "$group" ]; then kill -TERM -- "-$pid" 2>/dev/null || true; fi
  kill -TERM "$pid" 2>/dev/null || true
  for _ in $(seq 100); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$pid" 2>/dev/null; then
    echo "note: process $pid did not end on SIGTERM; killing it"
    if [ -n "$group" ]; then kill -KILL -- "-$pid" 2>/dev/null || true; fi
    kill -KILL "$pid" 2>/dev/null || true
  fi
  wait "$pid" 2>/dev/null || true
}
cleanup() {
  stop "$capture_pid"
  stop "$muse_pid" group
  stop "$jackd_pid"
  stop "$xvfb_pid"
  rm -rf "$work"
}
trap cleanup EXIT

step() { echo "== $*"; }
fail() { echo "FAIL $*"; exit 1; }
# Waits up to $1 tenths of a second for the command after it to succeed.
wait_for() {
  local tenths=$1; shift
  for _ in $(seq "$tenths"); do
    "$@" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  return 1
}

# Everything the host reads or writes stays in the work folder.
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_CACHE_HOME=$work/home/.cache
export XDG_RUNTIME_DIR=$work/run LXVST_PATH=$work/vst
mkdir -p "$XDG_CONFIG_HOME/MusE/MusE" "$XDG_RUNTIME_DIR" "$LXVST_PATH"
chmod 700 "$XDG_RUNTIME_DIR"
cp "$module" "$LXVST_PATH/Lyrevane.so"
# No tips, no splash, no question about instrument initialisation: nothing may wait for a click.
cat >"$XDG_CONFIG_HOME/MusE/MusE/MusE-seq.cfg" <<'EOF'
<?xml version="1.0"?>
<muse version="3.3">
  <configuration>
    <didYouKnow>0</didYouKnow>
    <showSplashScreen>0</showSplashScreen>
    <warnIfBadTiming>0</warnIfBadTiming>
    <midiSendInit>0</midiSendInit>
    <warnInitPending>0</warnInitPending>
    <useJackTransport>1</useJackTransport>
  </configuration>
</muse>
EOF

step "writing the song"
"$check" plan "$work"

step "starting Xvfb and JACK"
Xvfb -displayfd 3 -screen 0 1280x900x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
wait_for 100 test -s "$work/display" || { cat "$work/xvfb.log"; fail "Xvfb did not start"; }
export DISPLAY=":$(head -n 1 "$work/display")"

# A server of our own name, so that no other JACK user on the machine is touched, and never
# one started behind our back by a client. The name stays the same from run to run: JACK keeps
# a registry of eight servers, and the entry of a server that died reclaims only its own name.
export JACK_DEFAULT_SERVER=lyrevane-muse-test JACK_NO_START_SERVER=1
# Synchronous, with a long client timeout: on a busy machine a late cycle is waited for
# rather than dropped (a dropped cycle is an x-run, and the recording then differs).
jackd -n "$JACK_DEFAULT_SERVER" --no-realtime --sync --timeout 10000 -d dummy -r "$RATE" -p "$PERIOD" \
  >"$work/jackd.log" 2>&1 &
jackd_pid=$!
wait_for 100 jack_lsp || { cat "$work/jackd.log"; fail "jackd did not start"; }

# MusE is started again only when it dies on the way: a host crash, not ours. Alive but not
# showing our panel within a minute is a failure.
ready=0
for attempt in 1 2 3; do
  step "starting MusE (attempt $attempt)"
  rm -rf "$HOME/.cache"
  setsid muse -j "$work/song.med" >"$work/muse.log" 2>&1 &
  muse_pid=$!
  # Ready when MusE's outputs exist and our panel shows: the song and the module are loaded.
  for _ in $(seq 60); do
    sleep 1
    kill -0 "$muse_pid" 2>/dev/null || break
    jack_lsp | grep -q '^MusE:Out 1-1$' || continue
    status=0
    "$shot" "$work/shot.png" "$background" "$PANEL_WIDTH" "$PANEL_HEIGHT" >"$work/shot.log" \
      || status=$?
    [ "$status" -le 2 ] || { cat "$work/shot.log"; fail "lyrevane-panel-shot failed"; }
    if [ "$status" -eq 0 ]; then
      ready=1
      break
    fi
  done
  [ "$ready" -eq 1 ] && break
  if kill -0 "$muse_pid" 2>/dev/null; then
    tail -n 20 "$work/muse.log"
    cat "$work/shot.log" 2>/dev/null || true
    fail "MusE is running but did not show our panel with its outputs up within a minute"
  fi
  wait "$muse_pid" || echo "note: MusE ended with status $? before it was ready (attempt $attempt)"
  tail -n 20 "$work/muse.log"
  muse_pid=""
done
[ "$ready" -eq 1 ] || fail "MusE died three times before it was ready"

step "playing through the JACK transport and recording MusE's output"
# jack_capture starts writing with the transport's first rolling block and ends when it stops.
jack_capture -jt -ns -dc -b FLOAT --port 'MusE:Out 1-0' --port 'MusE:Out 1-1' \
  "$work/recording.wav" >"$work/capture.log" 2>&1 &
capture_pid=$!
capture_connected() { jack_lsp -c 'MusE:Out 1-1' | grep -q '^ *jack_capture'; }
wait_for 100 capture_connected || { cat "$work/capture.log"; fail "jack_capture did not connect"; }
printf 'locate 0\nplay\n' | timeout 10 jack_transport >"$work/transport.log" 2>&1 \
  || { cat "$work/transport.log"; fail "jack_transport could not start the transport"; }
# MusE stops its transport at the end of the song, which ends the recording; a stop of our
# own follows if it has not come within a minute, however slowly a busy machine runs.
for _ in $(seq 600); do
  kill -0 "$capture_pid" 2>/dev/null || break
  sleep 0.1
done
printf 'stop\n' | timeout 10 jack_transport >>"$work/transport.log" 2>&1 \
  || { cat "$work/transport.log"; fail "jack_transport could not stop the transport"; }
for _ in $(seq 100); do
  kill -0 "$capture_pid" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$capture_pid" 2>/dev/null && { cat "$work/capture.log"; fail "jack_capture did not end"; }
wait "$capture_pid" || { cat "$work/capture.log"; fail "jack_capture failed"; }
capture_pid=""
grep -i 'x-run' "$work/capture.log" || true
kill -0 "$muse_pid" 2>/dev/null || { tail -n 40 "$work/muse.log"; fail "MusE died while playing"; }

step "the panel inside MusE"
# With no window manager MusE opens the panel's window over its own menus; move it over the
# arranger, let MusE redraw what it uncovers, and look again.
xdotool search --name '^Lyrevane:' windowmove 600 430 >/dev/null \
  || fail "found no window of MusE named after our instrument"
sleep 2
"$shot" "$work/shot.png" "$background" "$PANEL_WIDTH" "$PANEL_HEIGHT" >"$work/shot.log" \
  || { cat "$work/shot.log"; fail "our panel is not shown in MusE"; }
cat "$work/shot.log"
mkdir -p "$(dirname "$out")"
cp "$work/shot.png" "$out"
echo "ok   picture in $out"
stop "$muse_pid" group
muse_pid=""

step "reference render with lyrevane-render"
# The last key is released 2.25 s before the song ends; the tail covers the rest.
"$render" --plugin "$module" --rate "$RATE" --block "$PERIOD" --float --tail 3 \
  "$work/song.mid" "$work/reference.wav" >"$work/render.log" 2>&1 \
  || { cat "$work/render.log"; fail "lyrevane-render failed"; }

step "checks"
"$check" verify "$work/recording.wav" "$work/reference.wav"
