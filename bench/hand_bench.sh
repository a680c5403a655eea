#!/usr/bin/env bash
# Handwriting recognition: first-choice and top-ten accuracy and the time per guess on the 500
# characters of bench/hand_chars.txt, drawn from stroke data of the npm package
# hanzi-writer-data 2.0.1 (derived from Make Me a Hanzi; Arphic Public License; fetched into
# bench/work/, never committed): each stroke's median line, y turned to point down. Every
# character as drawn, with one stroke reversed and with two neighbouring strokes swapped, with
# the stroke-order tries and without them (the recognizer alone, the baseline), first with
# the pad's time budget of 20 ms, then without a budget (what the tries can reach on an idle
# machine). Then the whole `kestrune write` process on one stored drawing.
#
# Usage: bench/hand_bench.sh
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
work=$root/bench/work
mkdir -p "$work"

if ! command -v npm >/dev/null; then
  echo "Installing npm" >&2
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq && apt-get install -y -qq --no-install-recommends nodejs npm >/dev/null
fi
data=$work/hanzi-writer-data
if [ ! -f "$data/package/package.json" ]; then
  mkdir -p "$data"
  (cd "$data" && npm pack --silent hanzi-writer-data@2.0.1 >/dev/null &&
     tar xzf hanzi-writer-data-2.0.1.tgz)
fi
strokes=$work/hand_strokes.json
python3 - "$data/package" "$root/bench/hand_chars.txt" "$strokes" <<'PY'
import json, os, sys
folder, chars, out = sys.argv[1:]
drawings = {}
for ch in open(chars, encoding="utf-8").read().strip():
    path = os.path.join(folder, ch + ".json")
    if os.path.exists(path):
        # Make Me a Hanzi's square is 1024 units with y pointing up from a baseline at 900.
        medians = json.load(open(path, encoding="utf-8"))["medians"]
        drawings[ch] = [[[x, 900 - y] for x, y in stroke] for stroke in medians]
json.dump(drawings, open(out, "w", encoding="utf-8"), ensure_ascii=False)
PY

. "$root/bench/build.sh"
bench_build hand_bench kestrune
echo "== with the time budget of the pad and of kestrune write"
"$bench_bin/hand_bench" "$strokes" "$root/bench/hand_chars.txt"
echo "== without a time budget"
"$bench_bin/hand_bench" "$strokes" "$root/bench/hand_chars.txt" --budget-ms 100000

echo "== kestrune write tests/data/hand/xue.json, whole process (median of 11)"
python3 - "$bench_bin/kestrune" "$root/tests/data/hand/xue.json" <<'PY'
import statistics, subprocess, sys, time
times = []
for _ in range(11):
    t = time.perf_counter()
    subprocess.run([sys.argv[1], "write", sys.argv[2]], check=True, stdout=subprocess.DEVNULL)
    times.append((time.perf_counter() - t) * 1000)
print("%.1f ms" % statistics.median(times))
PY
