#!/usr/bin/env bash
# Start-up time and idle memory of the viewer, with the sample dictionary and with the full
# CC-CEDICT (converted and indexed into bench/work/).
#
#   bash bench/viewer_startup.sh [BUILD_DIR] [RUNS]
#
# Without BUILD_DIR (or with "") the shipped programs are built into build-bench/ first.
# Start-up: the viewer runs with KESTRUNE_EXIT_WHEN_IDLE=1, which makes it print the time from
# the process start to its first idle message loop and to the first page shown, and then end.
# Memory: the viewer runs for a few seconds, then the resident size (RSS) of its own process and
# the proportional size (PSS) of it and all its web-engine helper processes are read from /proc.
# Without DISPLAY the offscreen platform is used.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${2:-7}
if [ -n "${1:-}" ]; then
  bench_bin=$1/bin
else
  . bench/build.sh
  bench_build kestrune kestrune-viewer cedict_dictionary
fi
bin="$bench_bin/kestrune"
[ -x "$bin" ] || { echo "No $bin: build first." >&2; exit 1; }

work=bench/work/viewer
mkdir -p "$work/sample" "$work/full"
export QTWEBENGINE_DISABLE_SANDBOX=1
export KESTRUNE_NO_MESSAGE_BOX=1  # the index command below runs without a terminal
# A private socket folder: a viewer the user keeps running is not the one measured.
export XDG_RUNTIME_DIR="$PWD/$work/runtime"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then export QT_QPA_PLATFORM=offscreen; fi

# Program folders. cp -p keeps the data files' times, which their indexes record.
for f in empty.html readme.html; do cp -p "data/$f" "$work/sample/"; cp -p "data/$f" "$work/full/"; done
if [ ! -f "$work/sample/cedict-sample.idx" ]; then
  KESTRUNE_HOME="$work/sample" "$bin" import data/cedict-sample.u8 --name "CC-CEDICT sample" \
    >/dev/null 2>&1
fi
cp -p "$bench_bin/cedict.ced" "$bench_bin/cedict.idx" "$work/full/"

median() { sort -n | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }

descendants() { local c; for c in $(pgrep -P "$1"); do echo "$c"; descendants "$c"; done; }

for name in sample full; do
  idle=(); shown=()
  for _ in $(seq "$runs"); do
    out=$(KESTRUNE_HOME="$work/$name" KESTRUNE_EXIT_WHEN_IDLE=1 "$bin" 2>&1 >/dev/null || true)
    idle+=("$(sed -n 's/^Kestrune: message loop idle \([0-9]*\) ms.*/\1/p' <<<"$out")")
    shown+=("$(sed -n 's/^Kestrune: first page shown \([0-9]*\) ms.*/\1/p' <<<"$out")")
  done
  echo "$name: idle message loop median $(printf '%s\n' "${idle[@]}" | median) ms" \
       "(runs: ${idle[*]}); first page shown median $(printf '%s\n' "${shown[@]}" | median) ms"

  KESTRUNE_HOME="$work/$name" "$bin" >/dev/null 2>&1 &
  pid=$!
  sleep 5
  rss=$(awk '/^VmRSS/{print $2}' "/proc/$pid/status")
  pss=0
  for p in $pid $(descendants "$pid"); do
    v=$(awk '/^Pss:/{print $2; exit}' "/proc/$p/smaps_rollup" 2>/dev/null || echo 0)
    pss=$((pss + v))
  done
  kill "$pid"; wait "$pid" 2>/dev/null || true
  echo "$name: idle RSS of the viewer process $((rss / 1024)) MB;" \
       "PSS of it and its helper processes $((pss / 1024)) MB"
done
