#!/bin/sh
# Builds the fuzz targets with clang, libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer,
# then runs each for the given number of seconds (default 60). The committed corpora and
# regression inputs seed the search; what it adds stays in the build folder.
#
#   scripts/fuzz.sh [seconds] [target ...]      targets: host wave png midifile program state lv2 (default all)
#
# A failing input is left under <build>/artifacts/<target>/; once fixed, copy it into
# tests/fuzz/regressions/<target>/ so that every build replays it.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=${LYREVANE_FUZZ_BUILD:-$root/build-fuzz}
seconds=${1:-60}
[ $# -gt 0 ] && shift
targets=${*:-host wave png midifile program state lv2}

if ! ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1; then
    echo "libFuzzer is missing: apt-get install libclang-rt-14-dev" >&2
    exit 2
fi

# fuzzer-no-link gives all code the coverage instrumentation; only the fuzz targets link
# libFuzzer. Warnings are errors here as in every check of ours, clang's own included, but
# for -Wpsabi: the voice kernel's eight-float vectors only travel between its own internal
# functions, so the calling convention they would change is never crossed.
mkdir -p "$build"
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DLYREVANE_SANITIZE=address,undefined -DLYREVANE_FUZZ=ON -DLYREVANE_WERROR=ON \
    -DCMAKE_C_FLAGS=-fsanitize=fuzzer-no-link \
    "-DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link -Wno-psabi" \
    >"$build/configure.log" 2>&1 || { cat "$build/configure.log" >&2; exit 1; }
for target in $targets; do
    cmake --build "$build" --target "fuzz_$target" -j2
done

failed=""
for target in $targets; do
    corpus=$build/corpus/$target
    artifacts=$build/artifacts/$target
    mkdir -p "$corpus" "$artifacts"
    seeds=$root/tests/fuzz/corpus/$target
    regressions=$root/tests/fuzz/regressions/$target
    [ -d "$regressions" ] && seeds="$seeds $regressions"
    echo "== fuzz_$target for ${seconds}s"
    # The first directory receives new inputs, the others are only read. A sanitizer report
    # or a failed check ends the run with an artifact.
    # shellcheck disable=SC2086
    if ! "$build/bin/fuzz_$target" -max_total_time="$seconds" -timeout=20 -max_len=8192 \
        -artifact_prefix="$artifacts/" -print_final_stats=1 "$corpus" $seeds \
        >"$build/fuzz_$target.log" 2>&1; then
        failed="$failed $target"
        tail -n 40 "$build/fuzz_$target.log" >&2
    fi
    grep -E '^stat::(number_of_executed_units|new_units_added|peak_rss_mb)' \
        "$build/fuzz_$target.log" || true
done

if [ -n "$failed" ]; then
    echo "failures in:$failed (inputs under $build/artifacts/)" >&2
    exit 1
fi
echo "no failures"
