#!/usr/bin/env bash
# Old against new: the shipped programs of this tree (built as the README builds them, see
# bench/build.sh) against those of an older build, in one run on the same machine, with the
# full CC-CEDICT dictionary:
#   - "kestrune lookup 中国", whole process: wall time and peak resident memory; also against
#     the same command from a build of this tree without the viewer (the Qt-free baseline)
#   - "kestrune lookup --translate-all -" on a 20,000-character text, whole process
#   - "kestrune index cedict.ced --pinyin" (wall time, peak memory)
#   - "kestrune dsl" on a generated DSL source
#   - viewer start-up until the first page is shown (KESTRUNE_EXIT_WHEN_IDLE)
# The variants run interleaved, repetition by repetition, so that load on the machine
# touches them alike. Reports medians and the ratio new/old.
#
# Usage: bench/compare.sh OLD_BUILD_DIR [RUNS (default 5)] [DSL_MEGABYTES (default 20)]
#   OLD_BUILD_DIR holds bin/kestrune of the older tree, for example built with
#   git worktree add ../old <commit> && cmake -S ../old -B ../old/build-bench -G Ninja \
#     -DCMAKE_BUILD_TYPE=RelWithDebInfo && cmake --build ../old/build-bench --target kestrune
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
old=$(cd "${1:?usage: bench/compare.sh OLD_BUILD_DIR [RUNS] [DSL_MB]}" && pwd)/bin
runs=${2:-5}
dsl_mb=${3:-20}
work=$root/bench/work/compare
cedict=${CEDICT:-$root/../shared/data/cedict_ts.u8}
mkdir -p "$work"

. "$root/bench/build.sh"
bench_build kestrune kestrune-viewer
new=$bench_bin
# The baseline of the lookup target only: the same tree built without the viewer.
core=$root/build-bench-core
cmake -S "$root" -B "$core" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTRUNE_GUI=OFF \
  >/dev/null
cmake --build "$core" --target kestrune >/dev/null

if [ ! -f "$work/cedict.ced" ] || [ "$cedict" -nt "$work/cedict.ced" ]; then
  iconv -f UTF-8 -t UTF-16LE "$cedict" >"$work/cedict.ced.part"
  mv "$work/cedict.ced.part" "$work/cedict.ced"
fi
. "$root/bench/prose.sh"
[ -f "$work/text.txt" ] || bench_prose "$work/text.txt" 20000
src=$work/dsl-source.dsl
if [ ! -f "$src" ] || [ "$(stat -c %s "$src")" -lt $((dsl_mb * 1024 * 1024)) ]; then
  python3 "$root/bench/dsl_gen.py" "$cedict" "$src" "$dsl_mb"
fi

python3 - "$old/kestrune" "$new/kestrune" "$core/bin/kestrune" "$work" "$runs" "$root/data" <<'PY'
import os, re, shutil, statistics, subprocess, sys, time

old, new, core, work, runs, data = sys.argv[1:4] + [sys.argv[4], int(sys.argv[5]), sys.argv[6]]
variants = {"old": old, "new": new, "core": core}
base_env = dict(os.environ, KESTRUNE_NO_MESSAGE_BOX="1", QTWEBENGINE_DISABLE_SANDBOX="1")
for k in ("DISPLAY", "WAYLAND_DISPLAY"):
    base_env.pop(k, None)
base_env.setdefault("QT_QPA_PLATFORM", "offscreen")
base_env.setdefault("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu")
rss_file = os.path.join(work, "rss")
err_file = os.path.join(work, "stderr")

def home(name):
    """The program folder of a variant: the page files and the dictionary."""
    h = os.path.join(work, "home-" + name)
    os.makedirs(h, exist_ok=True)
    for f in ("empty.html", "readme.html"):
        shutil.copy2(os.path.join(data, f), h)
    ced = os.path.join(h, "cedict.ced")
    if not os.path.exists(ced):
        os.link(os.path.join(work, "cedict.ced"), ced)
    return h

def run(name, args, stdin=None, check=True, extra_env=None, peak=False):
    """Wall time (s), processor time (user + system, s) and stderr of one run; with peak=True
    the peak RSS (KiB) instead of the processor time, from GNU time (whose child starts small;
    it is not used for the times, as it adds a process)."""
    env = dict(base_env, KESTRUNE_HOME=home(name), **(extra_env or {}))
    cmd = [variants[name]] + args
    if peak:
        cmd = ["/usr/bin/time", "-f", "%M", "-o", rss_file] + cmd
    with open(stdin or os.devnull, "rb") as inp, open(err_file, "wb") as err:
        t0 = time.perf_counter()
        p = subprocess.Popen(cmd, stdin=inp, stdout=subprocess.DEVNULL, stderr=err, env=env)
        _, status, usage = os.wait4(p.pid, 0)
        wall = time.perf_counter() - t0
    with open(err_file, "rb") as f:
        err_text = f.read().decode(errors="replace")
    if check and os.waitstatus_to_exitcode(status) != 0:
        sys.exit("%s %s failed: %s" % (name, args, err_text))
    if peak:
        with open(rss_file) as f:
            return wall, int(f.read().split()[-1]), err_text
    return wall, usage.ru_utime + usage.ru_stime, err_text

results = {}
def note(key, name, value):
    results.setdefault(key, {}).setdefault(name, []).append(value)

def index(name):
    idx = os.path.join(home(name), "cedict.idx")
    if os.path.exists(idx):
        os.remove(idx)
    w, r, _ = run(name, ["index", os.path.join(home(name), "cedict.ced"), "--name", "CC-CEDICT",
                         "--pinyin"], peak=True)
    note("index --pinyin (s)", name, w)
    note("index peak RSS (MB)", name, r / 1024)

lookups = 5  # "lookup 中国" runs per round: short, so more of them
text = os.path.join(work, "text.txt")
dsl = os.path.join(work, "dsl-source.dsl")
for i in range(runs):
    for name in ("old", "new", "core"):
        index(name)
    for name in ("old", "new"):
        w, _, _ = run(name, ["dsl", dsl])
        note("dsl %.0f MB (s)" % (os.path.getsize(dsl) / 1e6), name, w)
    for _ in range(lookups):
        for name in ("old", "new", "core"):
            w, c, _ = run(name, ["lookup", "中国"])
            note("lookup 中国 (ms)", name, w * 1e3)
            note("lookup 中国 CPU (ms)", name, c * 1e3)
    for name in ("old", "new", "core"):
        note("lookup 中国 peak RSS (MB)", name, run(name, ["lookup", "中国"], peak=True)[1] / 1024)
    for name in ("old", "new", "core"):
        w, c, _ = run(name, ["lookup", "--translate-all", "-"], stdin=text)
        note("lookup --translate-all 20k (ms)", name, w * 1e3)
        note("lookup --translate-all 20k CPU (ms)", name, c * 1e3)
    for name in ("old", "new"):
        w, _, err = run(name, [], check=False, extra_env={"KESTRUNE_EXIT_WHEN_IDLE": "1"})
        m = re.search(r"first page shown (\d+) ms", err)
        if not m:
            sys.exit("%s viewer: no start-up time: %s" % (name, err))
        note("viewer first page (ms)", name, float(m.group(1)))
        note("viewer process (ms)", name, w * 1e3)

print("medians of %d runs (lookup 中国: %d), load average at the end: %s"
      % (runs, runs * lookups, " ".join("%.2f" % x for x in os.getloadavg())))
print("| measure | old | new | new/old | Qt-free build | new/Qt-free |")
print("|---|---|---|---|---|---|")
for key, per in results.items():
    m = {n: statistics.median(v) for n, v in per.items()}
    row = "| %s | %.1f | %.1f | %.2f |" % (key, m["old"], m["new"], m["new"] / m["old"])
    row += (" %.1f | %.2f |" % (m["core"], m["new"] / m["core"])) if "core" in m else " | |"
    print(row)
PY
