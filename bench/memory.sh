#!/usr/bin/env bash
# Memory and page times of the resident viewer, as a user meets it on a desktop with a tray,
# with the full CC-CEDICT (converted and indexed into bench/work/memory/).
#
#   bash bench/memory.sh [BUILD_DIR] [RUNS]
#
# Without BUILD_DIR (or with "") the shipped programs are built into build-bench/ first.
# Runs its own X server (Xvfb) with a tray host (trayer) and no window manager. Memory is the
# PSS summed over the viewer and all its descendants (the browser engine's helper processes),
# from /proc/PID/smaps_rollup. The viewer runs with KESTRUNE_PAGE_TIMING=1, which makes it print
# when its window is shown and when the page is painted after a show (the page loaded, its body
# applied, the window repainted), and when its page view is made or released.
#
#   1. tray-idle: 5 s after the start, the window never shown           (target <= 60 MB)
#   2. shown: the tray icon clicked, 5 s after the page is painted      (target <= 180 MB)
#   3. first show to a painted page, median of RUNS fresh viewers        (target <= 0.5 s)
#   4. tray-idle after release: the window closed, its page view released after the release
#      time of setup.ini (ReleaseViewMinutes=1 here), 5 s later          (target <= 70 MB)
#   5. no tray host: process start to a visible painted window, median   (target <= 0.6 s)
#
# When GoldenDict is installed (apt-get install goldendict; a different program, run only as a
# baseline), it is measured the same way with the same CC-CEDICT as a DSL dictionary: idle in
# the tray and start to a visible window.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
runs=${2:-5}
if [ -n "${1:-}" ]; then
  bench_bin=$1/bin
else
  . bench/build.sh
  bench_build kestrune kestrune-viewer kestrune-page
fi
bin="$bench_bin/kestrune"
[ -x "$bin" ] || { echo "No $bin: build first." >&2; exit 1; }
for tool in Xvfb trayer xdotool; do
  command -v "$tool" >/dev/null || { echo "No $tool: run scripts/install-deps.sh." >&2; exit 1; }
done

work=$root/bench/work/memory
folder=$work/full
mkdir -p "$folder"
export QTWEBENGINE_DISABLE_SANDBOX=1
export KESTRUNE_NO_MESSAGE_BOX=1
unset QT_QPA_PLATFORM WAYLAND_DISPLAY

# The program folder: the page files, the full CC-CEDICT and its index, a short release time.
cp -p data/empty.html data/readme.html "$folder/"
if [ ! -f "$folder/cedict.idx" ]; then
  iconv -f UTF-8 -t UTF-16LE ../shared/data/cedict_ts.u8 > "$folder/cedict.ced"
  KESTRUNE_HOME="$folder" "$bin" index "$folder/cedict.ced" --name "CC-CEDICT" --pinyin \
    >/dev/null 2>&1
fi
printf '[Setup]\nReleaseViewMinutes=1\n' > "$folder/setup.ini"

# The X server and the tray host.
display_number=97
while [ -e "/tmp/.X11-unix/X$display_number" ]; do display_number=$((display_number + 1)); done
export DISPLAY=:$display_number
Xvfb "$DISPLAY" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
tray=""
viewer=""
cleanup() {
  for p in $viewer $tray $xvfb; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
}
trap cleanup EXIT
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
start_tray() {
  trayer --edge top --align right --widthtype pixel --width 64 --heighttype pixel --height 24 \
    --SetDockType true --transparent false >/dev/null 2>&1 &
  tray=$!
  sleep 1
}

descendants() { local c; for c in $(pgrep -P "$1"); do echo "$c"; descendants "$c"; done; }
pss_mb() {  # PSS of the process and all its descendants, MB
  local sum=0 p v
  for p in $1 $(descendants "$1"); do
    v=$(awk '/^Pss:/{print $2; exit}' "/proc/$p/smaps_rollup" 2>/dev/null || echo 0)
    sum=$((sum + ${v:-0}))
  done
  awk -v k="$sum" 'BEGIN{printf "%.1f", k/1024}'
}
breakdown() {  # PSS of the viewer process alone and of its helpers, MB
  local own helpers
  own=$(awk '/^Pss:/{printf "%.1f", $2/1024; exit}' "/proc/$1/smaps_rollup")
  helpers=$(awk -v a="$(pss_mb "$1")" -v b="$own" 'BEGIN{printf "%.1f", a-b}')
  echo "  processes: $((1 + $(descendants "$1" | wc -l))) (viewer $own MB, helpers $helpers MB)"
}
median() { sort -n | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }
# Waits until the log has a line matching the pattern (at most $3 seconds); prints the line.
wait_line() {
  local i
  for i in $(seq $(($3 * 20))); do
    if grep -m1 -E "$2" "$1" 2>/dev/null; then return 0; fi
    sleep 0.05
  done
  echo "time-out waiting for '$2' in $1" >&2
  return 1
}
start_viewer() {  # $1: log file
  KESTRUNE_HOME="$folder" KESTRUNE_PAGE_TIMING=1 "$bin" >/dev/null 2>"$1" &
  viewer=$!
}
stop_viewer() { kill "$viewer" 2>/dev/null || true; wait "$viewer" 2>/dev/null || true; viewer=""; }
click_tray() {  # the one icon in the tray host, at its right end
  local w width
  w=$(xdotool search --sync --onlyvisible --class trayer | head -1)
  width=$(xdotool getwindowgeometry --shell "$w" | sed -n 's/^WIDTH=//p')
  xdotool mousemove --window "$w" $((width - 12)) 12 click 1
}
main_window() { xdotool search --sync --onlyvisible --name '^Kestrune$' | head -1; }
ms_after() {  # $1: the line's start, $2: "show" or "start"
  grep -m1 "$1" | sed -n "s/.* \\([0-9]*\\) ms after the $2.*/\\1/p"
}
verdict() {  # figure, target, unit
  awk -v f="$1" -v t="$2" -v u="$3" 'BEGIN{printf "%s %s (target <= %s %s, %.2f of the target)\n", f, u, t, u, f/t}'
}

echo "== Kestrune ($bin), full CC-CEDICT, display $DISPLAY with trayer"
start_tray

# 1, 2, 4: one viewer through start, show, close, release.
log=$work/cycle.log
start_viewer "$log"
sleep 5
idle=$(pss_mb "$viewer")
mapped=$(grep -c libQt6WebEngine "/proc/$viewer/maps" || true)
echo -n "tray-idle after start: PSS "; verdict "$idle" 60 MB
breakdown "$viewer"
echo "  mappings of libQt6WebEngine*: $mapped"
import -window root "$work/tray-idle.png" 2>/dev/null || true
click_tray
wait_line "$log" "page painted" 20 >/dev/null
sleep 5
shown=$(pss_mb "$viewer")
echo -n "shown with a page: PSS "; verdict "$shown" 180 MB
breakdown "$viewer"
import -window root "$work/shown.png" 2>/dev/null || true
python3 bench/xclose.py "$(main_window)"
wait_line "$log" "page view released" 90 >/dev/null
sleep 5
released=$(pss_mb "$viewer")
echo -n "tray-idle after release: PSS "; verdict "$released" 70 MB
breakdown "$viewer"
: >"$log.again"
tail -c +1 -f "$log" >"$log.again" &
tailer=$!
click_tray
wait_line "$log.again" "page painted" 20 >/dev/null || true
kill "$tailer" 2>/dev/null || true
again=$(grep "page painted" "$log" | tail -1 | ms_after "page painted" show)
echo "show after release to a painted page: ${again:-?} ms"
sleep 3
echo "shown again: PSS $(pss_mb "$viewer") MB"
stop_viewer

# 3: first show to a painted page, fresh viewers.
times=()
for i in $(seq "$runs"); do
  start_viewer "$work/show$i.log"
  sleep 3
  click_tray
  line=$(wait_line "$work/show$i.log" "page painted" 20) || line=""
  times+=("$(ms_after "page painted" show <<<"$line")")
  stop_viewer
done
t=$(printf '%s\n' "${times[@]}" | median)
echo -n "first show to a painted page, median of ${times[*]}: "; verdict "$t" 500 ms

# 6: `kestrune popup` (what a desktop hotkey runs) to its painted page, wall time from the
# command's start until the viewer reports the popup's page painted (polled every 5 ms): the
# first popup of a fresh viewer, which starts the engine (as after a release), and the next
# one, with the engine kept (as while scanning is on).
popup_ms() {  # $1: log, $2: query, $3: how many "popup painted" lines there are then
  local begin
  begin=$(date +%s%N)
  KESTRUNE_HOME="$folder" "$bin" popup "$2" >/dev/null 2>&1
  for _ in $(seq 4000); do
    [ "$(grep -c "popup painted" "$1")" -ge "$3" ] && break
    sleep 0.005
  done
  echo $(( ($(date +%s%N) - begin) / 1000000 ))
}
first=()
kept=()
for i in $(seq "$runs"); do
  log=$work/popup$i.log
  start_viewer "$log"
  sleep 3
  first+=("$(popup_ms "$log" 学习 1)")
  sleep 1
  # Closed as a window manager closes it (as a click elsewhere would), then the next one.
  python3 bench/xclose.py "$(xdotool search --onlyvisible --name ' - Kestrune$' | head -1)"
  sleep 1
  kept+=("$(popup_ms "$log" 中国 2)")
  stop_viewer
done
echo "kestrune popup to a painted page, engine started by it, median of ${first[*]}: $(printf '%s\n' "${first[@]}" | median) ms"
echo "kestrune popup to a painted page, engine kept, median of ${kept[*]}: $(printf '%s\n' "${kept[@]}" | median) ms"

# 5: no tray host.
kill "$tray"; wait "$tray" 2>/dev/null || true; tray=""
sleep 1
times=()
for i in $(seq "$runs"); do
  start_viewer "$work/notray$i.log"
  line=$(wait_line "$work/notray$i.log" "page painted" 20) || line=""
  times+=("$(ms_after "page painted" start <<<"$line")")
  [ "$i" = 1 ] && import -window root "$work/no-tray.png" 2>/dev/null || true
  stop_viewer
done
t=$(printf '%s\n' "${times[@]}" | median)
echo -n "no tray: process start to a painted window, median of ${times[*]}: "; verdict "$t" 600 ms

# The baseline.
if command -v goldendict >/dev/null; then
  gd=$work/goldendict
  mkdir -p "$gd/home/.goldendict" "$gd/dicts"
  if [ ! -f "$gd/dicts/cedict.dsl" ]; then
    python3 bench/cedict_dsl.py ../shared/data/cedict_ts.u8 "$gd/dicts/cedict.dsl"
  fi
  cat >"$gd/home/.goldendict/config" <<XML
<config>
 <paths><path recursive="0">$gd/dicts</path></paths>
 <preferences><enableTrayIcon>1</enableTrayIcon><startToTray>1</startToTray>
 <checkForNewReleases>0</checkForNewReleases></preferences>
</config>
XML
  echo "== GoldenDict $(dpkg-query -W -f='${Version}' goldendict) (baseline), same CC-CEDICT as DSL"
  start_tray
  # The first start indexes the dictionary; it is not measured.
  HOME=$gd/home goldendict >/dev/null 2>&1 &
  viewer=$!
  sleep 40
  stop_viewer
  HOME=$gd/home goldendict >/dev/null 2>&1 &
  viewer=$!
  sleep 8
  echo "tray-idle after start: PSS $(pss_mb "$viewer") MB"
  stop_viewer
  kill "$tray"; wait "$tray" 2>/dev/null || true; tray=""
  sed -i 's#<startToTray>1</startToTray>#<startToTray>0</startToTray>#' "$gd/home/.goldendict/config"
  times=()
  for _ in $(seq "$runs"); do
    begin=$(date +%s%N)
    HOME=$gd/home goldendict >/dev/null 2>&1 &
    viewer=$!
    xdotool search --sync --onlyvisible --name 'GoldenDict' >/dev/null
    times+=("$(( ($(date +%s%N) - begin) / 1000000 ))")
    sleep 3
    [ ${#times[@]} = 1 ] && echo "shown: PSS $(pss_mb "$viewer") MB"
    stop_viewer
  done
  echo "no tray: process start to a visible window, median of ${times[*]}: $(printf '%s\n' "${times[@]}" | median) ms"
fi
