#!/usr/bin/env bash
# Makes the Windows packages from the cross builds of scripts/build-windows.sh (run it first):
# Lyrevane-VERSION-windows.zip (folders 32-bit and 64-bit with the DLL and lyrevane-render.exe
# each, the factory programs, the example songs and a read-me) and the installer
# Lyrevane-VERSION-setup.exe, made with NSIS from packaging/windows/lyrevane.nsi. The binaries
# are installed stripped by cmake --install; their debug files stay in the builds.
# Usage: scripts/package-windows.sh [--native DIR]   (DIR: the native build the Windows build
#        takes its recordings from, as for build-windows.sh; the packages land in
#        build/windows/package)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
windows=$root/build/windows
native=$windows/native
if [ "${1:-}" = "--native" ]; then
  native=$(realpath -m "$2")
  shift 2
fi
out=$windows/package

"$root/scripts/install-deps.sh" --packaging
for arch in i686 x86_64; do
  if [ ! -f "$windows/$arch/bin/Lyrevane.dll" ]; then
    echo "no $windows/$arch/bin/Lyrevane.dll: run scripts/build-windows.sh first" >&2
    exit 1
  fi
done
# The program files are the same bytes on every system; the native build writes them.
cmake --build "$native" --target programs >/dev/null

version=$(sed -n 's/^project(Lyrevane VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
name=Lyrevane-$version-windows
stage=$out/stage/$name
rm -rf "$out"
mkdir -p "$stage/Programs" "$stage/Examples"
cmake --install "$windows/i686" --prefix "$stage/32-bit" >/dev/null
cmake --install "$windows/x86_64" --prefix "$stage/64-bit" >/dev/null
cp "$native"/programs/*.fxp "$stage/Programs/"
cp "$root"/examples/*.mid "$stage/Examples/"
# A plain-text read-me with Windows line ends.
sed -e "s/@VERSION@/$version/g" -e 's/$/\r/' "$root/packaging/windows/read-me.txt" >"$stage/read-me.txt"

(cd "$out/stage" && zip -q -9 -r -X "$out/$name.zip" "$name")

# The programs and examples, one by one, for the installer to write and its uninstaller to
# remove: the uninstaller deletes what the installer wrote and nothing a user put beside it.
lists=$out/files.nsh
{
  echo '!macro InstallListedFiles'
  for folder in Programs Examples; do
    echo "  SetOutPath \"\$AppDir\\$folder\""
    for file in "$stage/$folder"/*; do
      echo "  File \"$file\""
    done
  done
  echo '!macroend'
  echo '!macro RemoveListedFiles'
  for folder in Programs Examples; do
    for file in "$stage/$folder"/*; do
      echo "  Delete \"\$INSTDIR\\$folder\\$(basename "$file")\""
    done
    echo "  RMDir \"\$INSTDIR\\$folder\""
  done
  echo '!macroend'
} >"$lists"
size_kb=$(du -sk "$stage" | cut -f1)
makensis -V2 -DVERSION="$version" -DSTAGE="$stage" -DLISTS="$lists" \
  -DOUTFILE="$out/Lyrevane-$version-setup.exe" -DSIZE_KB="$size_kb" \
  "$root/packaging/windows/lyrevane.nsi"

for file in "$out/$name.zip" "$out/Lyrevane-$version-setup.exe"; do
  echo "$file: $(stat -c %s "$file") bytes"
done
