#!/usr/bin/env bash
# Validates the bundle's Turtle against the LV2 schemas Debian's lv2-dev ships, and lists the
# plug-in with lv2info from the build folder alone; both must be clean, and lv2info must list
# every preset of the bundle.
# usage: validate-bundle.sh LV2_PATH
set -euo pipefail
lv2_path=$(realpath "$1")  # lilv takes a relative search folder for a URI and fails
bundle="$lv2_path/Lyrevane.lv2"

mapfile -t schemas < <(dpkg -L lv2-dev | grep '\.ttl$' | grep -v '/manifest\.ttl$')
report=$(sord_validate "${schemas[@]}" "$bundle"/*.ttl 2>&1)
echo "$report" | tail -n 1
if ! grep -q '^Found 0 errors' <<<"$report"; then
  echo "$report"
  exit 1
fi

uri=$(LV2_PATH="$lv2_path" lv2ls 2>&1)
if [ "$(wc -l <<<"$uri")" != 1 ] || [[ "$uri" != urn:* ]]; then
  echo "lv2ls listed: $uri"
  exit 1
fi
info_err=$(mktemp)
trap 'rm -f "$info_err" "$info_err.out"' EXIT
LV2_PATH="$lv2_path" lv2info "$uri" > "$info_err.out" 2> "$info_err"
if [ -s "$info_err" ]; then
  cat "$info_err"
  exit 1
fi
presets=$(grep -c 'a pset:Preset' "$bundle/presets.ttl")
# lv2info writes one label a line under the heading "Presets:", up to a blank line.
listed=$(awk '/^[[:space:]]*Presets:/{on=1; next} on && /^[[:space:]]*$/{exit} on{n++} END{print n+0}' \
         "$info_err.out")
if [ "$listed" != "$presets" ]; then
  echo "lv2info lists $listed presets; the bundle has $presets"
  exit 1
fi
echo "lv2info: clean, $presets presets"
