#!/usr/bin/env bash
# Times "kestrune dsl" on a large DSL source made from the CEDICT dictionary, against
# "iconv -f UTF-16LE -t UTF-8" of the same file as the baseline, and reports the medians,
# their ratio and the peak resident memory of the converter.
#
# Usage: bench/dsl_bench.sh [MIN_MEGABYTES (default 100)] [RUNS (default 5)]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
work=$root/bench/work
cedict=${CEDICT:-$root/../shared/data/cedict_ts.u8}
size_mb=${1:-100}
runs=${2:-5}
mkdir -p "$work/dsl-home"

. "$root/bench/build.sh"
bench_build kestrune

src=$work/dsl-bench.dsl
if [ ! -f "$src" ] || [ "$(stat -c %s "$src")" -lt $((size_mb * 1024 * 1024)) ]; then
  python3 "$root/bench/dsl_gen.py" "$cedict" "$src" "$size_mb"
fi

python3 - "$bench_bin/kestrune" "$src" "$work" "$runs" <<'PY'
import os, resource, statistics, subprocess, sys, time

exe, src, work, runs = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
env = dict(os.environ, KESTRUNE_HOME=os.path.join(work, "dsl-home"))
for k in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"):
    env.pop(k, None)

rss_file = os.path.join(work, "dsl-bench.rss")

def measure(cmd, stdout):
    """Wall time, processor time (user + system) and peak RSS (KiB) of one run. The peak RSS
    comes from GNU time, whose child starts small (a fork of this script would not)."""
    start = time.perf_counter()
    with open(stdout, "wb") as out:
        p = subprocess.Popen(["/usr/bin/time", "-f", "%M", "-o", rss_file] + cmd, stdout=out,
                             stderr=subprocess.PIPE, env=env)
        _, status, usage = os.wait4(p.pid, 0)
    wall = time.perf_counter() - start
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit("failed: %s: %s" % (" ".join(cmd), p.stderr.read().decode()))
    with open(rss_file) as f:
        rss = int(f.read().split()[-1])
    return wall, usage.ru_utime + usage.ru_stime, rss

conv, base, conv_cpu, base_cpu, rss = [], [], [], [], []
for i in range(runs):
    w, c, r = measure([exe, "dsl", src], os.devnull)
    conv.append(w); conv_cpu.append(c); rss.append(r)
    w, c, _ = measure(["iconv", "-f", "UTF-16LE", "-t", "UTF-8", src],
                      os.path.join(work, "dsl-bench.u8"))
    base.append(w); base_cpu.append(c)

size = os.path.getsize(src)
out = os.path.splitext(src)[0] + ".ced"
with open(os.path.join(work, "dsl-home", "convertlog.txt"), "rb") as f:
    log = f.read().decode("utf-16-le")
count = [l for l in log.splitlines() if l.startswith("words/terms count:")]
mc, mb = statistics.median(conv), statistics.median(base)
print("input: %s (%.1f MB), output %.1f MB, %s" % (src, size / 1e6, os.path.getsize(out) / 1e6,
                                                  count[0] if count else "no count"))
print("kestrune dsl  median %.3f s  (runs: %s)" % (mc, " ".join("%.3f" % x for x in conv)))
print("iconv         median %.3f s  (runs: %s)" % (mb, " ".join("%.3f" % x for x in base)))
print("ratio kestrune/iconv: %.2fx (target <= 3x)" % (mc / mb))
cc, cb = statistics.median(conv_cpu), statistics.median(base_cpu)
print("processor time (user+sys) medians: kestrune %.3f s, iconv %.3f s, ratio %.2fx"
      % (cc, cb, cc / cb))
print("load average at the end: %s" % " ".join("%.2f" % x for x in os.getloadavg()))
print("peak RSS of kestrune dsl: %.1f MB (target < 50 MB)" % (max(rss) / 1024))
PY
