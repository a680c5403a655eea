#!/usr/bin/env bash
# Times the whole "kestrune lookup --translate-all" process on 20,000 characters of Chinese
# prose (bench/prose.sh; full CC-CEDICT, converted to UTF-16LE and
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

. "$root/bench/build.sh"
bench_build kestrune
bin=$bench_bin/kestrune

ced=$home/cedict.ced
if [ ! -f "$ced" ] || [ "$cedict" -nt "$ced" ] || [ ! -f "$home/cedict.idx" ]; then
  rm -f "$home/cedict.idx"
  iconv -f UTF-8 -t UTF-16LE "$cedict" >"$ced.part"
  mv "$ced.part" "$ced"
  KESTRUNE_HOME=$home "$bin" index "$ced" --name "CC-CEDICT" --words --pinyin >/dev/null 2>&1
fi

# The text: 20,000 characters of real prose.
. "$root/bench/prose.sh"
bench_prose "$home/text.txt" 20000

cat >"$home/peer_tokenize.js" <<'JS'
// Loads the dictionary with chinese-tokenizer, then times tokenizing the text (seconds).
const fs = require('fs');
const tokenizer = require('chinese-tokenizer');
const tokenize = tokenizer.loadFile(process.argv[2]);
const text = fs.readFileSync(process.argv[3], 'utf8');
const c0 = process.cpuUsage();
const t0 = process.hrtime.bigint();
const tokens = tokenize(text);
const t1 = process.hrtime.bigint();
const c1 = process.cpuUsage(c0);
if (!Array.isArray(tokens) || tokens.length === 0) throw new Error('no tokens');
process.stdout.write(String(Number(t1 - t0) / 1e9) + ' ' + tokens.length + ' ' +
                     String((c1.user + c1.system) / 1e6) + '\n');
JS

python3 - "$bin" "$home" "$cedict" "$work" "$runs" <<'PY'
import os, resource, statistics, subprocess, sys, time
bin_, home, cedict, work, runs = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4], int(sys.argv[5])
env = dict(os.environ, KESTRUNE_HOME=home)
text = os.path.join(home, 'text.txt')

def cpu():
    r = resource.getrusage(resource.RUSAGE_CHILDREN)
    return r.ru_utime + r.ru_stime

# The output goes to a file, as when a user redirects it: through a pipe, this script's own
# reading of 12 MB of page would be timed too.
out_path = os.path.join(work, 'lookup.out')

def timed(args, stdin_path=None):
    # The previous run's output is removed before the clock starts (freeing its pages is not
    # the program's work).
    if os.path.exists(out_path):
        os.remove(out_path)
    with open(stdin_path or os.devnull, 'rb') as inp, open(out_path, 'wb') as out:
        c0 = cpu()
        t0 = time.perf_counter()
        p = subprocess.run(args, stdin=inp, stdout=out, stderr=subprocess.PIPE, env=env)
        t = time.perf_counter() - t0
    if p.returncode != 0:
        raise SystemExit('%s failed (%d): %s' % (args, p.returncode, p.stderr.decode()))
    with open(out_path, 'rb') as f:
        return t, cpu() - c0, f.read()

def medians(args, stdin_path=None):
    rs = [timed(args, stdin_path) for _ in range(runs)]
    return statistics.median(r[0] for r in rs), statistics.median(r[1] for r in rs)

seg_plain, seg_plain_cpu = medians([bin_, 'lookup', '--translate-all', '-'], text)
seg_html, seg_html_cpu = medians([bin_, 'lookup', '--translate-all', '--html', '-'], text)
one, one_cpu = medians([bin_, 'lookup', '中国'])
out = timed([bin_, 'lookup', '--translate-all', '-'], text)[2].decode()

peer = []
peer_cpu = []
tokens = 0
for _ in range(runs):
    p = subprocess.run(['node', os.path.join(home, 'peer_tokenize.js'), cedict, text],
                       stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                       env=dict(os.environ, NODE_PATH=os.path.join(work, 'node_modules')))
    if p.returncode != 0:
        raise SystemExit('peer failed: ' + p.stderr.decode())
    secs, tokens, cpu_secs = p.stdout.decode().split()
    peer.append(float(secs))
    peer_cpu.append(float(cpu_secs))
peer_med = statistics.median(peer)
peer_cpu_med = statistics.median(peer_cpu)

print('text: 20000 code units; kestrune output %d lines; peer tokens %s' % (out.count('\n'), tokens))
print('medians of %d runs, wall time (CPU time)' % runs)
print('kestrune lookup --translate-all, whole process, plain: %7.1f ms (%6.1f ms)' % (seg_plain * 1e3, seg_plain_cpu * 1e3))
print('kestrune lookup --translate-all --html, whole process:  %7.1f ms (%6.1f ms)' % (seg_html * 1e3, seg_html_cpu * 1e3))
print('chinese-tokenizer tokenize, load excluded:             %7.1f ms (%6.1f ms)' % (peer_med * 1e3, peer_cpu_med * 1e3))
print('ratio kestrune/peer (target <= 1): plain %.2f (CPU %.2f), html %.2f (CPU %.2f)' % (
    seg_plain / peer_med, seg_plain_cpu / peer_cpu_med, seg_html / peer_med, seg_html_cpu / peer_cpu_med))
print('ratio --html/plain (target <= 1.2): %.2f (CPU %.2f)' % (seg_html / seg_plain, seg_html_cpu / seg_plain_cpu))
print('kestrune lookup 中国, whole process:                    %7.1f ms (%6.1f ms) (target < 50 ms)' % (one * 1e3, one_cpu * 1e3))
PY
