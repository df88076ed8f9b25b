#!/usr/bin/env bash
# Whole-render timings of examples/dense-strum.mid: our module through lyrevane-render against
# FluidSynth playing the same string notes (steel-string guitar, program 25), once with its
# defaults and once limited to 32 voices without interpolation, reverb or chorus, the
# closest it comes to our engine. Runs alternate so that machine load falls on all alike.
# Usage: bench/compare-peers.sh [RUNS]   (LYREVANE_BUILD selects the build folder)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${LYREVANE_BUILD:-$root/build/bench}
runs=${1:-5}
song=$root/examples/dense-strum.mid
soundfont=/usr/share/sounds/sf2/FluidR3_GM.sf2
rate=44100

if ! command -v fluidsynth >/dev/null || [ ! -f "$soundfont" ]; then
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo apt-get install -y --no-install-recommends fluidsynth fluid-soundfont-gm
fi

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target Lyrevane lyrevane-render lyrevane-strum-notes -j2 >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The peer gets the notes our strum engine plays, not the strum keys of the example.
"$build/bin/lyrevane-strum-notes" "$song" "$work/notes.mid" >/dev/null
printf 'interp 0\n' > "$work/no-interpolation.cfg"

# The command line of one configuration, into the array "command".
command_for() {
    case $1 in
    ours) command=("$build/bin/lyrevane-render" --rate "$rate" --block 512 "$song"
                   "$work/out.wav") ;;
    fluid_defaults) command=(fluidsynth -ni -q -r "$rate" -F "$work/out.wav" "$soundfont"
                             "$work/notes.mid") ;;
    fluid_32) command=(fluidsynth -ni -q -r "$rate" -R 0 -C 0 -o synth.polyphony=32
                       -f "$work/no-interpolation.cfg" -F "$work/out.wav" "$soundfont"
                       "$work/notes.mid") ;;
    esac
}

# One run: appends "cpu-seconds audio-seconds" to the configuration's file. CPU time is the
# user plus system time of the renderer alone, taken by bash to the millisecond.
measure() {
    local name=$1 cpu size command
    command_for "$name"
    # Each renderer starts without a file to replace: freeing the last run's pages would
    # otherwise be charged to whichever renderer comes next.
    rm -f "$work/out.wav"
    cpu=$( { TIMEFORMAT='%3U %3S'; time "${command[@]}" >/dev/null 2>&1; } 2>&1 )
    size=$(stat -c %s "$work/out.wav")
    # 16-bit stereo after a 44-byte header, as both renderers write by default.
    echo "$cpu $size" |
        awk -v rate="$rate" '{ printf "%.4f %.3f\n", $1 + $2, ($3 - 44) / (rate * 4) }' \
        >> "$work/$name.runs"
}

# Peak memory in kilobytes, from one run of its own: measuring it wraps the renderer in
# /usr/bin/time, whose own start-up would count in a timed run (about 1 ms).
peak_memory() {
    local command
    command_for "$1"
    rm -f "$work/out.wav"
    /usr/bin/time -f %M -o "$work/rss" "${command[@]}" >/dev/null 2>&1
    cat "$work/rss"
}

configs=(ours fluid_defaults fluid_32)
for ((run = 1; run <= runs; ++run)); do
    for name in "${configs[@]}"; do
        measure "$name"
    done
done

median() {  # column of a runs file
    sort -n -k"$2" "$1" | awk -v c="$2" '{ v[NR] = $c } END { print v[int((NR + 1) / 2)] }'
}

ours_cpu=$(median "$work/ours.runs" 1)
ours_audio=$(median "$work/ours.runs" 2)
ours_factor=$(awk -v a="$ours_audio" -v c="$ours_cpu" 'BEGIN { print a / c }')
echo "dense-strum.mid, $runs runs each, $(date -u +%Y-%m-%d), $(nproc) x" \
     "$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')"
printf '%-34s %10s %10s %12s %14s %12s\n' renderer "audio s" "CPU s" "realtime x" \
    "peak memory" "ours is x"
labels=("Lyrevane (module, blocks of 512)" "FluidSynth, defaults" \
        "FluidSynth, 32 voices, no interp.")
for i in "${!configs[@]}"; do
    name=${configs[$i]}
    cpu=$(median "$work/$name.runs" 1)
    rss=$(peak_memory "$name")
    audio=$(median "$work/$name.runs" 2)
    awk -v label="${labels[$i]}" -v cpu="$cpu" -v rss="$rss" -v audio="$audio" \
        -v ours="$ours_factor" 'BEGIN {
            factor = audio / cpu
            printf "%-34s %10.1f %10.3f %12.0f %11.1f MB %12.1f\n",
                   label, audio, cpu, factor, rss / 1024, ours / factor }'
done
