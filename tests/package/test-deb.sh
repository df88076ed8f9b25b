#!/usr/bin/env bash
# The Debian package as a musician installs it: apt resolves and installs it, lilv lists the
# LV2 plug-in and Ardour finds both plug-ins in the system's folders with no search path set,
# the installed lyrevane-render renders the example song as the build does, a second install
# over the first works, and dpkg -r leaves none of its files. lintian must report no error or
# warning beyond the tags explained in lintian-explained.txt.
# Needs root (it installs into /usr); skipped otherwise, and when a lyrevane package that this
# test did not install is on the machine. It removes the package again however it ends.
# Usage: test-deb.sh DEB BUILD_DIR   (BUILD_DIR: a build with the tests, for their helpers and
#                                     the reference render)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source=$(cd "$here/../.." && pwd)
deb=$(realpath "$1")
build=$(realpath "$2")
step() { echo "== $*"; }
fail() { echo "FAIL $*"; exit 1; }
status() { dpkg-query -W -f='${Status}' lyrevane 2>/dev/null || true; }

if [ "$(id -u)" != 0 ]; then
  echo "SKIPPED: installing a package needs root"
  exit 77
fi
# Marks an install of this test's own, so that one left by a run that was killed is removed
# rather than taken for the machine owner's.
marker=/var/lib/lyrevane-package-test
if [ -n "$(status)" ] && [ "$(status)" != "not-installed" ] && [ "$(status)" != "unknown ok not-installed" ]; then
  if [ -e "$marker" ]; then
    dpkg -P lyrevane >/dev/null
  else
    echo "SKIPPED: a lyrevane package is installed on this machine; the test leaves it alone"
    exit 77
  fi
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/lyrevane-deb.XXXXXX")
cleanup() {
  dpkg -P lyrevane >/dev/null 2>&1 || true
  rm -f "$marker"
  rm -rf "$work"
}
trap cleanup EXIT
# Nothing of a user's own installs (~/.vst, ~/.lv2) may be found instead of the package's.
export HOME=$work/home
mkdir -p "$HOME"
unset LXVST_PATH VST_PATH LV2_PATH

step "lintian"
lintian --fail-on none "$deb" 2>/dev/null | grep -E '^[EW]: ' | sed -E 's/^([EW]): lyrevane: /\1 /' \
  | sort -u >"$work/lintian.txt" || true
unexplained=$(grep -vxF -f <(grep -v '^#' "$here/lintian-explained.txt") "$work/lintian.txt" || true)
[ -z "$unexplained" ] || fail "lintian: $unexplained"
echo "ok   lintian: $(wc -l <"$work/lintian.txt") error or warning tags, each explained"

step "apt-get install ./$(basename "$deb")"
# The directories that exist before, which removing the package must leave.
dpkg-deb -c "$deb" | awk '{ print substr($6, 2) }' | sed 's:/$::' | grep . >"$work/contents.txt"
while read -r path; do [ -e "$path" ] && echo "$path"; done <"$work/contents.txt" >"$work/before.txt"
touch "$marker"
apt-get install -y -qq --no-install-recommends "$deb" >"$work/apt.log" 2>&1 \
  || { cat "$work/apt.log"; fail "apt-get could not install the package"; }
[ "$(status)" = "install ok installed" ] || fail "status after install: $(status)"
dpkg -L lyrevane | grep -vx '/\.' >"$work/files.txt"
for path in /usr/lib/vst/Lyrevane.so /usr/lib/clap/Lyrevane.clap /usr/lib/lv2/Lyrevane.lv2/manifest.ttl \
    /usr/lib/lv2/Lyrevane.lv2/lyrevane.ttl /usr/lib/lv2/Lyrevane.lv2/lyrevane-dsp.so \
    /usr/lib/lv2/Lyrevane.lv2/lyrevane-ui.so /usr/bin/lyrevane-render \
    /usr/share/man/man1/lyrevane-render.1.gz /usr/share/doc/lyrevane/copyright \
    /usr/share/doc/lyrevane/changelog.gz /usr/share/doc/lyrevane/examples/song.mid; do
  grep -qx "$path" "$work/files.txt" && [ -f "$path" ] || fail "$path is not installed"
done
grep -E '\.debug$' "$work/files.txt" && fail "the package carries debug files"
while read -r path; do
  [ -f "$path" ] || continue
  kind=$(file -b "$path")
  if [[ "$kind" == ELF* ]] && [[ "$kind" != *", stripped"* ]]; then
    fail "$path is not stripped"
  fi
done <"$work/files.txt"
echo "ok   $(wc -l <"$work/files.txt") paths installed, the binaries stripped, no debug files"

step "lilv finds the LV2 plug-in in the system's folders"
# Whole outputs first: grep -q stops reading early, which would fail the pipe.
listed=$(lv2ls)
grep -qx 'urn:lyrevane:lv2:lyrevane' <<<"$listed" || fail "lv2ls does not list urn:lyrevane:lv2:lyrevane"
info=$(lv2info urn:lyrevane:lv2:lyrevane)
grep -q 'Binary: *file:///usr/lib/lv2/Lyrevane.lv2/lyrevane-dsp.so' <<<"$info" \
  || fail "lv2info does not find the binary in /usr/lib/lv2/Lyrevane.lv2"
echo "ok   lv2ls and lv2info, no LV2_PATH"

step "lyrevane-render from /usr/bin"
[ "$(command -v lyrevane-render)" = /usr/bin/lyrevane-render ] || fail "lyrevane-render is not on PATH"
(cd "$work" && lyrevane-render /usr/share/doc/lyrevane/examples/song.mid installed.wav >/dev/null) \
  || fail "the installed lyrevane-render failed"
"$build/bin/lyrevane-render" "$source/examples/song.mid" "$work/built.wav" >/dev/null
cmp -s "$work/installed.wav" "$work/built.wav" \
  || fail "the package renders the song differently from the build"
echo "ok   the installed tool and module render the song as the build does"

check=$build/bin/lyrevane-ardour-check
step "Ardour finds the VST module in /usr/lib/vst"
"$source/tests/ardour/run-ardour-test.sh" --installed /usr/lib/vst/Lyrevane.so \
  /usr/bin/lyrevane-render "$check"
step "Ardour finds the LV2 plug-in in /usr/lib/lv2, and a preset of it"
"$source/tests/ardour/run-ardour-test.sh" --installed /usr/lib/vst/Lyrevane.so \
  /usr/bin/lyrevane-render "$check" /usr/lib/lv2 /usr/share/lyrevane/programs

step "dpkg -i over the installed package"
dpkg -i "$deb" >"$work/upgrade.log" 2>&1 || { cat "$work/upgrade.log"; fail "dpkg -i over itself"; }
[ "$(status)" = "install ok installed" ] || fail "status after the second install: $(status)"
dpkg -L lyrevane | grep -vx '/\.' | cmp -s - "$work/files.txt" || fail "the second install holds other files"
echo "ok   installed again over itself"

step "dpkg -r"
dpkg -r lyrevane >"$work/remove.log" 2>&1 || { cat "$work/remove.log"; fail "dpkg -r"; }
left=$(while read -r path; do
         [ -e "$path" ] && ! grep -qxF "$path" "$work/before.txt" && echo "$path"
       done <"$work/files.txt" || true)
[ -z "$left" ] || fail "left after removal: $left"
case "$(status)" in ""|*not-installed*) ;; *) fail "status after removal: $(status)" ;; esac
echo "ok   removed: none of its $(wc -l <"$work/files.txt") paths left but the folders that were there before"
