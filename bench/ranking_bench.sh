#!/usr/bin/env bash
# English lookups on the full CC-CEDICT, an older build against this tree in one run: the
# position of the expected word among the entries `kestrune lookup --json WORD` lists for ten
# common English words (1 = the first entry; "-" = not found), and the import of the
# dictionary (`kestrune import`, which builds the index the bundled dictionary ships with):
# the index size and the median CPU time of RUNS imports; and the CPU time of the lookup
# with the most entries of the ten (water: 566), ranked and not.
#
# Usage: bench/ranking_bench.sh OLD_BIN_DIR [NEW_BIN_DIR (default: build-bench/bin)] [RUNS (5)]
# The two folders hold the `kestrune` binaries; each imports into a scratch program folder of
# its own under bench/work/ranking.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
old=${1:?usage: bench/ranking_bench.sh OLD_BIN_DIR [NEW_BIN_DIR] [RUNS]}
new=${2:-}
runs=${3:-5}
cedict=${CEDICT:-$root/../shared/data/cedict_ts.u8}
work=$root/bench/work/ranking
if [ -z "$new" ]; then
  . "$root/bench/build.sh"
  bench_build kestrune
  new=$root/build-bench/bin
fi
mkdir -p "$work"

# One import into $work/$1 with $2/kestrune; prints its CPU time (user + system) in seconds:
# CPU time, not wall time, so that the load of a shared machine does not decide.
import_once() {
  /usr/bin/time -f "%U + %S" -o "$work/time" env KESTRUNE_NO_MESSAGE_BOX=1 \
    KESTRUNE_HOME="$work/$1" "$2/kestrune" import "$cedict" --name CC-CEDICT --replace \
    >/dev/null 2>&1
  bc -l <"$work/time"
}
median() { sort -n | sed -n "$(((runs + 1) / 2))p"; }

for name in old new; do
  mkdir -p "$work/$name"
  cp "$root/data/empty.html" "$work/$name/"
done
# The two builds alternate, so that both meet the same load.
old_times=() new_times=()
for _ in $(seq "$runs"); do
  old_times+=("$(import_once old "$old")")
  new_times+=("$(import_once new "$new")")
done
old_time=$(printf '%s\n' "${old_times[@]}" | median)
new_time=$(printf '%s\n' "${new_times[@]}" | median)
old_size=$(stat -c %s "$work/old/cedict_ts.idx")
new_size=$(stat -c %s "$work/new/cedict_ts.idx")

python3 - "$old" "$new" "$work" "$old_time" "$new_time" "$old_size" "$new_size" <<'PY'
import json, os, subprocess, sys
old, new, work, old_t, new_t, old_s, new_s = sys.argv[1:]
# The word and the simplified forms that answer it.
words = [("computer", ["电脑", "计算机"]), ("water", ["水"]), ("money", ["钱"]),
         ("dog", ["狗"]), ("eat", ["吃"]), ("car", ["汽车", "车"]), ("cat", ["猫"]),
         ("door", ["门"]), ("book", ["书"]), ("tea", ["茶"])]

def position(bin_dir, home, word, wanted):
    env = dict(os.environ, KESTRUNE_HOME=home)
    out = subprocess.run([os.path.join(bin_dir, "kestrune"), "lookup", "--json", word],
                         env=env, capture_output=True, text=True).stdout
    if not out.strip():
        return None, 0
    entries = [e for d in json.loads(out)["dictionaries"] for p in d["pieces"]
               for e in p["entries"]]
    for i, e in enumerate(entries, 1):
        if e["simplified"] in wanted:
            return i, len(entries)
    return None, len(entries)

print("| word | expected | before: position of entries | after: position of entries |")
print("|---|---|---|---|")
for word, wanted in words:
    cells = []
    for bin_dir, home in ((old, work + "/old"), (new, work + "/new")):
        pos, n = position(bin_dir, home, word, wanted)
        cells.append(("%d of %d" % (pos, n)) if pos else ("not found (%d entries)" % n))
    print("| %s | %s | %s | %s |" % (word, " or ".join(wanted), cells[0], cells[1]))

# The CPU time (user + system) of the whole `lookup --json water` process (the most entries of
# the ten), median of 21: CPU time, not wall time, so that the load of a shared machine does
# not decide; the new build ranked and with --no-best-first.
def lookup_cpu(bin_dir, home, flags):
    env = dict(os.environ, KESTRUNE_HOME=home)
    times = []
    for _ in range(21):
        p = subprocess.Popen([os.path.join(bin_dir, "kestrune"), "lookup", "--json"] + flags +
                             ["water"], env=env, stdout=subprocess.DEVNULL,
                             stderr=subprocess.DEVNULL)
        _, _, usage = os.wait4(p.pid, 0)
        times.append(usage.ru_utime + usage.ru_stime)
    return sorted(times)[10]
t_old = lookup_cpu(old, work + "/old", [])
t_off = lookup_cpu(new, work + "/new", ["--no-best-first"])
t_new = lookup_cpu(new, work + "/new", [])
print()
print("| `lookup --json water`, CPU time (median of 21) | before | after, `--no-best-first` | after | ratio after/before |")
print("|---|---|---|---|---|")
print("| | %.1f ms | %.1f ms | %.1f ms | %.2f |" %
      (t_old * 1000, t_off * 1000, t_new * 1000, t_new / t_old))
print()
print("| bundled index | before | after | ratio |")
print("|---|---|---|---|")
print("| size | %s bytes | %s bytes | %.3f |" % (old_s, new_s, int(new_s) / int(old_s)))
print("| import, CPU time (median) | %.2f s | %.2f s | %.2f |" % (float(old_t), float(new_t),
                                                        float(new_t) / float(old_t)))
PY
