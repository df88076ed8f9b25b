#!/bin/sh
# Fails when one of the given engine libraries or programs reaches X11, Cairo or libpng: a
# program by the shared libraries it loads, every file by the names of those libraries that
# it leaves for the linker to find. Usage: check-engine-links.sh FILE...
set -eu
names='^(X[A-Z][A-Za-z0-9]*|cairo_[a-z0-9_]+|png_[a-z0-9_]+)$'
libraries='lib(X11|xcb|cairo|png)[^ ]*'
status=0
for file in "$@"; do
  case "$file" in
    *.a) ;;
    *)
      loaded=$(ldd "$file" | grep -Eo "$libraries" | sort -u | tr '\n' ' ')
      if [ -n "$loaded" ]; then
        echo "$file loads $loaded"
        status=1
      fi
      ;;
  esac
  used=$(nm -u --format=posix "$file" | awk '{ sub(/@.*/, "", $1); print $1 }' |
         grep -E "$names" | sort -u | head -n 5 | tr '\n' ' ') || true
  if [ -n "$used" ]; then
    echo "$file uses $used"
    status=1
  fi
done
exit $status
