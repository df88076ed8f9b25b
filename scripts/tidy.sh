#!/usr/bin/env bash
# Runs clang-tidy with the checks of .clang-tidy over the project's own sources (not the build
# folders' generated files, not third-party or system headers), using the compile commands of
# a configured build. Prints each finding once as FILE:LINE:COLUMN: text [check] and fails if
# there is any. Usage: scripts/tidy.sh [BUILD_DIR]   (default build/test)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/test}
commands="$build/compile_commands.json"
if [ ! -f "$commands" ]; then
  echo "tidy: no $commands; configure with -DCMAKE_EXPORT_COMPILE_COMMANDS=ON" >&2
  exit 2
fi
tidy=$(command -v run-clang-tidy || command -v run-clang-tidy-14 || true)
if [ -z "$tidy" ]; then
  echo "tidy: run-clang-tidy is missing (scripts/install-deps.sh installs clang-tidy)" >&2
  exit 2
fi

# Our folders: every top-level folder except the build trees.
folders=$(cd "$root" && find . -mindepth 1 -maxdepth 1 -type d ! -name '.*' ! -name build \
            -printf '%f\n' | sort | paste -sd '|')
log=$(mktemp)
trap 'rm -f "$log"' EXIT

echo "tidy: $(grep -o '"file"' "$commands" | wc -l) translation units in $commands, our files only"
# The build's -Werror would turn clang's own warnings, which gcc does not give, into errors
# here; only the checks of .clang-tidy count.
# run-clang-tidy's own status also counts files that clang-tidy could not compile; the findings
# are read from the output, where a header's appear once per file that includes it.
status=0
"$tidy" -p "$build" -j "$(nproc)" -quiet -extra-arg=-Wno-error \
  -header-filter="^$root/($folders)/" "^$root/($folders)/.*\\.(cpp|cc)\$" >"$log" 2>&1 || status=$?
findings=$(sed 's/\x1b\[[0-9;]*m//g' "$log" |
           grep -E '^/[^:]+:[0-9]+:[0-9]+: (warning|error): ' | sed "s|^$root/||" | sort -u || true)
if [ -n "$findings" ]; then
  echo "$findings"
  echo "tidy: $(echo "$findings" | wc -l) finding(s)"
  exit 1
fi
if [ "$status" -ne 0 ]; then
  sed 's/\x1b\[[0-9;]*m//g' "$log" | tail -40
  echo "tidy: clang-tidy failed (status $status)"
  exit 1
fi
echo "tidy: clean"
