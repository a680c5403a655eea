#!/usr/bin/env bash
# The viewer behind a tray icon on a real X server (Xvfb, with trayer as the tray host): once its
# hidden window has released the page, it starts itself afresh in the same process, the
# browser engine's helper processes end, and it keeps serving `kestrune show` on its socket.
#
#   viewer_fresh_start.sh KESTRUNE_BINARY SOURCE_DIR SCRATCH_DIR
set -euo pipefail
bin=$1
source_dir=$2
scratch=$3
. "$source_dir/tests/gui/xsession.sh"
xsession_start "$source_dir" "$scratch" 40 trayer xdotool python3
printf '中國 中国 [Zhong1 guo2] /China/\n學習 学习 [xue2 xi2] /to learn/\n' >"$scratch/small.u8"
KESTRUNE_HOME=$home "$bin" import "$scratch/small.u8" --name Small >/dev/null
printf '[Setup]\nReleaseViewMinutes=1\n' >"$home/setup.ini"

export QTWEBENGINE_DISABLE_SANDBOX=1 KESTRUNE_PAGE_TIMING=1
unset QT_QPA_PLATFORM WAYLAND_DISPLAY QTWEBENGINE_CHROMIUM_FLAGS
start_tray_host 48 || { echo "FAIL: the tray host did not start" >&2; exit 1; }

log=$scratch/viewer.log
"$bin" 2>"$log" &
viewer=$!
pids+=("$viewer")
fail() { echo "FAIL: $*" >&2; echo "--- viewer log:" >&2; cat "$log" >&2; exit 1; }
children() { pgrep -P "$viewer" | wc -l; }

sleep 2
grep -q "window shown" "$log" && fail "the viewer found no tray and showed its window at the start"
"$bin" show 学习 || fail "kestrune show"
wait_for "page painted" 60
[ "$(children)" -ge 1 ] || fail "no helper process while the page is shown"
window=""
for _ in $(seq 300); do
  window=$(xdotool search --onlyvisible --name '^Kestrune$' 2>/dev/null | head -1) || true
  [ -n "$window" ] && break
  sleep 0.1
done
[ -n "$window" ] || fail "the main window is not visible"
python3 "$source_dir/bench/xclose.py" "$window"
wait_for "page view released" 90
wait_for "started afresh after the page was released" 20
# Same process; the engine's helper processes end and none stays behind as a zombie.
kill -0 "$viewer" 2>/dev/null || fail "the viewer ended"
for _ in $(seq 100); do [ "$(children)" -eq 0 ] && break; sleep 0.1; done
[ "$(children)" -eq 0 ] || fail "helper processes left: $(pgrep -a -P "$viewer")"
grep -q "libQt6WebEngine" "/proc/$viewer/maps" && fail "the engine is still mapped"
grep -q "state was lost" "$log" && fail "the window's state was not taken over"
# The socket was passed on: a later request reaches this viewer, which shows its page again.
before=$(grep -c "page painted" "$log")
"$bin" show || fail "kestrune show after the fresh start"
for _ in $(seq 600); do [ "$(grep -c "page painted" "$log")" -gt "$before" ] && break; sleep 0.1; done
[ "$(grep -c "page painted" "$log")" -gt "$before" ] || fail "no page after the fresh start"
[ "$(pgrep -c -f -- "--program-folder $home" || true)" -eq 1 ] || fail "more than one viewer"
echo "ok: released, started afresh in process $viewer, served again"
