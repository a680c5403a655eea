#!/usr/bin/env bash
# Prepares a word list of 100,000 entries (the first 100,000 entries of the full CC-CEDICT in the
# line shape of userdict.txt, UTF-16LE) in bench/work/mywords/ and runs bench/mywords_bench.cpp:
# "Add to my words" of a new word and of a kept one, against the user dictionary window's
# "Add/Change" in the same run.
#
# Usage: bench/mywords_bench.sh [REPETITIONS (default 5)] [benchmark options...]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
work=$root/bench/work/mywords
cedict=${CEDICT:-$root/../shared/data/cedict_ts.u8}
reps=${1:-5}
mkdir -p "$work"

if [ ! -f "$work/words.txt" ] || [ "$cedict" -nt "$work/words.txt" ]; then
  grep -v '^#' "$cedict" | head -n 100000 | sed 's/$/\r/' | iconv -f UTF-8 -t UTF-16LE \
    >"$work/words.txt.tmp"
  mv "$work/words.txt.tmp" "$work/words.txt"
fi
echo "word list: $(($(stat -c %s "$work/words.txt") / 1024)) KiB, 100000 entries"

. "$root/bench/build.sh"
bench_build mywords_bench

MYWORDS_BENCH_DIR=$work "$bench_programs/mywords_bench" \
  --benchmark_repetitions="$reps" --benchmark_report_aggregates_only=true \
  --benchmark_display_aggregates_only=true "${@:2}"
