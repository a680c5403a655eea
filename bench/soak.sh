#!/usr/bin/env bash
# A viewer that runs for weeks: its memory, open files, threads and helper processes over
# thousands of lookups, popups and releases of its page, with the full CC-CEDICT of the build.
#
#   bash bench/soak.sh [BIN_DIR] [SEARCHES] [POPUPS] [RELEASES] [LIMIT_MB]
#
# BIN_DIR: the programs and the imported CC-CEDICT (cedict.ced/cedict.idx); without it (or with
# "") the shipped programs are built into build-bench/ first. Defaults: 10000 searches, 1000
# popups, 50 releases, a limit of 20 MB.
#
# Runs its own X server (Xvfb, display $SOAK_DISPLAY or the first free one from :117) with a
# tray host (trayer), a private runtime folder and program folder. Memory is the PSS of the
# viewer and all its descendants (the browser engine's helper processes), from
# /proc/PID/smaps_rollup and smaps.
#
#   1. The window shown, SEARCHES times `kestrune show WORD` (different real words of the
#      dictionary, one after the other), then the rest of POPUPS times `kestrune popup WORD`.
#      The figures after the first 100 searches and 10 popups (which make the popup's page)
#      are the baseline; at the end the PSS (mapped files included, the change of the shared
#      libraries' share left out) must be within LIMIT_MB of it (also right after
#      the last search, before the viewer and the engine have had a quiet moment to give back
#      by themselves), and the open descriptors, threads and helper processes the same.
#   2. RELEASES times: the window shown with a page, closed, its page released after 2 s
#      (KESTRUNE_RELEASE_VIEW_MS) and the viewer started afresh; the tray-idle figures after the
#      first fresh start are the baseline, those after the last must match as above.
# Every request must be answered (each command exits 0). Exits 1 when any check fails.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
if [ -n "${1:-}" ]; then
  bin_dir=$(cd "$1" && pwd)
else
  . bench/build.sh
  bench_build kestrune kestrune-viewer kestrune-page cedict_dictionary
  bin_dir=$bench_bin
fi
searches=${2:-10000}
popups=${3:-1000}
releases=${4:-50}
limit_mb=${5:-20}
bin=$bin_dir/kestrune
for f in "$bin" "$bin_dir/cedict.ced" "$bin_dir/cedict.idx"; do
  [ -e "$f" ] || { echo "No $f: build first." >&2; exit 1; }
done
for tool in Xvfb trayer xdotool xdpyinfo python3 iconv; do
  command -v "$tool" >/dev/null || { echo "No $tool: run scripts/install-deps.sh." >&2; exit 1; }
done

work=${SOAK_WORK:-$root/bench/work/soak}
rm -rf "$work"
mkdir -p "$work/home" "$work/run"
chmod 700 "$work/run"
home=$work/home
cp -p "$root/data/empty.html" "$root/data/readme.html" "$bin_dir/cedict.ced" \
  "$bin_dir/cedict.idx" "$home/"
# Scanning stays off; the window is released only in part 2.
printf '[Setup]\nReleaseViewMinutes=0\n' >"$home/setup.ini"
# Real words: the simplified headwords of the dictionary, spread over the whole file.
iconv -f UTF-16LE -t UTF-8 "$bin_dir/cedict.ced" | sed 's/^\xef\xbb\xbf//' |
  awk '!/^#/ && NF >= 2 && !seen[$2]++ {print $2}' | tr -d '\r' >"$work/all-words"
total=$(wc -l <"$work/all-words")
need=$((searches + popups + releases))
awk -v n="$need" -v t="$total" 'BEGIN{srand(1)} {w[NR]=$0} END{
  step = t / n; if (step < 1) step = 1
  for (i = 0; i < n; i++) print w[int(i * step) % t + 1]}' "$work/all-words" >"$work/words"
# SOAK_CYCLE=K: the same K words over and over instead (to tell what grows with new words).
if [ -n "${SOAK_CYCLE:-}" ]; then
  head -n "$SOAK_CYCLE" "$work/words" >"$work/cycle"
  for _ in $(seq $((need / SOAK_CYCLE + 1))); do cat "$work/cycle"; done >"$work/words"
fi

export XDG_RUNTIME_DIR=$work/run KESTRUNE_HOME=$home QTWEBENGINE_DISABLE_SANDBOX=1
export KESTRUNE_NO_MESSAGE_BOX=1 KESTRUNE_PAGE_TIMING=1
unset QT_QPA_PLATFORM WAYLAND_DISPLAY QTWEBENGINE_CHROMIUM_FLAGS KESTRUNE_RELEASE_VIEW_MS
n=${SOAK_DISPLAY:-117}
viewer=""
. "$root/tests/support/xdisplay.sh"
start_x_with_tray "${n#:}" 1280x800 || { echo "The tray host did not start." >&2; exit 1; }

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
descendants() { local c; for c in $(pgrep -P "$1"); do echo "$c"; descendants "$c"; done; }
# "PSS_MB VIEWER_MB FDS THREADS CHILDREN FILE_MB LIB_MB" of the viewer and its descendants;
# FILE_MB is the part of the PSS that maps files (the dictionary's data and index, fonts,
# libraries), LIB_MB the part of it of shared libraries (see compare_pss). FDS leaves out
# font files: the page opens a font when a word first needs it (an italic, a rare character),
# as many as there are fonts installed.
figures() {
  local p kb own=0 sum=0 file=0 lib=0 fds=0 threads=0 kids
  kids=$(descendants "$viewer" | wc -l)
  for p in $viewer $(descendants "$viewer"); do
    read -r kb fkb < <(awk '/^Pss:/{t=$2} /^Pss_File:/{f=$2} END{print t+0, f+0}' \
      "/proc/$p/smaps_rollup" 2>/dev/null || echo "0 0")
    lkb=$(awk '/^[0-9a-f]+-[0-9a-f]+ /{so = ($6 ~ /\.so(\.[0-9]+)*$/)} /^Pss:/{if (so) l+=$2}
      END{print l+0}' "/proc/$p/smaps" 2>/dev/null || echo 0)
    sum=$((sum + ${kb:-0}))
    file=$((file + ${fkb:-0}))
    lib=$((lib + ${lkb:-0}))
    [ "$p" = "$viewer" ] && own=${kb:-0}
    fds=$((fds + $(for fd in "/proc/$p/fd/"*; do readlink "$fd"; done 2>/dev/null |
      grep -vicE '\.(ttf|ttc|otf|otc|pfb|pfa|pcf|pcf\.gz)$')))
    threads=$((threads + $(awk '/^Threads:/{print $2}' "/proc/$p/status" 2>/dev/null || echo 0)))
  done
  awk -v s="$sum" -v o="$own" -v f="$fds" -v t="$threads" -v k="$kids" -v fi="$file" \
    -v l="$lib" 'BEGIN{printf "%.1f %.1f %d %d %d %.1f %.1f\n", s/1024, o/1024, f, t, k, fi/1024, l/1024}'
}
# SOAK_MAPS=1: the PSS of each process by mapping (file name or [heap], [anon]...) at every line
# shown, and its open files, in $work/maps/ (to tell what grows).
dump_maps() {  # label
  [ -n "${SOAK_MAPS:-}" ] || return 0
  mkdir -p "$work/maps"
  local p out
  out=$work/maps/$(tr -c 'a-zA-Z0-9' '-' <<<"$1" | tr -s '-' | sed 's/-$//').txt
  for p in $viewer $(descendants "$viewer"); do
    echo "== $p $(tr '\0' ' ' <"/proc/$p/cmdline" 2>/dev/null | cut -c1-60)"
    awk '/^[0-9a-f]+-[0-9a-f]+ /{n=$6; if(n=="") n="[anon]"} /^Pss:/{s[n]+=$2}
      END{for(n in s) if(s[n]>0) printf "%8d %s\n", s[n], n}' "/proc/$p/smaps" 2>/dev/null |
      sort -rn
    echo "-- open files"
    for fd in /proc/$p/fd/*; do readlink "$fd"; done 2>/dev/null | sed 's/[0-9]\+/N/g' | sort |
      uniq -c
  done >"$out"
}
show() {  # label, figures
  dump_maps "$1"
  read -r pss own fds threads kids file lib <<<"$2"
  printf '%-30s PSS %6.1f MB (viewer %5.1f, helpers %5.1f; of files %5.1f, libraries %5.1f), fds %d, threads %d, children %d\n' \
    "$1" "$pss" "$own" "$(awk -v a="$pss" -v b="$own" 'BEGIN{print a-b}')" "$file" "$lib" \
    "$fds" "$threads" "$kids"
}
# The PSS check: figures $2 against the baseline $1 (label $3). The PSS must stay within the
# limit, the change of the libraries' share left out: their pages are the same code whatever the
# viewer does, and their share moves by tens of megabytes as other programs that map them (other
# browser engines) start and end. The whole change and that of mapped files are shown too.
compare_pss() {
  read -r p0 _ _ _ _ m0 l0 <<<"$1"
  read -r p1 _ _ _ _ m1 l1 <<<"$2"
  local grew own
  grew=$(awk -v a="$p0" -v b="$p1" 'BEGIN{printf "%+.1f", b-a}')
  own=$(awk -v a="$p0" -v b="$p1" -v c="$l0" -v d="$l1" 'BEGIN{printf "%+.1f", (b-d)-(a-c)}')
  echo "$3: PSS $own MB since the baseline without the libraries' share (limit $limit_mb MB), of which mapped files $(awk -v a="$m0" -v b="$m1" -v c="$l0" -v d="$l1" 'BEGIN{printf "%+.1f", (b-d)-(a-c)}') MB, the rest $(awk -v a="$p0" -v b="$p1" -v c="$m0" -v d="$m1" 'BEGIN{printf "%+.1f", (b-d)-(a-c)}') MB; the whole PSS $grew MB, the libraries' share $(awk -v a="$l0" -v b="$l1" 'BEGIN{printf "%+.1f", b-a}') MB"
  awk -v g="$own" -v l="$limit_mb" 'BEGIN{exit !(g <= l)}' || fail "$3: PSS grew by $own MB"
}
# compare_pss, and descriptors not more, helper processes the same, threads not more (the
# engine's pools shrink when idle) but for 4.
compare() {
  read -r _ _ f0 t0 k0 _ <<<"$1"
  read -r _ _ f1 t1 k1 _ <<<"$2"
  compare_pss "$1" "$2" "$3"
  echo "$3: fds $f0 -> $f1, threads $t0 -> $t1, children $k0 -> $k1"
  [ "$f1" -le "$f0" ] || fail "$3: open descriptors $f0 -> $f1"
  [ $((t1 - t0)) -le 4 ] || fail "$3: threads $t0 -> $t1"
  [ "$k0" = "$k1" ] || fail "$3: child processes $k0 -> $k1"
}
# Waits until the viewer has nothing left to do: the same figures twice, 1 s apart, after 2 s.
settle() {
  sleep 2
  local a b
  a=$(figures)
  for _ in $(seq 20); do
    sleep 1
    b=$(figures)
    [ "$(cut -d' ' -f3-5 <<<"$a")" = "$(cut -d' ' -f3-5 <<<"$b")" ] && break
    a=$b
  done
  figures
}
log=$work/viewer.log
wait_count() {  # pattern, count, seconds
  for _ in $(seq $(($3 * 10))); do
    [ "$(grep -c -- "$1" "$log" 2>/dev/null || true)" -ge "$2" ] && return 0
    sleep 0.1
  done
  return 1
}
mapfile -t words <"$work/words"
request() {  # command, word
  if ! "$bin" "$1" "$2" 2>>"$work/requests.err"; then
    unanswered=$((unanswered + 1))
  fi
}

echo "== Kestrune soak ($bin_dir), $total words in CC-CEDICT, display $DISPLAY with trayer"
"$bin" 2>"$log" &
viewer=$!
sleep 2
unanswered=0
first_popups=$((popups < 10 ? popups : 10))
[ "$searches" -ge 100 ] || first_popups=0
begin=$(date +%s)
w=0
for i in $(seq "$searches"); do
  request show "${words[w]}"
  w=$((w + 1))
  if [ "$i" -eq 1 ]; then wait_count "page painted" 1 60 || fail "no page after the first show"; fi
  if [ "$i" -eq 100 ]; then
    # The popup's page (a page process of its own) is made at its first use: part of the
    # baseline, like the main window's.
    for _ in $(seq "$first_popups"); do
      request popup "${words[w]}"
      w=$((w + 1))
    done
    base=$(settle)
    show "after 100 searches, $first_popups popups" "$base"
  elif [ $((i % 1000)) -eq 0 ]; then
    show "after $i searches" "$(figures)"
  fi
done
elapsed=$(($(date +%s) - begin))
# Right after the last search, before the engine had a quiet moment to collect by itself.
busy=$(figures)
show "right after $searches searches" "$busy"
after=$(settle)
show "after $searches searches (${elapsed} s)" "$after"
for i in $(seq $((popups - first_popups))); do
  request popup "${words[w]}"
  w=$((w + 1))
  [ $((i % 500)) -eq 0 ] && show "after $i popups" "$(figures)"
done
after=$(settle)
show "after $popups popups in all" "$after"
if [ "$searches" -ge 100 ]; then
  compare_pss "$base" "$busy" "right after the searches"
  compare "$base" "$after" "searches and popups"
fi
[ "$unanswered" -eq 0 ] || fail "$unanswered of $((searches + popups)) requests not answered"
kill -0 "$viewer" 2>/dev/null || fail "the viewer ended"
kill "$viewer"
wait "$viewer" 2>/dev/null || true

# Part 2: releases and fresh starts.
if [ "$releases" -gt 0 ]; then
  log=$work/viewer-release.log
  KESTRUNE_RELEASE_VIEW_MS=2000 "$bin" 2>"$log" &
  viewer=$!
  sleep 2
  unanswered=0
  for i in $(seq "$releases"); do
    request show "${words[w]}"
    w=$((w + 1))
    wait_count "page painted" "$i" 60 || { fail "no page at show $i"; break; }
    window=""
    for _ in $(seq 100); do
      window=$(xdotool search --onlyvisible --name '^Kestrune$' 2>/dev/null | head -1) || true
      [ -n "$window" ] && break
      sleep 0.1
    done
    [ -n "$window" ] || { fail "no window at show $i"; break; }
    python3 "$root/bench/xclose.py" "$window"
    wait_count "started afresh after the page was released" "$i" 60 ||
      { fail "no fresh start after release $i"; break; }
    if [ "$i" -eq 1 ]; then
      rbase=$(settle)
      show "tray-idle after release 1" "$rbase"
    fi
  done
  rafter=$(settle)
  show "tray-idle after release $releases" "$rafter"
  compare "$rbase" "$rafter" "releases"
  [ "$unanswered" -eq 0 ] || fail "$unanswered of $releases requests not answered"
  grep -q "state was lost" "$log" && fail "a fresh start lost the window's state"
  kill -0 "$viewer" 2>/dev/null || fail "the viewer ended"
fi
if [ -s "$work/requests.err" ]; then
  echo "--- what the commands said:"
  sort "$work/requests.err" | uniq -c | head
fi
if [ "$failures" -gt 0 ]; then
  echo "soak: $failures check(s) failed (viewer log: $log)" >&2
  exit 1
fi
echo "soak: ok"
