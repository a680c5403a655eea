#!/usr/bin/env bash
# Prepares the full CEDICT dictionary for the lookup benchmark (a UTF-16LE copy in
# bench/work/lookup/, indexed with translation words and pinyin by the builder on the first
# run) and runs bench/lookup_bench.cpp, reporting the medians of several repetitions.
#
# Usage: bench/lookup_bench.sh [REPETITIONS (default 9)]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
work=$root/bench/work/lookup
cedict=${CEDICT:-$root/../shared/data/cedict_ts.u8}
reps=${1:-9}
mkdir -p "$work"

if [ ! -f "$work/cedict.ced" ] || [ "$cedict" -nt "$work/cedict.ced" ]; then
  rm -f "$work/cedict.idx"
  iconv -f UTF-8 -t UTF-16LE "$cedict" > "$work/cedict.ced.tmp"
  mv "$work/cedict.ced.tmp" "$work/cedict.ced"
fi

. "$root/bench/build.sh"
bench_build lookup_bench

LOOKUP_BENCH_DIR=$work "$bench_programs/lookup_bench" \
  --benchmark_repetitions="$reps" --benchmark_report_aggregates_only=true \
  --benchmark_display_aggregates_only=true "${@:2}"
