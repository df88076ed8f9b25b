#!/usr/bin/env bash
# Builds Lyrevane, renders the example song to out/song.wav and, when an X server is at hand
# (the session's own or a private Xvfb), writes a picture of the editor panel to out/panel.png.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build"
out="$root/out"

"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release
cmake --build "$build" --target Lyrevane lyrevane-render --parallel "${JOBS:-$(nproc)}"

mkdir -p "$out"
"$build/bin/lyrevane-render" "$root/examples/song.mid" "$out/song.wav"

xvfb_pid=""
display_file=""
stop_xvfb() {
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
  if [ -n "$display_file" ]; then rm -f "$display_file"; fi
}
trap stop_xvfb EXIT

# A fixed display number may be taken on a shared machine: Xvfb picks a free one and reports it.
if [ -z "${DISPLAY:-}" ] && command -v Xvfb >/dev/null; then
  display_file="$(mktemp)"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$display_file" 2>/dev/null &
  xvfb_pid=$!
  for _ in $(seq 50); do
    if grep -q '[0-9]' "$display_file"; then break; fi
    sleep 0.1
  done
  if grep -q '[0-9]' "$display_file"; then
    export DISPLAY=":$(tr -dc '0-9' < "$display_file")"
  fi
fi

panel=""
if [ -n "${DISPLAY:-}" ]; then
  if "$build/bin/lyrevane-render" --chord 4 --snapshot "$out/panel.png"; then
    panel="$out/panel.png"
  else
    echo "No panel picture: the editor snapshot failed (see above)." >&2
  fi
else
  echo "No panel picture: no X display and no Xvfb." >&2
fi

echo
echo "The example song:  $out/song.wav"
if [ -n "$panel" ]; then echo "The editor panel:  $panel"; fi
