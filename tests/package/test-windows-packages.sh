#!/usr/bin/env bash
# The Windows packages under wine, in a fresh prefix of their own: the zip's layout; the
# installer run silently, proposing the VST folders the registry names (HKLM\SOFTWARE\VST,
# VSTPluginsPath, in the 64-bit and the 32-bit view); the files and the uninstall entry it
# writes; each installed DLL rendering the example song through the installed render tool
# identically to the Linux module; LMMS 1.2 playing the installed 32-bit DLL (tests/lmms);
# the silent uninstaller leaving nothing; and a second install into folders given with /D=
# and /VST32=, removed as cleanly.
# Usage: test-windows-packages.sh PACKAGE_DIR NATIVE_BUILD
#        (PACKAGE_DIR: where scripts/package-windows.sh put the packages; NATIVE_BUILD: a Linux
#        build with the tests, for the reference render and the LMMS helper)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source=$(cd "$here/../.." && pwd)
packages=$(realpath "$1")
native=$(realpath "$2")
step() { echo "== $*"; }
fail() { echo "FAIL $*"; exit 1; }

zip=$(ls "$packages"/Lyrevane-*-windows.zip)
setup=$(ls "$packages"/Lyrevane-*-setup.exe)
name=$(basename "$zip" .zip)

# shellcheck source=scripts/xvfb.sh
. "$source/scripts/xvfb.sh"
lyrevane_private_display
work=$(mktemp -d "${TMPDIR:-/tmp}/lyrevane-windows-packages.XXXXXX")
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
  wineserver -k 2>/dev/null || true
  rm -rf "$work"
  lyrevane_stop_xvfb
}
trap cleanup EXIT
mkdir -p "$WINEPREFIX"
wineserver -p5
wineboot -i >/dev/null 2>&1
wineserver -w
drive=$WINEPREFIX/drive_c
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Lyrevane'

# Everything in the prefix's drive but Windows itself and the temporary folders.
snapshot() {
  (cd "$drive" && find . \( -path ./windows -o -iname temp \) -prune -o -print | sort)
}

step "the zip"
unzip -q "$zip" -d "$work/zip"
unpacked=$work/zip/$name
for file in 32-bit/Lyrevane.dll 32-bit/lyrevane-render.exe 64-bit/Lyrevane.dll \
    64-bit/lyrevane-render.exe read-me.txt Examples/song.mid; do
  [ -f "$unpacked/$file" ] || fail "the zip has no $name/$file"
done
ls "$unpacked"/Programs/*.fxp >/dev/null || fail "the zip has no programs"
[[ "$(file -b "$unpacked/32-bit/Lyrevane.dll")" == "PE32 "*"Intel 80386"* ]] \
  || fail "32-bit/Lyrevane.dll is not a 32-bit DLL"
[[ "$(file -b "$unpacked/64-bit/Lyrevane.dll")" == "PE32+ "*"x86-64"* ]] \
  || fail "64-bit/Lyrevane.dll is not a 64-bit DLL"
grep -q $'\r$' "$unpacked/read-me.txt" || fail "read-me.txt lacks Windows line ends"
echo "ok   $(unzip -Z1 "$zip" | grep -vc '/$') files in $name/: both DLLs and render tools, programs, examples, read-me"

step "silent install into the folders the registry names"
wine reg add 'HKLM\Software\VST' /v VSTPluginsPath /t REG_SZ /d 'C:\Test VST64' /reg:64 /f >/dev/null
wine reg add 'HKLM\Software\VST' /v VSTPluginsPath /t REG_SZ /d 'C:\Test VST32' /reg:32 /f >/dev/null
snapshot >"$work/before.txt"
wine "$setup" /S
wineserver -w
app="$drive/Program Files/Lyrevane"
cmp -s "$drive/Test VST64/Lyrevane.dll" "$unpacked/64-bit/Lyrevane.dll" || fail "no 64-bit DLL in C:\\Test VST64"
cmp -s "$drive/Test VST32/Lyrevane.dll" "$unpacked/32-bit/Lyrevane.dll" || fail "no 32-bit DLL in C:\\Test VST32"
for file in 64-bit/lyrevane-render.exe 32-bit/lyrevane-render.exe read-me.txt uninstall.exe; do
  [ -f "$app/$file" ] || fail "no C:\\Program Files\\Lyrevane\\$file"
done
diff -r "$unpacked/Programs" "$app/Programs" >/dev/null || fail "the installed programs differ from the zip's"
diff -r "$unpacked/Examples" "$app/Examples" >/dev/null || fail "the installed examples differ from the zip's"
entry=$(wine reg query "$uninstall_key" /reg:64 2>/dev/null | tr -d '\r')
for value in 'DisplayName +REG_SZ +Lyrevane$' 'UninstallString +REG_SZ +"C:\\Program Files\\Lyrevane\\uninstall.exe"' \
    'DisplayVersion +REG_SZ' 'Publisher +REG_SZ'; do
  grep -qE "$value" <<<"$entry" || fail "the uninstall entry lacks $value: $entry"
done
echo "ok   the DLLs in C:\\Test VST64 and C:\\Test VST32, the rest in C:\\Program Files\\Lyrevane, listed among the programs"

step "the installed DLLs render the example song as the Linux module does"
"$native/bin/lyrevane-render" --float "$source/examples/song.mid" "$work/linux.wav" >/dev/null
sox -V1 "$work/linux.wav" -t f32 "$work/linux.f32"
for arch in 64 32; do
  wine "C:\\Program Files\\Lyrevane\\$arch-bit\\lyrevane-render.exe" --plugin "C:\\Test VST$arch\\Lyrevane.dll" \
    --float "$source/examples/song.mid" "$work/windows-$arch.wav" >/dev/null
  sox -V1 "$work/windows-$arch.wav" -t f32 "$work/windows-$arch.f32"
  cmp -s "$work/linux.f32" "$work/windows-$arch.f32" \
    || fail "the installed $arch-bit DLL renders the song differently from Linux"
  echo "ok   $arch-bit: $(($(stat -c %s "$work/linux.f32") / 8)) frames, every sample equal"
done

if command -v lmms >/dev/null && [ -x /usr/lib/i386-linux-gnu/lmms/RemoteVstPlugin ]; then
  "$source/tests/lmms/run-lmms-test.sh" "$drive/Test VST32/Lyrevane.dll" \
    "$native/bin/lyrevane-render" "$native/bin/lyrevane-lmms-check"
else
  echo "SKIPPED LMMS: lmms:i386 and lmms-vst-server:i386 are not installed (scripts/install-windows-deps.sh)"
fi

step "silent uninstall"
wine "$app/uninstall.exe" /S
wineserver -w
snapshot >"$work/after.txt"
diff "$work/before.txt" "$work/after.txt" || fail "the uninstaller left files or folders (above)"
wine reg query "$uninstall_key" /reg:64 >/dev/null 2>&1 && fail "the uninstall entry is left"
echo "ok   nothing left: no file, no folder, no uninstall entry"

step "silent install into folders given on the command line"
# Folders without spaces here: wine quotes an argument with one, and the installer takes /D=
# only last and unquoted, as a command prompt passes it. (The registry's folders above have
# spaces.)
wine "$setup" /S '/VST32=C:\Own32' '/D=C:\Own64'
wineserver -w
cmp -s "$drive/Own64/Lyrevane.dll" "$unpacked/64-bit/Lyrevane.dll" || fail "no 64-bit DLL in the /D= folder"
cmp -s "$drive/Own32/Lyrevane.dll" "$unpacked/32-bit/Lyrevane.dll" || fail "no 32-bit DLL in the /VST32= folder"
[ ! -e "$drive/Test VST64" ] || fail "the 64-bit DLL went to the registry's folder despite /D="
wine "$app/uninstall.exe" /S
wineserver -w
snapshot >"$work/after-second.txt"
diff "$work/before.txt" "$work/after-second.txt" || fail "the second uninstall left files or folders (above)"
echo "ok   /D= and /VST32= honoured, and removed as cleanly"
