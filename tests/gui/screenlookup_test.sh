#!/usr/bin/env bash
# Runs screenlookup_test where its cases need: "x11" on its own Xvfb, "portal" on a private
# session bus (dbus-run-session) with the fake portal of fake_portal.py.
#
#   screenlookup_test.sh x11|portal TEST_BINARY SOURCE_DIR
set -euo pipefail
mode=$1 test=$2 source_dir=$3
unset QT_QPA_PLATFORM WAYLAND_DISPLAY KESTRUNE_SCREEN_CAPTURE
export KESTRUNE_NO_MESSAGE_BOX=1 SCREEN_TEST=$mode
if [ "$mode" = portal ]; then
  export QT_QPA_PLATFORM=offscreen
  exec dbus-run-session -- bash -c '
    /usr/bin/python3 "$1/tests/gui/fake_portal.py" "$1/tests/ocr/images/normal.png" >"$3" &
    portal=$!
    for _ in $(seq 100); do grep -q ready "$3" 2>/dev/null && break; sleep 0.1; done
    "$2" portalPickedAreaIsRead; status=$?
    kill $portal
    exit $status' _ "$source_dir" "$test" "$(mktemp)"
fi
for tool in Xvfb xdotool xdpyinfo; do
  command -v "$tool" >/dev/null || { echo "missing $tool (scripts/install-deps.sh)" >&2; exit 1; }
done
n=60
while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
export DISPLAY=:$n QT_QPA_PLATFORM=xcb
Xvfb "$DISPLAY" -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true; wait 2>/dev/null || true' EXIT
for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
"$test" x11DragReadsTheRegion
