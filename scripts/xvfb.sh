# Sourced by the other scripts: starts a private virtual X server when no display is set,
# on whatever display number is free (-displayfd), and stops it by its process id on exit.
lyrevane_start_xvfb() {
  if [ -n "${DISPLAY:-}" ]; then
    return 0
  fi
  local display_file
  display_file=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$display_file" >/dev/null 2>&1 &
  LYREVANE_XVFB_PID=$!
  for _ in $(seq 1 100); do
    [ -s "$display_file" ] && break
    sleep 0.1
  done
  if [ ! -s "$display_file" ]; then
    echo "Xvfb did not start" >&2
    rm -f "$display_file"
    return 1
  fi
  export DISPLAY=":$(head -n 1 "$display_file")"
  export LYREVANE_XVFB_DISPLAY=$DISPLAY
  rm -f "$display_file"
  trap lyrevane_stop_xvfb EXIT
}

# For tests: a display of their own even inside a desktop session, shared by the scripts a test
# run calls. Pointer events sent with XTest then move no real pointer, no window of the user's
# covers a captured panel, and the desktop's scale (its Xft.dpi, GDK_SCALE, LYREVANE_SCALE)
# does not enlarge the panels that tests compare at scale 1; the tests of scale set their own.
lyrevane_private_display() {
  unset GDK_SCALE LYREVANE_SCALE
  if [ "${DISPLAY:-}" != "${LYREVANE_XVFB_DISPLAY:-}" ]; then
    unset DISPLAY
  fi
  lyrevane_start_xvfb
}

lyrevane_stop_xvfb() {
  if [ -n "${LYREVANE_XVFB_PID:-}" ]; then
    kill "$LYREVANE_XVFB_PID" 2>/dev/null || true
    wait "$LYREVANE_XVFB_PID" 2>/dev/null || true
    LYREVANE_XVFB_PID=
  fi
}
