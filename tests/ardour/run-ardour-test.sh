#!/usr/bin/env bash
# Proves the module in Ardour 7, headless: scans it, plays the planned strums and picked string
# through a 48 kHz session on the dummy backend, saves, reopens and plays again, and checks the
# audio and parameters against the plan and against our own render tool.
# Usage: run-ardour-test.sh [--installed] MODULE.so LYREVANE-RENDER LYREVANE-ARDOUR-CHECK
#                           [LV2_PATH PROGRAMS]
# With LV2_PATH, the instrument in the session is the LV2 bundle found there instead, held
# against the same render of the VST module; then a session that chooses one of the bundle's
# presets from the host's list plays the plan, held against the module loading the same chord
# set's program file from the folder PROGRAMS. Without --installed, the plug-in is copied into
# folders of the test's own, which the search paths name alone (LXVST_PATH, LV2_PATH), so that
# nothing installed on the machine is found. With --installed, the plug-in is used where a
# package installed it, and the host must find it in its own default folders: no search path
# is set.
# Exits 77 (skipped) when Ardour is not installed or the module carries a sanitizer runtime.
set -euo pipefail
# shellcheck source=tests/ardour/host-steps.sh
. "$(dirname "$0")/host-steps.sh"

installed_mode=0
if [ "${1:-}" = "--installed" ]; then
  installed_mode=1
  shift
fi

module=$(realpath "$1")
render=$2
check=$3
lv2_bundle=${4:+$(realpath "$4")/Lyrevane.lv2}
programs=${5:-}
here=$(cd "$(dirname "$0")" && pwd)

if ! command -v ardour7-lua >/dev/null || [ ! -x "$scanner" ]; then
  echo "SKIPPED: ardour7-lua or $scanner not found (Debian package 'ardour')"
  exit 77
fi
# A module built with a sanitizer needs that runtime loaded first, which the host does not do.
if readelf -d "$module" ${lv2_bundle:+"$lv2_bundle/lyrevane-dsp.so"} \
    | grep -E 'NEEDED.*lib(a|t|ub)san' >/dev/null; then
  echo "SKIPPED: the plug-in is built with a sanitizer runtime; the host cannot load it"
  exit 77
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/lyrevane-ardour.XXXXXX")
cleanup() { rm -rf "$work"; }
trap cleanup EXIT

# Everything the host reads or writes stays in the work folder.
export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache
mkdir -p "$HOME" "$XDG_CONFIG_HOME/ardour7/scripts" "$XDG_CONFIG_HOME/ardour7/export"
if [ "$installed_mode" = 1 ]; then
  unset LXVST_PATH VST_PATH LV2_PATH
else
  export LXVST_PATH=$work/vst LV2_PATH=$work/lv2
  mkdir -p "$LXVST_PATH" "$LV2_PATH"
fi

if [ -n "$lv2_bundle" ]; then
  kind=LV2
  if [ "$installed_mode" = 1 ]; then
    # lilv, and Ardour through it, read the system's LV2 folders when LV2_PATH is unset.
    installed=$(lv2ls | grep -x 'urn:lyrevane:lv2:lyrevane') \
      || fail "lv2ls does not list the installed plug-in"
    echo "ok   $installed listed from the system's LV2 folders"
  else
    # The bundle alone on the LV2 search path, which Ardour reads at start-up; no scan needed.
    cp -r "$lv2_bundle" "$LV2_PATH/"
    installed=$(lv2ls)
    echo "ok   installed $installed in $LV2_PATH"
  fi
else
  kind=LXVST
  if [ "$installed_mode" = 1 ]; then
    # The host lists a scanned module only when it lies in a folder of its search path.
    installed=$module
    step "scanning $installed where it is installed"
    run_host "$work/scan.log" "" env LD_LIBRARY_PATH=/usr/lib/ardour7 "$scanner" -f -v "$installed"
  else
    install_and_scan "$module"
  fi
  # The host keeps one cache file per plug-in, named by the SHA-1 of its absolute path.
  cache=$XDG_CACHE_HOME/ardour7/vst/$(printf '%s' "$installed" | sha1sum | cut -d' ' -f1)-x64.v2i
  [ -f "$cache" ] || { cat "$work/scan.log"; fail "no scan cache at $cache"; }
  grep -q 'name="Lyrevane"' "$cache" && grep -q 'is_instrument="1"' "$cache" \
    || { cat "$cache"; fail "the scan did not record Lyrevane as an instrument"; }
  echo "ok   scanned: $(grep -o '<VST2Info[^>]*' "$cache")"
fi

"$check" plan "$work"
cat "$work/plan.lua" "$here/feed-midi.lua" >"$XDG_CONFIG_HOME/ardour7/scripts/lyrevane-test-feed.lua"
cp "$here/lyrevane-float.format" "$here/lyrevane-float.preset" "$XDG_CONFIG_HOME/ardour7/export/"

step "new session: set parameters, export, save"
run_host "$work/new.log" "$work/session" ardour7-lua "$here/session.lua" new "$work/plan.lua" "$work/session" \
  "$work/host.wav" "$installed" "$kind"
grep '^PARAM' "$work/new.log" >"$work/params-set.txt"

step "reopened session: export again"
run_host "$work/reopen.log" "" ardour7-lua "$here/session.lua" reopen "$work/plan.lua" \
  "$work/session" "$work/reopened.wav" "$installed" "$kind"
grep '^PARAM' "$work/reopen.log" >"$work/params-reopened.txt"

step "reference render with lyrevane-render"
mapfile -t render_args <"$work/render-args.txt"
"$render" --plugin "$module" --rate 48000 --float --tail 1 "${render_args[@]}" \
  "$work/plan.mid" "$work/reference.wav" >"$work/render.log" 2>&1 \
  || { cat "$work/render.log"; fail "lyrevane-render failed"; }

step "checks"
"$check" verify "$work/host.wav" "$work/reopened.wav" "$work/reference.wav" \
  "$work/params-set.txt" "$work/params-reopened.txt"

if [ -n "$lv2_bundle" ] && [ -n "$programs" ]; then
  preset=blues-in-e
  step "new session with the preset $preset chosen in the host, export"
  run_host "$work/preset.log" "$work/preset-session" ardour7-lua "$here/session.lua" preset \
    "$work/plan.lua" "$work/preset-session" "$work/preset.wav" "$installed" LV2 \
    "urn:lyrevane:lv2:preset:$preset"
  grep '^PARAM' "$work/preset.log" >"$work/params-preset.txt"
  step "reference render of $preset.fxp with lyrevane-render"
  "$render" --plugin "$module" --rate 48000 --float --tail 1 --preset "$programs/$preset.fxp" \
    "$work/plan.mid" "$work/preset-reference.wav" >"$work/render.log" 2>&1 \
    || { cat "$work/render.log"; fail "lyrevane-render failed"; }
  step "preset checks"
  "$check" verify-preset "$work/preset.wav" "$work/preset-reference.wav" \
    "$work/params-preset.txt" "$programs/$preset.fxp"
fi
