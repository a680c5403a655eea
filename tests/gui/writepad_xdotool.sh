#!/usr/bin/env bash
# The handwriting pad on a real X server (Xvfb), driven as a user drives it: "Write" (Alt+W)
# opens it, strokes are mouse drags (xdotool), the first candidate is chosen (key 1), the input
# field holds it and its search lists the words; Undo stroke and Clear are clicked; Esc closes
# the pad, whose place is then in setup.ini. The pad reports what it shows on stderr
# (KESTRUNE_WRITE_LOG).
#
#   writepad_xdotool.sh KESTRUNE_BINARY SOURCE_DIR SCRATCH_DIR
set -euo pipefail
bin=$1
source_dir=$2
scratch=$3
. "$source_dir/tests/gui/xsession.sh"
xsession_start "$source_dir" "$scratch" 60 xdotool python3
printf '學 学 [xue2] /to learn/\n學習 学习 [xue2 xi2] /to learn/\n十 十 [shi2] /ten/\n' \
  >"$scratch/small.u8"
KESTRUNE_HOME=$home "$bin" import "$scratch/small.u8" --name Small >/dev/null

export QTWEBENGINE_DISABLE_SANDBOX=1 KESTRUNE_WRITE_LOG=1
unset QT_QPA_PLATFORM WAYLAND_DISPLAY

log=$scratch/viewer.log
"$bin" 2>"$log" &
pids+=($!)
fail() { echo "FAIL: $*" >&2; echo "--- viewer log:" >&2; grep "write pad" "$log" >&2 || true; exit 1; }
find_window() {  # name
  for _ in $(seq 300); do
    w=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1) || true
    [ -n "$w" ] && { echo "$w"; return 0; }
    sleep 0.1
  done
  return 1
}
# Draws the strokes of a stored drawing (0..1000 units) at X Y, scaled by S, with the mouse.
drag() {  # file x y s [strokes]
  python3 - "$@" <<'PY'
import json, subprocess, sys, time
f, x0, y0, s = sys.argv[1], float(sys.argv[2]), float(sys.argv[3]), float(sys.argv[4])
limit = int(sys.argv[5]) if len(sys.argv) > 5 else 1000
for stroke in json.load(open(f))[:limit]:
    pts = [(int(x0 + x * s), int(y0 + y * s)) for x, y in stroke]
    cmd = ["xdotool", "mousemove", str(pts[0][0]), str(pts[0][1]), "mousedown", "1"]
    for x, y in pts[1:]:
        cmd += ["mousemove", str(x), str(y)]
    subprocess.run(cmd + ["mouseup", "1"], check=True)
    time.sleep(0.2)
PY
}

main=$(find_window '^Kestrune$') || fail "the main window is not visible"
xdotool windowfocus --sync "$main"
xdotool key alt+w
pad=$(find_window '^Write$') || fail "Alt+W opened no pad"
wait_for "write pad: model loaded" 20
eval "$(xdotool getwindowgeometry --shell "$pad")"
px=$X py=$Y pw=$WIDTH ph=$HEIGHT

drag "$source_dir/tests/data/hand/xue.json" $((px + 40)) $((py + 30)) 0.2
wait_for "write pad: 8 strokes: 学學 " 20
xdotool mousemove $((px + pw / 2)) $((py + 20))
xdotool windowfocus --sync "$pad"
xdotool key 1
wait_for "write pad: chose 学; input 学, 2 words listed" 20

drag "$source_dir/tests/data/hand/shi.json" $((px + 40)) $((py + 30)) 0.2
wait_for "write pad: 2 strokes: 十 " 20
# The buttons' row is the pad's last: Undo stroke on the left, Clear in the middle.
xdotool mousemove $((px + pw / 6)) $((py + ph - 14)) click 1
wait_for "write pad: 1 strokes: 一 " 20
xdotool mousemove $((px + pw / 2)) $((py + ph - 14)) click 1
wait_for "write pad: 0 strokes, no candidates" 20

xdotool windowfocus --sync "$pad"
xdotool key Escape
for _ in $(seq 50); do
  [ -z "$(xdotool search --onlyvisible --name '^Write$' 2>/dev/null)" ] && break
  sleep 0.1
done
[ -z "$(xdotool search --onlyvisible --name '^Write$' 2>/dev/null)" ] || fail "Esc left the pad open"
grep -q '^\[WritePad\]' "$home/setup.ini" || fail "no [WritePad] in setup.ini"
echo "PASS: the pad under X: drawn 学 chosen and searched, Undo stroke, Clear, Esc"
