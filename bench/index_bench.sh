#!/usr/bin/env bash
# Times "kestrune index" on the full CC-CEDICT dictionary (converted to UTF-16LE), with the
# default options and with --pinyin, against loading the same dictionary (the UTF-8 file)
# with the npm package chinese-tokenizer, and reports the medians, their ratio and the
# peak resident memory of the builder.
#
# Usage: bench/index_bench.sh [RUNS (default 7)]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
work=$root/bench/work
scratch=$work/index
cedict=${CEDICT:-$root/../shared/data/cedict_ts.u8}
runs=${1:-7}
mkdir -p "$scratch"

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

ced=$scratch/cedict.ced
if [ ! -f "$ced" ] || [ "$cedict" -nt "$ced" ]; then
  iconv -f UTF-8 -t UTF-16LE "$cedict" >"$ced.part"
  mv "$ced.part" "$ced"
fi

cat >"$scratch/peer_load.js" <<'JS'
// Loads the dictionary with chinese-tokenizer and prints the load time in seconds.
const path = process.argv[2];
const tokenizer = require('chinese-tokenizer');
const t0 = process.hrtime.bigint();
const tokenize = tokenizer.loadFile(path);
const t1 = process.hrtime.bigint();
if (typeof tokenize !== 'function') throw new Error('loadFile returned no tokenizer');
process.stdout.write(String(Number(t1 - t0) / 1e9) + '\n');
JS

python3 - "$bench_bin/kestrune" "$ced" "$cedict" "$work" "$scratch" "$runs" <<'PY'
import os, statistics, subprocess, sys, time

exe, ced, u8, work, scratch, runs = sys.argv[1:6] + [int(sys.argv[6])]
idx = os.path.splitext(ced)[0] + ".idx"
env = dict(os.environ, NODE_PATH=os.path.join(work, "node_modules"))
for k in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"):
    env.pop(k, None)

cpu = {}  # CPU seconds per kind of run, which a busy machine disturbs less than wall time

def measure(cmd):
    """Wall time, peak RSS (KiB), stdout and CPU time (user + system) of one run."""
    start = time.perf_counter()
    p = subprocess.Popen(cmd, stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=env)
    out = p.stdout.read()
    err = p.stderr.read()
    _, status, usage = os.wait4(p.pid, 0)
    wall = time.perf_counter() - start
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit("failed: %s: %s" % (" ".join(cmd), err.decode(errors="replace")))
    cpu.setdefault(cmd[0] if cmd[0] != exe else " ".join(cmd[1:2] + cmd[3:]), []).append(
        usage.ru_utime + usage.ru_stime)
    return wall, usage.ru_maxrss, out

def build(extra):
    if os.path.exists(idx):
        os.remove(idx)
    return measure([exe, "index", ced] + extra)

default, pinyin, rss_default, rss_pinyin, peer_load, peer_wall, peer_rss = [], [], [], [], [], [], []
for i in range(runs):
    w, r, _ = build([])
    default.append(w); rss_default.append(r)
    size_default = os.path.getsize(idx)
    w, r, _ = build(["--pinyin"])
    pinyin.append(w); rss_pinyin.append(r)
    size_pinyin = os.path.getsize(idx)
    w, r, out = measure(["node", os.path.join(scratch, "peer_load.js"), u8])
    peer_load.append(float(out.decode().strip())); peer_wall.append(w); peer_rss.append(r)

def row(name, xs):
    return "%-34s median %.3f s  (runs: %s)" % (name, statistics.median(xs),
                                                " ".join("%.3f" % x for x in xs))

md, mp, ml = statistics.median(default), statistics.median(pinyin), statistics.median(peer_load)
print("data: %s (%.1f MB UTF-16LE), index %.1f MB (default) / %.1f MB (--pinyin)"
      % (ced, os.path.getsize(ced) / 1e6, size_default / 1e6, size_pinyin / 1e6))
print(row("kestrune index (default options)", default))
print(row("kestrune index --pinyin", pinyin))
print(row("chinese-tokenizer loadFile (in node)", peer_load))
print(row("node process incl. loadFile", peer_wall))
print("CPU time (user + system), medians: kestrune index %.3f s, --pinyin %.3f s, "
      "node process %.3f s"
      % (statistics.median(cpu["index"]), statistics.median(cpu["index --pinyin"]),
         statistics.median(cpu["node"])))
print("ratio default build / peer load:  %.2f (target <= 0.33)" % (md / ml))
print("ratio --pinyin build / peer load: %.2f" % (mp / ml))
print("peak RSS: kestrune default %.1f MB, --pinyin %.1f MB (target < 150 MB); node %.1f MB"
      % (max(rss_default) / 1024, max(rss_pinyin) / 1024, max(peer_rss) / 1024))
PY
