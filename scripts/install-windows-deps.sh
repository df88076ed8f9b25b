#!/usr/bin/env bash
# Installs what the Windows build and its wine tests need: the posix-thread
# mingw-w64 cross compilers for both word sizes, zlib for mingw, wine with its
# 32-bit half, LMMS as a Windows host (its 32-bit program with the VST server that runs
# 32-bit Windows plug-ins under wine; Debian's 64-bit LMMS has no VST instrument), and the
# sources of Debian's libpng and libsndfile (Debian has no mingw packages of them, so the
# build compiles them from the sources that Debian ships).
# Does nothing when everything is present.
# Usage: install-windows-deps.sh [SOURCE_DIR]   (the sources go under SOURCE_DIR,
#                                                 default build/windows/src)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
src_dir=${1:-$root/build/windows/src}

packages=(
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  binutils-mingw-w64-i686 binutils-mingw-w64-x86-64 mingw-w64-tools
  libz-mingw-w64-dev
  wine wine32:i386 wine64
  lmms:i386 lmms-vst-server:i386
  dpkg-dev xvfb xauth
)

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
need_update=0

# wine32 is an i386 package: the architecture must be known before it can be found.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo_cmd[@]}" dpkg --add-architecture i386
  need_update=1
fi

# apt-get source needs a deb-src entry for the suites the machine already uses.
src_list=/etc/apt/sources.list.d/lyrevane-deb-src.sources
if ! grep -rqs '^Types:.*deb-src\|^deb-src ' /etc/apt/sources.list /etc/apt/sources.list.d/; then
  printf 'Types: deb-src\nURIs: http://deb.debian.org/debian\nSuites: %s\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
    "$(. /etc/os-release && echo "$VERSION_CODENAME")" | "${sudo_cmd[@]}" tee "$src_list" >/dev/null
  need_update=1
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ] || [ $need_update -eq 1 ]; then
  "${sudo_cmd[@]}" apt-get update -qq
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# Debian's libpng and libsndfile sources, unpacked once; the build compiles them with the
# cross compiler.
mkdir -p "$src_dir"
if ! ls "$src_dir"/libpng1.6-*/png.c >/dev/null 2>&1; then
  (cd "$src_dir" && apt-get source -qq -o APT::Sandbox::User=root libpng1.6 >/dev/null)
fi
if ! ls "$src_dir"/libsndfile-*/CMakeLists.txt >/dev/null 2>&1; then
  (cd "$src_dir" && apt-get source -qq -o APT::Sandbox::User=root libsndfile >/dev/null)
fi
