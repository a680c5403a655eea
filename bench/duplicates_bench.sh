#!/usr/bin/env bash
# Prepares the full CEDICT dictionary for the duplicates benchmark (a UTF-16LE copy in
# bench/work/duplicates/, and a slice of its first 20000 lines for the row-by-row baseline),
# runs bench/duplicates_bench.cpp, and checks that a save without changes gives a copy that
# is byte-identical to the source.
#
# Usage: bench/duplicates_bench.sh [REPETITIONS (default 5)] [benchmark options...]
# DUPLICATES_BENCH_ROW_BY_ROW_FULL=1 also times the row-by-row scan of the whole file (slow).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
work=$root/bench/work/duplicates
cedict=${CEDICT:-$root/../shared/data/cedict_ts.u8}
reps=${1:-5}
mkdir -p "$work"

if [ ! -f "$work/cedict.ced" ] || [ "$cedict" -nt "$work/cedict.ced" ]; then
  iconv -f UTF-8 -t UTF-16LE "$cedict" > "$work/cedict.ced.tmp"
  mv "$work/cedict.ced.tmp" "$work/cedict.ced"
  head -n 20000 "$cedict" | iconv -f UTF-8 -t UTF-16LE > "$work/slice.ced"
fi

. "$root/bench/build.sh"
bench_build duplicates_bench

DUPLICATES_BENCH_DIR=$work "$bench_programs/duplicates_bench" \
  --benchmark_repetitions="$reps" --benchmark_report_aggregates_only=true \
  --benchmark_display_aggregates_only=true "${@:2}"

rm -f "$work/cedict.new"
DUPLICATES_BENCH_DIR=$work "$bench_programs/duplicates_bench" --benchmark_filter='Save/full/unchanged' \
  --benchmark_min_time=0.01 >/dev/null
if cmp -s "$work/cedict.ced" "$work/cedict.new"; then
  echo "saved copy: byte-identical to the source ($(stat -c %s "$work/cedict.new") bytes)"
else
  echo "saved copy: DIFFERS from the source" >&2
  exit 1
fi
