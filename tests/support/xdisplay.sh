# Sourced by the scripts that run the viewer as a desktop would: an X server of their own (Xvfb)
# with a tray host (trayer), stopped when the script ends.
#
#   start_x_with_tray FIRST_DISPLAY_NUMBER WIDTHxHEIGHT
#
# Takes the first free display from FIRST_DISPLAY_NUMBER on, exports DISPLAY, waits until the
# tray host is up and sets the EXIT trap: it ends $viewer (when set), the tray host and the X
# server. Returns 1 when the tray host does not come up.
xdisplay_pids=()
viewer=${viewer:-}
xdisplay_cleanup() {
  if [ -n "$viewer" ]; then
    kill -CONT "$viewer" $(pgrep -P "$viewer") 2>/dev/null || true
    kill "$viewer" 2>/dev/null || true
  fi
  local p
  for p in "${xdisplay_pids[@]}"; do kill "$p" 2>/dev/null || true; done
  sleep 0.5
  for p in "${xdisplay_pids[@]}"; do kill -KILL "$p" 2>/dev/null || true; done
}
start_x_with_tray() {
  local n=$1
  while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
  export DISPLAY=:$n
  trap xdisplay_cleanup EXIT
  Xvfb "$DISPLAY" -screen 0 "$2x24" -nolisten tcp >/dev/null 2>&1 &
  xdisplay_pids+=($!)
  for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
  trayer --edge top --align right --widthtype pixel --width 64 --heighttype pixel --height 24 \
    --SetDockType true >/dev/null 2>&1 &
  xdisplay_pids+=($!)
  # The viewer looks for a tray when it starts: the host must be up first.
  for _ in $(seq 300); do
    [ -n "$(xdotool search --onlyvisible --class trayer 2>/dev/null | head -1)" ] && break
    sleep 0.1
  done
  [ -n "$(xdotool search --onlyvisible --class trayer 2>/dev/null | head -1)" ] || return 1
  sleep 1
}
