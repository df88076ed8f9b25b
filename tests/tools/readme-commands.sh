#!/usr/bin/env bash
# The render commands of the README and of its pages in docs/, run as written from a fresh folder that holds only what their
# paths name: the examples and a build under build/release. The panel's snapshots need a
# display and are taken by the snapshot tests; scripts/demo.sh and test.sh are CI's own.
# Usage: readme-commands.sh README.md BIN_DIR PROGRAMS_DIR EXAMPLES_DIR
set -euo pipefail
readme=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/build/release"
ln -s "$(realpath "$2")" "$work/build/release/bin"
ln -s "$(realpath "$3")" "$work/build/release/programs"
ln -s "$(realpath "$4")" "$work/examples"

# The lines of the sh blocks of the README and of the pages in docs/ beside it, continued lines
# joined, comments dropped.
awk '/^```sh$/ { inside = 1; next } /^```$/ { inside = 0; next } inside' "$readme" \
  "$(dirname "$readme")"/docs/*.md \
  | sed -e ':a' -e '/\\$/N; s/\\\n//; ta' -e 's/[[:space:]]*#.*$//' \
  | grep -E '^(mkdir |build/release/bin/lyrevane-render )' | grep -v -- '--snapshot' \
  >"$work/commands" || true

count=0
while IFS= read -r command; do
  if ! (cd "$work" && eval "$command") >"$work/log" 2>&1; then
    echo "FAIL: $command"
    cat "$work/log"
    exit 1
  fi
  count=$((count + 1))
done <"$work/commands"
echo "ran $count commands of the README"
[ "$count" -ge 6 ] || { echo "FAIL: expected the README's render commands, found $count"; exit 1; }
