#!/usr/bin/env bash
# Times "kestrune say --wav FILE PINYIN" (the whole process: the text brought to the voice,
# espeak-ng run, the WAV file replaced) against a bare "espeak-ng -v cmn-latn-pinyin -w FILE
# PINYIN" on the same pinyin, interleaved in the same run, and a headword ("kestrune say --wav
# FILE 银行", which looks it up in the full CC-CEDICT first). Reports medians and the ratio.
#
# Usage: bench/say_bench.sh [RUNS (default 21)]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
work=$root/bench/work/say
runs=${1:-21}
mkdir -p "$work"

. "$root/bench/build.sh"
bench_build kestrune cedict_dictionary
bin=$bench_bin/kestrune
command -v espeak-ng >/dev/null || { echo "espeak-ng is missing (scripts/install-deps.sh)" >&2; exit 1; }

python3 - "$bin" "$work" "$runs" <<'PY'
import os, statistics, subprocess, sys, time
bin, work, runs = sys.argv[1], sys.argv[2], int(sys.argv[3])
home = os.path.dirname(bin)
env = dict(os.environ, KESTRUNE_HOME=home)
texts = ["ni3", "zhong1 guo2", "zhong1 hua2 ren2 min2 gong4 he2 guo2"]

def timed(cmd):
    t0 = time.perf_counter()
    subprocess.run(cmd, check=True, env=env, stdout=subprocess.DEVNULL)
    return time.perf_counter() - t0

print(f"{'pinyin':40} {'espeak-ng ms':>13} {'say ms':>8} {'ratio':>6}")
for text in texts:
    bare, say = [], []
    for _ in range(runs):
        bare.append(timed(["espeak-ng", "-v", "cmn-latn-pinyin", "-w", f"{work}/bare.wav", text]))
        say.append(timed([bin, "say", "--wav", f"{work}/say.wav", text]))
    b, s = statistics.median(bare), statistics.median(say)
    print(f"{text:40} {b*1000:13.1f} {s*1000:8.1f} {s/b:6.2f}")
head = []
for _ in range(runs):
    head.append(timed([bin, "say", "--wav", f"{work}/head.wav", "银行"]))
print(f"{'银行 (headword, looked up first)':40} {'':13} {statistics.median(head)*1000:8.1f}")
PY
