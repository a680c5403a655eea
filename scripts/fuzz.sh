#!/usr/bin/env bash
# Builds every libFuzzer target with clang (ASan and UBSan on) into build-fuzz/ and runs each
# for SECONDS seconds, starting from its committed seeds and past findings
# (fuzz/corpus/<target>/, fuzz/regressions/<target>/; what the run
# finds goes to build-fuzz/corpus/<target>/ and never into the tree). Exits non-zero when any
# target crashes, leaks, times out or runs out of memory; the reproducer is kept in
# build-fuzz/findings/<target>/ and named in the output.
#
# Usage: scripts/fuzz.sh [SECONDS (default 60)] [TARGET...]
# KESTRUNE_FUZZ_SEED=N makes the runs repeatable (CI sets it); without it every run explores
# afresh.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

seconds=${1:-60}
shift || true
jobs=$(nproc 2>/dev/null || echo 2)
build=build-fuzz

CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKESTRUNE_FUZZ=ON -DKESTRUNE_GUI=OFF -DKESTRUNE_TESTS=OFF -DKESTRUNE_BENCH=OFF >/dev/null
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  mapfile -t targets < <(sed -n '/^set(KESTRUNE_FUZZ_TARGETS/,/^)/p' fuzz/CMakeLists.txt |
    grep -E '^\s+fuzz_' | tr -d ' ')
fi
cmake --build "$build" -j "$jobs" --target "${targets[@]}"

status=0
for t in "${targets[@]}"; do
  corpus=$build/corpus/$t
  findings=$build/findings/$t
  mkdir -p "$corpus" "$findings"
  inputs=(fuzz/corpus/"$t")
  [ -d fuzz/regressions/"$t" ] && inputs+=(fuzz/regressions/"$t")
  log=$build/findings/$t.log
  echo "== $t: ${seconds}s" >&2
  if ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 \
     UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
     "$build/fuzz/$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
       -malloc_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$findings/" \
       ${KESTRUNE_FUZZ_SEED:+-seed=$KESTRUNE_FUZZ_SEED} \
       "$corpus" "${inputs[@]}" >"$log" 2>&1; then
    grep -E '^stat::number_of_executed_units|^stat::peak_rss_mb|cov: ' "$log" | tail -n 3 >&2
  else
    status=1
    echo "FAILED: $t (log: $log)" >&2
    grep -E 'ERROR|SUMMARY|Test unit written|runtime error' "$log" | head -n 20 >&2
  fi
done
exit $status
