#!/usr/bin/env bash
# The viewer stopped as a machine is suspended (SIGSTOP of the viewer and its helper processes,
# SIGCONT after STOP_SECONDS, 60 by default) on a real X server with a tray host: a request sent
# while it sleeps is answered once it wakes, one whose caller gave up meanwhile is not carried
# out, the release timer that ran out during the sleep releases the page and the viewer starts
# afresh, and it goes on serving.
#
#   viewer_suspend.sh KESTRUNE_BINARY SOURCE_DIR SCRATCH_DIR [STOP_SECONDS]
#
# The viewer's timers (the release, the socket's read limit, the callers' waits) run on the
# monotonic clock, which a change of the wall clock does not move; stopped processes see the
# time they slept at once when they go on, as after a suspend.
set -euo pipefail
trap 'echo "FAIL: line $LINENO: $BASH_COMMAND" >&2' ERR
bin=$1
source_dir=$2
scratch=$3
stop_seconds=${4:-60}
for tool in Xvfb trayer xdotool python3; do
  command -v "$tool" >/dev/null || { echo "missing $tool (scripts/install-deps.sh)" >&2; exit 1; }
done
rm -rf "$scratch"
mkdir -p "$scratch/home" "$scratch/run"
chmod 700 "$scratch/run"
home=$scratch/home
cp "$source_dir/data/empty.html" "$home/"
printf '中國 中国 [Zhong1 guo2] /China/\n學習 学习 [xue2 xi2] /to learn/\n' >"$scratch/small.u8"
KESTRUNE_HOME=$home "$bin" import "$scratch/small.u8" --name Small >/dev/null

export XDG_RUNTIME_DIR=$scratch/run KESTRUNE_HOME=$home QTWEBENGINE_DISABLE_SANDBOX=1
export KESTRUNE_NO_MESSAGE_BOX=1 KESTRUNE_PAGE_TIMING=1 KESTRUNE_RELEASE_VIEW_MS=10000
unset QT_QPA_PLATFORM WAYLAND_DISPLAY QTWEBENGINE_CHROMIUM_FLAGS
viewer=""
. "$source_dir/tests/support/xdisplay.sh"
start_x_with_tray 150 1024x768 || { echo "FAIL: the tray host did not start" >&2; exit 1; }

log=$scratch/viewer.log
"$bin" 2>"$log" &
viewer=$!
fail() { echo "FAIL: $*" >&2; echo "--- viewer log:" >&2; cat "$log" >&2; exit 1; }
wait_count() {  # pattern, count, seconds
  for _ in $(seq $(($3 * 10))); do
    [ "$(grep -c -- "$1" "$log" || true)" -ge "$2" ] && return 0
    sleep 0.1
  done
  fail "not $2 times '$1' in the log after $3 s"
}
main_window() {
  local w=""
  for _ in $(seq 300); do
    # xdotool fails while no such window is mapped yet: that is what the loop waits for.
    w=$(xdotool search --onlyvisible --name '^Kestrune$' 2>/dev/null | head -1) || true
    [ -n "$w" ] && break
    sleep 0.1
  done
  [ -n "$w" ] || fail "the main window is not visible"
  echo "$w"
}

sleep 2
"$bin" show 学习 || fail "kestrune show"
wait_count "page painted" 1 60
python3 "$source_dir/bench/xclose.py" "$(main_window)"
# Asleep before the release time is up (10 s), with the engine's helpers.
sleep 1
kill -STOP "$viewer" $(pgrep -P "$viewer")
stopped=$(date +%s)
# A caller that gives up while the viewer sleeps (its wait is 20 s) ...
"$bin" show 中国 2>"$scratch/gave-up.err" && fail "a request to a stopped viewer was answered"
grep -qx "Kestrune: The viewer did not answer" "$scratch/gave-up.err" ||
  fail "the caller said: $(cat "$scratch/gave-up.err")"
# ... and one that is still waiting when it wakes.
while [ $(($(date +%s) - stopped)) -lt $((stop_seconds - 5)) ]; do sleep 1; done
"$bin" show 學習 2>"$scratch/waited.err" &
waiter=$!
sleep 5
kill -CONT $(pgrep -P "$viewer") "$viewer"
wait "$waiter" || fail "the waiting caller was not answered: $(cat "$scratch/waited.err")"
grep -q "dropped a request: the caller gave up" "$log" ||
  fail "the request of the caller who gave up was not dropped"
# The waiting caller's request is carried out: the window shows it.
main_window >/dev/null
python3 "$source_dir/bench/xclose.py" "$(main_window)"
# The release timer runs again from this hide; it releases and the viewer starts afresh.
wait_count "page view released" 1 60
wait_count "started afresh after the page was released" 1 30
kill -0 "$viewer" 2>/dev/null || fail "the viewer ended"
"$bin" show 中国 || fail "kestrune show after the wake"
wait_count "page painted" 3 60
echo "ok: stopped ${stop_seconds} s, served on waking, released and started afresh"
