#!/usr/bin/env bash
# Builds the Debian package lyrevane_VERSION_ARCH.deb: a build with Debian's compiler flags and
# prefix /usr, without tests or benchmarks, installed by cmake --install into a staging folder
# (which strips the binaries; their debug files stay in the build), with the Debian files of
# packaging/debian, dependencies from dpkg-shlibdeps, and dpkg-deb.
# Usage: scripts/package-deb.sh [BUILD_DIR]   (default build/package; the .deb lands there)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$root/build/package}")
stage=$build/stage

"$root/scripts/install-deps.sh" --packaging

version=$(sed -n 's/^project(Lyrevane VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
logged=$(dpkg-parsechangelog -l "$root/packaging/debian/changelog" -S Version)
if [ "$logged" != "$version" ]; then
  echo "packaging/debian/changelog is at $logged, the project at $version: add an entry" >&2
  exit 1
fi
arch=$(dpkg --print-architecture)

# Debian's hardening flags, all of them (stack protector, fortified functions, relocations
# read-only and bound at load); CMake reads CFLAGS, CXXFLAGS and LDFLAGS only when it first
# configures a build folder.
eval "$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)"
export CFLAGS="$CPPFLAGS $CFLAGS" CXXFLAGS="$CPPFLAGS $CXXFLAGS" LDFLAGS
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr \
  -DLYREVANE_TESTS=OFF -DLYREVANE_BENCH=OFF -DLYREVANE_WERROR="${LYREVANE_WERROR:-OFF}" >/dev/null
cmake --build "$build" -j "$(nproc)"

rm -rf "$stage"
DESTDIR=$stage cmake --install "$build" >/dev/null

doc=$stage/usr/share/doc/lyrevane
gzip -9n "$stage"/usr/share/man/man1/*.1
gzip -9nc "$root/packaging/debian/changelog" >"$doc/changelog.gz"
install -m 644 "$root/packaging/debian/copyright" "$doc/copyright"
# Plug-ins are libraries, which Debian installs without the executable bit.
find "$stage/usr/lib" -name '*.so' -exec chmod 644 {} +
find "$stage" -type d -exec chmod 755 {} +

mkdir -p "$stage/DEBIAN"
# dpkg-shlibdeps reads the package names from a control file in debian/ of its folder.
shlibs_work=$build/shlibdeps
mkdir -p "$shlibs_work/debian"
printf 'Source: lyrevane\n\nPackage: lyrevane\nArchitecture: any\n' >"$shlibs_work/debian/control"
mapfile -t binaries < <(find "$stage/usr" -type f \( -name '*.so' -o -path '*/bin/*' \))
depends=$(cd "$shlibs_work" && dpkg-shlibdeps -O "${binaries[@]}" | sed -n 's/^shlibs:Depends=//p')
size=$(du -sk --exclude=DEBIAN "$stage" | cut -f1)
sed -e "s/@VERSION@/$version/" -e "s/@ARCH@/$arch/" -e "s/@SIZE@/$size/" \
    -e "s/@DEPENDS@/$depends/" "$root/packaging/debian/control" >"$stage/DEBIAN/control"
(cd "$stage" && find usr -type f -print0 | sort -z | xargs -0 md5sum) >"$stage/DEBIAN/md5sums"
chmod 644 "$stage/DEBIAN/control" "$stage/DEBIAN/md5sums"

rm -f "$build"/lyrevane_*.deb
deb=$build/lyrevane_${version}_${arch}.deb
dpkg-deb --root-owner-group -Zxz --build "$stage" "$deb" >/dev/null
echo "$deb: $(stat -c %s "$deb") bytes"
