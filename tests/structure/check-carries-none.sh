#!/bin/sh
# Fails when one of the given binaries defines a symbol matching the extended regular
# expression PATTERN (C++ names demangled): what a binary must not carry, such as the
# recordings or the sampler in a panel. Usage: check-carries-none.sh PATTERN FILE...
set -eu
pattern=$1
shift
status=0
for file in "$@"; do
  found=$(nm -C --defined-only "$file" | cut -c20- | grep -E "$pattern" | sort -u | head -n 5 |
          tr '\n' ' ') || true
  if [ -n "$found" ]; then
    echo "$file carries $found"
    status=1
  fi
done
exit $status
