#!/usr/bin/env bash
# Proves a VST3 bundle in Ardour 7, headless, in a home of the test's own: Ardour's scanner
# records it, the host lists it from that record, puts it on a track, sets a parameter, plays
# it through an export and saves, and a fresh host process reopens the session with every
# parameter as it was saved.
# Usage: run-ardour-vst3-test.sh BUNDLE.vst3 NAME INDEX=VALUE [ATTRIBUTE=VALUE]...
# NAME is the class's name the scan must record, with each ATTRIBUTE of its record (category,
# n_outputs, n_midi_inputs...) as given; INDEX counts the host's parameters, read-only ones
# too, and VALUE is in the plug-in's units.
# Exits 77 (skipped) when Ardour is not installed or the binary carries a sanitizer runtime.
set -euo pipefail
# shellcheck source=tests/ardour/host-steps.sh
. "$(dirname "$0")/host-steps.sh"

bundle=$(realpath "$1")
name=$2
setting=$3
shift 3
here=$(cd "$(dirname "$0")" && pwd)
vst3_scanner=/usr/lib/ardour7/ardour-vst3-scanner

if ! command -v ardour7-lua >/dev/null || [ ! -x "$vst3_scanner" ]; then
  echo "SKIPPED: ardour7-lua or $vst3_scanner not found (Debian package 'ardour')"
  exit 77
fi

# A binary built with a sanitizer needs that runtime loaded first, which the host does not do.
if readelf -d "$bundle"/Contents/x86_64-linux/*.so | grep -E 'NEEDED.*lib(a|t|ub)san' >/dev/null; then
  echo "SKIPPED: the plug-in is built with a sanitizer runtime; the host cannot load it"
  exit 77
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/lyrevane-ardour-vst3.XXXXXX")
cleanup() { rm -rf "$work"; }
trap cleanup EXIT

# Ardour always looks in ~/.vst3, /usr/local/lib/vst3 and /usr/lib/vst3, and VST3_PATH only
# adds to them; but the headless host lists only what has a scan record in its own cache, so
# with a home and cache of the test's own it sees the one bundle scanned here.
export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache
export VST3_PATH=$work/vst3
mkdir -p "$HOME" "$XDG_CONFIG_HOME/ardour7/export" "$VST3_PATH"
cp "$here/lyrevane-float.format" "$here/lyrevane-float.preset" "$XDG_CONFIG_HOME/ardour7/export/"
installed=$VST3_PATH/$(basename "$bundle")
cp -r "$bundle" "$installed"
# The host trusts a record only when it is newer than the binary, in whole seconds.
find "$installed" -exec touch -d '-1 minute' {} +
binary=$(find "$installed/Contents/x86_64-linux" -name '*.so' | head -n 1)

step "scanning $installed"
run_host "$work/scan.log" "" env LD_LIBRARY_PATH=/usr/lib/ardour7 "$vst3_scanner" -f -v "$installed"
# One record per binary, named by the SHA-1 of its path.
record=$XDG_CACHE_HOME/ardour7/vst/$(printf '%s' "$binary" | sha1sum | cut -d' ' -f1).v3i
[ -f "$record" ] || { cat "$work/scan.log"; fail "no scan record at $record"; }
for attribute in "name=$name" "$@"; do
  grep -qF " ${attribute%%=*}=\"${attribute#*=}\"" "$record" \
    || { cat "$record"; fail "the scan did not record $attribute"; }
done
echo "ok   scanned: $(grep -o '<VST3Info[^>]*' "$record")"

step "new session: $name on a track, $setting, exported, saved"
run_host "$work/new.log" "$work/session" ardour7-lua "$here/vst3-session.lua" new \
  "$work/session" "$name" "$work/new.wav" "$setting"
grep '^PARAM' "$work/new.log" >"$work/params-set.txt"
index=${setting%%=*}
value=${setting#*=}
grep -qx "PARAM $index $value" "$work/params-set.txt" \
  || { cat "$work/params-set.txt"; fail "parameter $index does not read $value"; }

step "reopened session"
run_host "$work/reopen.log" "" ardour7-lua "$here/vst3-session.lua" reopen "$work/session" \
  "$name" "$work/reopened.wav"
grep '^PARAM' "$work/reopen.log" >"$work/params-reopened.txt"
diff "$work/params-set.txt" "$work/params-reopened.txt" \
  || fail "the reopened session's parameters differ from those saved"
echo "ok   $(wc -l <"$work/params-reopened.txt") parameters as saved, $setting among them"
