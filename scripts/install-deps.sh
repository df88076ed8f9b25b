#!/usr/bin/env bash
# Installs every Debian package that the build, the tests and the tools need; with
# --packaging also what making and checking the packages needs: dpkg-dev (dpkg-shlibdeps,
# dpkg-buildflags) and lintian for the Debian package, NSIS and zip for the Windows ones.
# Does nothing when they are all present, so the other scripts can call it first.
set -euo pipefail

packages=(
  build-essential g++-multilib cmake pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libpng-dev zlib1g-dev libcairo2-dev libx11-dev libxtst-dev
  libsndfile1-dev libfftw3-dev libaubio-dev
  fluid-soundfont-gm sox
  xvfb xauth fonts-dejavu-core
  clang libclang-rt-14-dev clang-tidy
  ardour
  lv2-dev liblilv-dev lilv-utils sordi jalv jackd2 libjack-jackd2-dev libxml2-utils
  muse jack-capture xdotool x11-utils
  zam-plugins qtractor
)
if [ "${1:-}" = "--packaging" ]; then
  packages+=(dpkg-dev file lintian nsis zip)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
