# shellcheck shell=bash
# Sourced by the Ardour tests: their messages, and the running of the host's tools, with the
# test's work folder in work.

scanner=/usr/lib/ardour7/ardour-vst-scanner
step() { echo "== $*"; }
fail() { echo "FAIL $*"; exit 1; }

# Runs one host step with a time limit; its output goes to the log $1, shown on failure, after
# removing the folder $2 when one is named. Ardour 7.3's headless tools sometimes corrupt their
# own heap or hang with any VST 2 instrument loaded (a do-nothing test module shows it as
# well), so a step whose process dies by a signal or hangs is run again from a clean start; a
# failure that our scripts report (status 1) is final.
run_host() {
  local log=$1 reset=$2; shift 2
  local attempt status
  for attempt in 1 2 3 4 5 6; do
    [ -n "$reset" ] && rm -rf "$reset"
    status=0
    timeout --kill-after=10 60 "$@" >"$log" 2>&1 || status=$?
    [ "$status" -lt 124 ] && break
    echo "note: the host died with status $status (attempt $attempt)"
  done
  grep -E '^(FOUND|INSTANTIATED|PRESET|TEMPO|EXPORTED|SAVED|CLOSED|FAIL)' "$log" || true
  if [ "$status" -ne 0 ]; then
    tail -n 40 "$log"
    fail "host step exited with status $status"
  fi
}

# Installs the module $1 the way a musician would, alone in a folder on LXVST_PATH, as
# installed, and has the host scan it (the log in $work/scan.log).
# shellcheck disable=SC2154  # work is set by the sourcing test
install_and_scan() {
  installed=$LXVST_PATH/Lyrevane.so
  cp "$1" "$installed"
  # The host trusts a scan only when its cache file, stamped in whole seconds, is newer than the
  # module; a copy made in the same second as the scan would be scanned and then ignored.
  touch -d '-1 minute' "$installed"
  step "scanning $installed"
  run_host "$work/scan.log" "" env LD_LIBRARY_PATH=/usr/lib/ardour7 "$scanner" -f -v "$installed"
}
