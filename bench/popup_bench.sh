#!/usr/bin/env bash
# The popup for a long text, as a user meets it: `kestrune popup` (what a desktop hotkey runs)
# with 5,000 characters of real prose, and then with a word, on the viewer resident in the tray
# with the full CC-CEDICT (bench/work/popup/).
#
#   bash bench/popup_bench.sh [BUILD_DIR] [RUNS] [BASELINE_BUILD_DIR]
#
# Without BUILD_DIR (or with "") the shipped programs are built into build-bench/ first. With
# BASELINE_BUILD_DIR (an older build, for instance of main), the same is measured with it in the
# same run. Each popup is timed from the command's start until the viewer (KESTRUNE_PAGE_TIMING)
# reports its page painted: the body applied, laid out, and the popup repainted. The popup's
# size and place are read from the X server; the memory is the PSS of the viewer and its helper
# processes once the long text is shown. Runs its own X server (Xvfb, 1280x800) with trayer as
# the tray host. Target: the 5,000 characters painted within 1 s, the popup at most 60% of the
# screen (768x480), the next popup for the word back at 440x300.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
runs=${2:-5}
baseline=${3:-}
if [ -n "${1:-}" ]; then
  bench_bin=$1/bin
else
  . bench/build.sh
  bench_build kestrune kestrune-viewer kestrune-page cedict_dictionary
fi
for tool in Xvfb trayer xdotool; do
  command -v "$tool" >/dev/null || { echo "No $tool: run scripts/install-deps.sh." >&2; exit 1; }
done
. bench/prose.sh

work=$root/bench/work/popup
mkdir -p "$work"
export QTWEBENGINE_DISABLE_SANDBOX=1 KESTRUNE_NO_MESSAGE_BOX=1
unset QT_QPA_PLATFORM WAYLAND_DISPLAY
[ -s "$work/prose5000.txt" ] || bench_prose "$work/prose5000.txt" 5000
long=$(cat "$work/prose5000.txt")

# A program folder per build: the page files and the build's own CC-CEDICT with its index.
folder_of() {  # $1: bin folder; prints the program folder
  local f
  f=$work/$(echo "$1" | md5sum | cut -c1-8)
  mkdir -p "$f"
  cp -p "$root/data/empty.html" "$root/data/readme.html" "$f/"
  [ -f "$f/cedict.idx" ] || cp -p "$1/cedict.ced" "$1/cedict.idx" "$f/"
  printf '[Setup]\nReleaseViewMinutes=10\n' >"$f/setup.ini"
  echo "$f"
}

viewer=""
. tests/support/xdisplay.sh
start_x_with_tray 120 1280x800 || { echo "The tray host did not come up." >&2; exit 1; }

tree_pss_mb() {  # PSS of $1 and every process below it, MB
  local pids=$1 p sum=0 more
  more=$1
  while [ -n "$more" ]; do
    more=$(for p in $more; do pgrep -P "$p" || true; done)
    pids="$pids $more"
  done
  for p in $pids; do
    sum=$((sum + $(awk '/^Pss:/{print $2; exit}' "/proc/$p/smaps_rollup" 2>/dev/null || echo 0)))
  done
  awk -v k="$sum" 'BEGIN{printf "%.0f", k/1024}'
}
median() { sort -n | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }

# One popup: prints "MS WIDTHxHEIGHT+X+Y" once the log has $4 "popup painted" lines.
popup() {  # $1: bin, $2: folder, $3: text, $4: painted lines expected, $5: log
  local begin ms win geometry="" until=$((SECONDS + 30))
  begin=$(date +%s%N)
  KESTRUNE_HOME="$2" "$1/kestrune" popup "$3" >/dev/null 2>&1
  until [ "$(grep -c "popup painted" "$5")" -ge "$4" ] || [ "$SECONDS" -ge "$until" ]; do
    sleep 0.005
  done
  ms=$((($(date +%s%N) - begin) / 1000000))
  win=$(xdotool search --onlyvisible --name ' - Kestrune$' | head -1 || true)
  [ -n "$win" ] && geometry=$(xdotool getwindowgeometry --shell "$win" |
    awk -F= '{v[$1]=$2} END {printf "%sx%s+%s+%s", v["WIDTH"], v["HEIGHT"], v["X"], v["Y"]}')
  echo "$ms ${geometry:-none}"
}
close_popup() {
  python3 "$root/bench/xclose.py" "$(xdotool search --onlyvisible --name ' - Kestrune$' | head -1)"
  sleep 0.5
}

measure() {  # $1: bin folder, $2: label
  local bin=$1 folder log i r longs=() shorts=() mem=() longgeo="" shortgeo=""
  folder=$(folder_of "$bin")
  echo "== $2 ($bin/kestrune), full CC-CEDICT, display $DISPLAY 1280x800 with trayer"
  for i in $(seq "$runs"); do
    log=$work/viewer-$i.log
    KESTRUNE_HOME="$folder" KESTRUNE_PAGE_TIMING=1 "$bin/kestrune" >/dev/null 2>"$log" &
    viewer=$!
    sleep 3
    popup "$bin" "$folder" 学习 1 "$log" >/dev/null  # starts the popup's engine
    close_popup
    r=$(popup "$bin" "$folder" "$long" 2 "$log")
    longs+=("${r%% *}")
    longgeo=${r#* }
    mem+=("$(tree_pss_mb "$viewer")")
    [ "$i" = 1 ] && import -window root "$work/long-$2.png" 2>/dev/null || true
    close_popup
    r=$(popup "$bin" "$folder" 中国 3 "$log")
    shorts+=("${r%% *}")
    shortgeo=${r#* }
    [ "$i" = 1 ] && import -window root "$work/short-$2.png" 2>/dev/null || true
    close_popup
    kill "$viewer" 2>/dev/null || true
    wait "$viewer" 2>/dev/null || true
    viewer=""
  done
  long_ms=$(printf '%s\n' "${longs[@]}" | median)
  short_ms=$(printf '%s\n' "${shorts[@]}" | median)
  echo "5,000 characters to a painted popup, median of ${longs[*]}: $long_ms ms" \
    "($(awk -v a="$long_ms" 'BEGIN{printf "%.2f", a/1000}') of the 1 s target)"
  echo "  popup $longgeo, viewer and helpers $(printf '%s\n' "${mem[@]}" | median) MB PSS"
  echo "the next popup, for 中国, median of ${shorts[*]}: $short_ms ms, popup $shortgeo"
  echo "  long / short: $(awk -v a="$long_ms" -v b="$short_ms" 'BEGIN{printf "%.1f", a/b}')"
}

measure "$bench_bin" this
this_long=$long_ms
if [ -n "$baseline" ]; then
  measure "$baseline/bin" baseline
  echo "5,000 characters, this build / the baseline: $(awk -v a="$this_long" -v b="$long_ms" \
    'BEGIN{printf "%.2f", a/b}')"
fi
