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

# start_xvfb WIDTHxHEIGHTxDEPTH: an X server on a display it picks itself (-displayfd: no race
# with another test taking the same free number at the same moment); exports DISPLAY and
# leaves the server's process id in $xvfb_pid. Returns 1 when no server comes up.
start_xvfb() {
  local numbers
  numbers=$(mktemp)
  Xvfb -displayfd 3 -screen 0 "$1" -nolisten tcp 3>"$numbers" >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do [ -s "$numbers" ] && break; sleep 0.1; done
  local n
  n=$(head -n 1 "$numbers")
  rm -f "$numbers"
  [ -n "$n" ] || return 1
  export DISPLAY=:$n
  for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
}
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
# start_tray_host WIDTH: trayer on $DISPLAY (its pid added to xdisplay_pids and, when the caller
# keeps one, to pids), waited for until its window is shown. A tray host that has not shown
# itself after 15 s is started once more (a full test run once met one that never mapped its
# window). Returns 1, with what trayer said on standard error, when the second one fails too.
start_tray_host() {
  local width=$1 try log
  log=$(mktemp)
  for try in 1 2; do
    trayer --edge top --align right --widthtype pixel --width "$width" --heighttype pixel \
      --height 24 --SetDockType true >"$log" 2>&1 &
    local tray=$!
    xdisplay_pids+=("$tray")
    if declare -p pids >/dev/null 2>&1; then pids+=("$tray"); fi
    # The viewer looks for a tray when it starts: the host must be up first.
    for _ in $(seq 150); do
      if [ -n "$(xdotool search --onlyvisible --class trayer 2>/dev/null | head -1)" ]; then
        rm -f "$log"
        sleep 1
        return 0
      fi
      sleep 0.1
    done
    kill "$tray" 2>/dev/null || true
  done
  echo "trayer on $DISPLAY never showed its window; it said:" >&2
  cat "$log" >&2
  rm -f "$log"
  return 1
}
start_x_with_tray() {
  local n=$1
  while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
  export DISPLAY=:$n
  trap xdisplay_cleanup EXIT
  Xvfb "$DISPLAY" -screen 0 "$2x24" -nolisten tcp >/dev/null 2>&1 &
  xdisplay_pids+=($!)
  for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
  start_tray_host 64 || return 1
}
