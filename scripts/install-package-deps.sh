#!/usr/bin/env bash
# Installs what making and checking the packages needs beyond scripts/install-deps.sh:
# dpkg-dev (dpkg-shlibdeps, dpkg-buildflags) and lintian for the Debian package, NSIS and zip
# for the Windows installer and zip. Does nothing when they are all present.
set -euo pipefail

packages=(dpkg-dev file lintian nsis zip)

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
