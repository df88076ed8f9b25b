#!/usr/bin/env bash
# The long soak: random MIDI at random block sizes and rates, a thread storming all 77
# parameters and a thread opening, idling and closing the editor, for an hour by default.
# Usage: scripts/soak.sh [seconds]    (prints the figures the README quotes)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-3600}

"$root/scripts/install-deps.sh"
# shellcheck source=scripts/xvfb.sh
. "$root/scripts/xvfb.sh"
lyrevane_private_display

cmake -S "$root" -B "$root/build/soak" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build/soak" --target test_hardening -j "$(nproc)"
LYREVANE_SOAK_SECONDS=$seconds "$root/build/soak/bin/test_hardening" --gtest_filter='Soak.*'
