#!/bin/sh
# Fails when a file of the toolkit, the panel or the engine includes an X11 or Cairo header
# or names one of their types or functions: those live behind the window and painter
# interfaces of platform/, in platform/linux/. The interfaces themselves name neither.
# Usage: check-platform-names.sh SOURCE_ROOT
set -eu
cd "$1"
pattern='#[[:space:]]*include[[:space:]]*[<"](X11/|cairo)|\bcairo_[a-z_]+|\b_cairo\b|\bX(Open|Close|Create|Destroy|Map|Unmap|Next|Pending|Send|Flush|Sync|Get|Put|Free|Lookup|Translate)[A-Za-z]*\b|\b(Display|XEvent|XImage|XButtonEvent|XKeyEvent|Visual|Drawable|Pixmap|KeySym)\b'
found=$(grep -rnE "$pattern" vstgui editor host strum sound midi lv2 platform/*.h platform/*.cpp || true)
if [ -n "$found" ]; then
  echo "$found"
  echo "X11 or Cairo outside platform/linux/"
  exit 1
fi
