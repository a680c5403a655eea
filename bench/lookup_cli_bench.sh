#!/usr/bin/env bash
# Times the whole "kestrune lookup --translate-all" process on a 20,000-character Chinese
# text made of the dictionary's own headwords (full CC-CEDICT, converted to UTF-16LE and
# indexed with translation words and pinyin), against the npm package chinese-tokenizer
# tokenizing the same text with the same dictionary (its load time excluded), and times
# "kestrune lookup 中国". Reports medians and ratios.
#
# Usage: bench/lookup_cli_bench.sh [RUNS (default 7)]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
work=$root/bench/work
home=$work/lookupcli
build=$root/build-bench-lookupcli
cedict=${CEDICT:-$root/../shared/data/cedict_ts.u8}
runs=${1:-7}
mkdir -p "$home"

if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
  echo "Installing node and npm" >&2
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq && apt-get install -y -qq --no-install-recommends nodejs npm >/dev/null
fi
if [ ! -f "$work/node_modules/chinese-tokenizer/package.json" ]; then
  npm install --prefix "$work" --no-save --no-audit --no-fund --loglevel=error \
    chinese-tokenizer@2.4.0 >/dev/null
fi

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKESTRUNE_GUI=OFF \
  -DKESTRUNE_TESTS=OFF -DKESTRUNE_BENCH=OFF >/dev/null
ninja -C "$build" kestrune >/dev/null
bin=$build/bin/kestrune

ced=$home/cedict.ced
if [ ! -f "$ced" ] || [ "$cedict" -nt "$ced" ] || [ ! -f "$home/cedict.idx" ]; then
  rm -f "$home/cedict.idx"
  iconv -f UTF-8 -t UTF-16LE "$cedict" >"$ced.part"
  mv "$ced.part" "$ced"
  KESTRUNE_HOME=$home "$bin" index "$ced" --name "CC-CEDICT" --words --pinyin >/dev/null 2>&1
fi

# The text: headwords of the dictionary (simplified forms, every code unit at or above
# U+3400), drawn with a fixed seed until 20,000 UTF-16 code units.
python3 - "$cedict" "$home/text.txt" <<'PY'
import random, sys
words = []
for line in open(sys.argv[1], encoding='utf-8'):
    if line.startswith('#'):
        continue
    parts = line.split(' ', 2)
    if len(parts) < 3:
        continue
    w = parts[1]
    if w and all(0x3400 <= ord(c) <= 0xFFFF for c in w):
        words.append(w)
rng = random.Random(20261209)
out, n = [], 0
while n < 20000:
    w = rng.choice(words)
    w = w[:20000 - n]
    out.append(w)
    n += len(w)
open(sys.argv[2], 'w', encoding='utf-8').write(''.join(out))
PY

cat >"$home/peer_tokenize.js" <<'JS'
// Loads the dictionary with chinese-tokenizer, then times tokenizing the text (seconds).
const fs = require('fs');
const tokenizer = require('chinese-tokenizer');
const tokenize = tokenizer.loadFile(process.argv[2]);
const text = fs.readFileSync(process.argv[3], 'utf8');
const t0 = process.hrtime.bigint();
const tokens = tokenize(text);
const t1 = process.hrtime.bigint();
if (!Array.isArray(tokens) || tokens.length === 0) throw new Error('no tokens');
process.stdout.write(String(Number(t1 - t0) / 1e9) + ' ' + tokens.length + '\n');
JS

python3 - "$bin" "$home" "$cedict" "$work" "$runs" <<'PY'
import os, statistics, subprocess, sys, time
bin_, home, cedict, work, runs = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4], int(sys.argv[5])
env = dict(os.environ, KESTRUNE_HOME=home)
text = os.path.join(home, 'text.txt')

def timed(args, stdin_path=None):
    t0 = time.perf_counter()
    with open(stdin_path or os.devnull, 'rb') as inp:
        p = subprocess.run(args, stdin=inp, stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=env)
    t = time.perf_counter() - t0
    if p.returncode != 0:
        raise SystemExit('%s failed (%d): %s' % (args, p.returncode, p.stderr.decode()))
    return t, p.stdout

def median_of(fn):
    return statistics.median(fn() for _ in range(runs))

seg_plain = median_of(lambda: timed([bin_, 'lookup', '--translate-all', '-'], text)[0])
seg_html = median_of(lambda: timed([bin_, 'lookup', '--translate-all', '--html', '-'], text)[0])
one = median_of(lambda: timed([bin_, 'lookup', '中国'])[0])
out = timed([bin_, 'lookup', '--translate-all', '-'], text)[1].decode()

peer = []
tokens = 0
for _ in range(runs):
    p = subprocess.run(['node', os.path.join(home, 'peer_tokenize.js'), cedict, text],
                       stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                       env=dict(os.environ, NODE_PATH=os.path.join(work, 'node_modules')))
    if p.returncode != 0:
        raise SystemExit('peer failed: ' + p.stderr.decode())
    secs, tokens = p.stdout.decode().split()
    peer.append(float(secs))
peer_med = statistics.median(peer)

print('text: 20000 code units; kestrune output %d lines; peer tokens %s' % (out.count('\n'), tokens))
print('kestrune lookup --translate-all (whole process, plain): %8.1f ms' % (seg_plain * 1e3))
print('kestrune lookup --translate-all --html (whole process):  %8.1f ms' % (seg_html * 1e3))
print('chinese-tokenizer tokenize (load excluded):            %8.1f ms' % (peer_med * 1e3))
print('ratio kestrune/peer: plain %.2f, html %.2f (target <= 1)' % (seg_plain / peer_med, seg_html / peer_med))
print('kestrune lookup 中国 (whole process):                    %8.1f ms (target < 50 ms)' % (one * 1e3))
PY
