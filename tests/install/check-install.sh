#!/usr/bin/env bash
# Installs the build into a private folder with cmake --install, as a user or a package does,
# and checks what arrives: every shipped file in its place, every binary stripped and naming
# its debug file in the build, the LV2 panel small, the bundle listed by lilv from its
# installed folder, and the installed render tool, with no --plugin, playing the installed
# module and the installed CLAP edition: the example song identical to the build's own render.
# Usage: check-install.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$(realpath "$1")
source=$(realpath "$2")
fail() { echo "FAIL $*"; exit 1; }

stage=$(mktemp -d "${TMPDIR:-/tmp}/lyrevane-install.XXXXXX")
trap 'rm -rf "$stage"' EXIT
DESTDIR=$stage cmake --install "$build" >"$stage.log" 2>&1 || { cat "$stage.log"; fail "cmake --install"; }
rm -f "$stage.log"

# Where the build's configuration puts each thing (relative ones under the prefix).
cache() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
prefix=$stage$(cache CMAKE_INSTALL_PREFIX)
found() {
  local matches
  matches=$(find "$stage" -path "$1" -type f)
  [ "$(wc -l <<<"$matches")" = 1 ] && [ -n "$matches" ] || fail "expected one file at $1, found: ${matches:-none}"
  echo "$matches"
}
module=$(found "*/Lyrevane.so")
dsp=$(found "*/Lyrevane.lv2/lyrevane-dsp.so")
ui=$(found "*/Lyrevane.lv2/lyrevane-ui.so")
render=$(found "$prefix/bin/lyrevane-render")
clap=$(found "*/Lyrevane.clap")
found "*/Lyrevane.lv2/manifest.ttl" >/dev/null
found "*/Lyrevane.lv2/lyrevane.ttl" >/dev/null
found "$prefix/share/man/man1/lyrevane-render.1" >/dev/null
found "$prefix/share/doc/lyrevane/README.md" >/dev/null
found "$prefix/share/doc/lyrevane/examples/song.mid" >/dev/null
echo "ok   installed $(find "$stage" -type f | wc -l) files"

for binary in "$module" "$dsp" "$ui" "$render" "$clap"; do
  name=$(basename "$binary")
  sections=$(readelf -S -W "$binary")
  if grep -qE ' \.(symtab|debug_[a-z]+) ' <<<"$sections"; then
    fail "$binary is not stripped"
  fi
  link=$(readelf -p .gnu_debuglink "$binary" 2>/dev/null | grep -o "$name\.debug" | head -n 1)
  [ "$link" = "$name.debug" ] || fail "$binary names no debug file $name.debug"
  [ -f "$build/debug/$name.debug" ] || fail "no $build/debug/$name.debug"
  # A build with debug information keeps it in the debug file. (The section lists are read
  # whole: grep -q stops reading early, which would fail the pipe.)
  built=$(find "$build/bin" "$build/bundles" -name "$name" -type f -print -quit)
  if grep -q ' \.debug_info ' <<<"$(readelf -S -W "$built")"; then
    grep -q ' \.debug_info ' <<<"$(readelf -S -W "$build/debug/$name.debug")" \
      || fail "$build/debug/$name.debug holds no debug information"
  fi
  printf 'ok   %-16s stripped: %9d bytes (built: %9d)\n' "$name" "$(stat -c %s "$binary")" \
    "$(stat -c %s "$built")"
done

# A sanitizer's instrumentation makes every binary larger; the size holds for plain builds.
ui_size=$(stat -c %s "$ui")
if [ -z "$(cache LYREVANE_SANITIZE)" ]; then
  [ "$ui_size" -lt 2000000 ] || fail "the LV2 panel binary takes $ui_size bytes, 2 MB or more"
fi

lv2_dir=$(dirname "$(dirname "$dsp")")
listed=$(LV2_PATH=$lv2_dir lv2ls)
[ "$listed" = "urn:lyrevane:lv2:lyrevane" ] || fail "lv2ls in $lv2_dir listed: $listed"
echo "ok   lv2ls lists $listed from $lv2_dir"

"$render" "$source/examples/song.mid" "$stage/installed.wav" >/dev/null \
  || fail "the installed lyrevane-render with no --plugin"
"$build/bin/lyrevane-render" "$source/examples/song.mid" "$stage/built.wav" >/dev/null
cmp -s "$stage/installed.wav" "$stage/built.wav" \
  || fail "the installed tool and module render the song differently from the build's"
echo "ok   the installed tool renders the song through the installed module, as the build does"
"$render" --clap "$source/examples/song.mid" "$stage/installed-clap.wav" >/dev/null \
  || fail "the installed lyrevane-render --clap with no --plugin"
cmp -s "$stage/installed-clap.wav" "$stage/built.wav" \
  || fail "the installed CLAP edition renders the song differently from the build's module"
echo "ok   the installed tool renders the song through the installed Lyrevane.clap, as the module"
