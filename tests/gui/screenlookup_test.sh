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
# shellcheck source=../support/xdisplay.sh
source "$source_dir/tests/support/xdisplay.sh"
export QT_QPA_PLATFORM=xcb
trap 'kill $xvfb_pid 2>/dev/null || true; wait 2>/dev/null || true' EXIT
start_xvfb 800x600x24 || { echo "no X server came up" >&2; exit 1; }
"$test" x11DragReadsTheRegion
