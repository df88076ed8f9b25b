# shellcheck shell=bash
# Sourced by the jalv tests: their work folder, a private JACK server on its dummy driver, jalv
# started on it, and the cleanup of all three (jalv's process id in jalv_pid).

# Exits as skipped when the binary $1 carries a sanitizer runtime, which jalv cannot load;
# $2 names it in the message.
skip_if_sanitized() {
  if readelf -d "$1" | grep -E 'NEEDED.*lib(a|t|ub)san' >/dev/null; then
    echo "SKIPPED: $2 is built with a sanitizer runtime; jalv cannot load it"
    exit 77
  fi
}

# Makes the work folder and starts the server, both named after $1, and waits until it runs.
start_private_jack() {
  work=$(mktemp -d "${TMPDIR:-/tmp}/lyrevane-$1.XXXXXX")
  jackd_pid=""
  jalv_pid=""
  trap cleanup EXIT
  # A server of our own name: the machine may run other JACK servers, and the default one is
  # never touched.
  export JACK_DEFAULT_SERVER=lyrevane-$1-$$
  export JACK_NO_AUDIO_RESERVATION=1 JACK_NO_START_SERVER=1
  # Synchronous, with a long client timeout: on a busy machine without real-time scheduling a
  # late cycle is waited for rather than dropped, so every key and every sample arrives.
  jackd --no-realtime --sync --timeout 10000 -n "$JACK_DEFAULT_SERVER" -d dummy -r 48000 -p 256 >"$work/jackd.log" 2>&1 &
  jackd_pid=$!
  for _ in $(seq 100); do
    jack_lsp >/dev/null 2>&1 && return 0
    kill -0 "$jackd_pid" 2>/dev/null || fail "jackd exited"
    sleep 0.1
  done
}

# Starts jalv as the JACK client $1 with the further arguments (options and the plug-in's URI),
# LV2_PATH set to lv2_path, its console on descriptor 3 (a pipe held open keeps it running)
# and its output, line by line, in $work/jalv.log; returns once its outputs exist.
start_jalv() {
  local name=$1
  shift
  mkfifo "$work/console"
  # Line-buffered: jalv answers its console through stdio, which would hold a file's back.
  LV2_PATH="$lv2_path" stdbuf -oL jalv -x -n "$name" "$@" <"$work/console" >"$work/jalv.log" 2>&1 &
  jalv_pid=$!
  exec 3>"$work/console"
  for _ in $(seq 100); do
    jack_lsp 2>/dev/null | grep -q "$name:out_left" && return 0
    kill -0 "$jalv_pid" 2>/dev/null || fail "jalv exited"
    sleep 0.1
  done
}

cleanup() {
  # start_jalv holds jalv's console open on descriptor 3.
  exec 3>&- 2>/dev/null || true
  [ -n "$jalv_pid" ] && kill "$jalv_pid" 2>/dev/null && wait "$jalv_pid" 2>/dev/null
  [ -n "$jackd_pid" ] && kill "$jackd_pid" 2>/dev/null && wait "$jackd_pid" 2>/dev/null
  [ -n "${LYREVANE_KEEP_WORK:-}" ] || rm -rf "$work"
}

fail() { echo "FAIL $*"; for log in "$work"/*.log; do echo "--- $log"; tail -n 20 "$log"; done; exit 1; }
