#!/usr/bin/env bash
# Prepares CC-CEDICT twice over as one UTF-16LE file (bench/work/duplicates/twice.ced) and
# times the duplicates window listing it (bench/duplicates_window_bench.cpp), against the old
# way of listing the same rows in the same run.
#
# Usage: bench/duplicates_window_bench.sh [REPETITIONS (default 3)] [benchmark options...]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
work=$root/bench/work/duplicates
cedict=${CEDICT:-$root/../shared/data/cedict_ts.u8}
reps=${1:-3}
mkdir -p "$work"

if [ ! -f "$work/twice.ced" ] || [ "$cedict" -nt "$work/twice.ced" ]; then
  cat "$cedict" "$cedict" | iconv -f UTF-8 -t UTF-16LE > "$work/twice.ced.tmp"
  mv "$work/twice.ced.tmp" "$work/twice.ced"
fi

. "$root/bench/build.sh"
bench_build duplicates_window_bench

DUPLICATES_WINDOW_BENCH_FILE=$work/twice.ced QT_QPA_PLATFORM=offscreen \
  "$bench_programs/duplicates_window_bench" --benchmark_repetitions="$reps" \
  --benchmark_report_aggregates_only=true "${@:2}"
