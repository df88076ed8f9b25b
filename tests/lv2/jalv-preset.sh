#!/usr/bin/env bash
# A factory chord set loaded by its preset URI in jalv, as a musician does at its console:
# "presets" lists the bundle's presets, "preset URI" applies one, "controls" shows the ports.
# Usage: jalv-preset.sh LV2_PATH
set -euo pipefail
# shellcheck source=tests/lv2/private-jack.sh
. "$(dirname "$0")/private-jack.sh"

lv2_path=$(realpath "$1")
uri=$(LV2_PATH="$lv2_path" lv2ls)
preset=urn:lyrevane:lv2:preset:blues-in-e

for tool in jackd jalv; do
  command -v "$tool" >/dev/null || { echo "SKIPPED: $tool not found"; exit 77; }
done
skip_if_sanitized "$lv2_path/Lyrevane.lv2/lyrevane-dsp.so" "the plug-in"

start_private_jack jalv-preset
start_jalv lyrevane-preset "$uri"

# Each command answers before the next is read. jalv shows every control when it starts,
# after applying a preset and for "controls", the reset port last.
printf 'presets\npreset %s\ncontrols\n' "$preset" >&3
for _ in $(seq 100); do
  [ "$(grep -c 'reset = ' "$work/jalv.log")" -ge 3 ] && break
  sleep 0.1
done
sed -n '/^> /,$p' "$work/jalv.log" >"$work/answers.log"

listed=$(grep -cE '^(> )?urn:lyrevane:lv2:preset:' "$work/answers.log" || true)
[ "$listed" = 26 ] || fail "jalv lists $listed presets, not 26"
grep -qxE "(> )?$preset \(Blues in E\)" "$work/answers.log" || fail "jalv does not list $preset"
echo "ok   jalv lists the 26 factory sets"

# The last "controls" answer: Blues in E, chord 1 E7 (0 2 0 1 0 0), chord 12 A#dim7
# (x 1 2 0 2 x), the electric set.
controls=$(awk '/^> /{block=""} {block=block $0 "\n"} END{printf "%s", block}' "$work/answers.log")
expected=(chord1_string1=0 chord1_string2=2 chord1_string3=0 chord1_string4=1 chord1_string5=0
          chord1_string6=0 chord12_string1=-1 chord12_string2=1 chord12_string3=2
          chord12_string4=0 chord12_string5=2 chord12_string6=-1 sound_set=1)
for pair in "${expected[@]}"; do
  symbol=${pair%=*}
  value=$(grep -oE "(^|> )$symbol = -?[0-9.]+" <<<"$controls" | tail -n 1 | sed 's/.* = //')
  [ -n "$value" ] && [ "$(printf '%.0f' "$value")" = "${pair#*=}" ] \
    || fail "after the preset jalv shows $symbol = ${value:-nothing}, not ${pair#*=}"
done
echo "ok   jalv applies $preset: every checked control holds the set's value"
