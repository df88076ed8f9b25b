#!/usr/bin/env bash
# Draws the spectrograms of docs/: the worked example's E major strum from both of our sound
# sets beside the same string notes played from the real guitar samples of Debian's FluidR3
# soundfont (steel-string program 25, clean electric program 27), with sox.
# Usage: scripts/spectrograms.sh [BUILD_DIR]   (default: build)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
soundfont=/usr/share/sounds/sf2/FluidR3_GM.sf2
"$root/scripts/install-deps.sh"
if ! command -v fluidsynth >/dev/null; then
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo apt-get install -y --no-install-recommends fluidsynth
fi
[ -f "$build/CMakeCache.txt" ] || cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target Lyrevane lyrevane-render lyrevane-strum-notes -j2 >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
song=$root/examples/worked-strum.mid
"$build/bin/lyrevane-render" --tail 4 "$song" "$work/ours-acoustic.wav" >/dev/null
"$build/bin/lyrevane-render" --tail 4 --param 75=1 "$song" "$work/ours-electric.wav" >/dev/null
"$build/bin/lyrevane-strum-notes" "$song" "$work/steel.mid" >/dev/null
# The same notes on the clean electric: the program change 25 becomes 27.
perl -pe 's/\xC0\x19/\xC0\x1B/' "$work/steel.mid" > "$work/electric.mid"
for kind in steel electric; do
    fluidsynth -ni -q -r 44100 -R 0 -C 0 -F "$work/real-$kind.wav" "$soundfont" "$work/$kind.mid"
done

draw() {  # input, output, title
    sox "$1" -n remix 1 trim 0 3.5 rate 22050 \
        spectrogram -x 560 -y 257 -z 90 -t "$3" -o "$root/docs/$2"
}
draw "$work/ours-acoustic.wav" spectrogram-ours-acoustic.png "Lyrevane, acoustic set: E major strum"
draw "$work/real-steel.wav" spectrogram-real-steel.png "Real steel-string samples (FluidR3): the same notes"
draw "$work/ours-electric.wav" spectrogram-ours-electric.png "Lyrevane, electric set: E major strum"
draw "$work/real-electric.wav" spectrogram-real-electric.png "Real clean electric samples (FluidR3): the same notes"
echo "wrote docs/spectrogram-*.png"
