#!/usr/bin/env bash
# Builds Lyrevane, renders the example song to out/song.wav and, when an X server is at hand
# (the session's own or a private Xvfb), writes a picture of the editor panel to out/panel.png.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build/release"
out="$root/out"

"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release
cmake --build "$build" --target Lyrevane lyrevane-render --parallel "${JOBS:-$(nproc)}"

mkdir -p "$out"
"$build/bin/lyrevane-render" "$root/examples/song.mid" "$out/song.wav"

# shellcheck source=scripts/xvfb.sh
. "$root/scripts/xvfb.sh"
lyrevane_start_xvfb || true

panel=""
if [ -n "${DISPLAY:-}" ]; then
  if "$build/bin/lyrevane-render" --chord 4 --snapshot "$out/panel.png"; then
    panel="$out/panel.png"
  else
    echo "No panel picture: the editor snapshot failed (see above)." >&2
  fi
else
  echo "No panel picture: no X display could be started." >&2
fi

echo
echo "The example song:  $out/song.wav"
if [ -n "$panel" ]; then echo "The editor panel:  $panel"; fi
