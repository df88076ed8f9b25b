#!/usr/bin/env bash
# A strum pattern in Ardour 7, headless: the LV2 bundle on a MIDI track of a 48 kHz session
# at 100 bpm plays held chords with the folk pattern; the session is saved, reopened and
# played again; both renders are held against the render tool's through the same bundle.
# Usage: run-ardour-pattern-test.sh LV2_PATH LYREVANE-RENDER LYREVANE-ARDOUR-CHECK SONG.mid
# Exits 77 (skipped) when Ardour is not installed or the plug-in carries a sanitizer runtime.
set -euo pipefail
# shellcheck source=tests/ardour/host-steps.sh
. "$(dirname "$0")/host-steps.sh"

bundle=$(realpath "$1")/Lyrevane.lv2
render=$2
check=$3
song=$(realpath "$4")
here=$(cd "$(dirname "$0")" && pwd)
pattern=3  # Folk D-DU-UDU

if ! command -v ardour7-lua >/dev/null; then
  echo "SKIPPED: ardour7-lua not found (Debian package 'ardour')"
  exit 77
fi
if readelf -d "$bundle/lyrevane-dsp.so" | grep -E 'NEEDED.*lib(a|t|ub)san' >/dev/null; then
  echo "SKIPPED: the plug-in is built with a sanitizer runtime; the host cannot load it"
  exit 77
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/lyrevane-ardour-pattern.XXXXXX")
cleanup() { rm -rf "$work"; }
trap cleanup EXIT
export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache LV2_PATH=$work/lv2
mkdir -p "$HOME" "$XDG_CONFIG_HOME/ardour7/scripts" "$XDG_CONFIG_HOME/ardour7/export" "$LV2_PATH"
cp -r "$bundle" "$LV2_PATH/"
installed=$(lv2ls)
echo "ok   installed $installed in $LV2_PATH"

"$check" pattern-plan "$work" "$song" "$pattern"
cat "$work/plan.lua" "$here/feed-midi.lua" >"$XDG_CONFIG_HOME/ardour7/scripts/lyrevane-test-feed.lua"
cp "$here/lyrevane-float.format" "$here/lyrevane-float.preset" "$XDG_CONFIG_HOME/ardour7/export/"

step "new session at 100 bpm with the pattern set: export, save"
run_host "$work/new.log" "$work/session" ardour7-lua "$here/session.lua" new "$work/plan.lua" \
  "$work/session" "$work/host.wav" "$installed" LV2
grep '^PORT' "$work/new.log" >"$work/ports-set.txt"

step "reopened session: export again"
run_host "$work/reopen.log" "" ardour7-lua "$here/session.lua" reopen "$work/plan.lua" \
  "$work/session" "$work/reopened.wav" "$installed" LV2
grep '^PORT' "$work/reopen.log" >"$work/ports-reopened.txt"

step "reference render with lyrevane-render --lv2"
mapfile -t render_args <"$work/render-args.txt"
"$render" --plugin "$bundle" --rate 48000 --float --tail 1 "${render_args[@]}" "$song" \
  "$work/reference.wav" >"$work/render.log" 2>&1 || { cat "$work/render.log"; fail "lyrevane-render failed"; }

step "checks"
"$check" verify-pattern "$work/host.wav" "$work/reopened.wav" "$work/reference.wav" \
  "$work/ports-set.txt" "$work/ports-reopened.txt"
