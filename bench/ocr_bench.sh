#!/usr/bin/env bash
# The OCR benchmark: "kestrune ocr" against the tesseract command line (Debian's tesseract-ocr)
# with the same models (chi_sim and chi_tra) on the same images, rendered by ocr_render.py.
# Accuracy: the character error rate after folding traditional to simplified (ocr_cer.py).
# Speed: one "kestrune ocr" call over all images against one tesseract run per image, in the
# same run; both with OMP_THREAD_LIMIT=1 (faster for tesseract too on a small machine).
#
# Usage: bench/ocr_bench.sh [COUNT (default 120)]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
count=${1:-120}
source "$here/build.sh"
source "$here/prose.sh"
bench_build kestrune cedict_dictionary
command -v tesseract >/dev/null || { echo "tesseract (Debian tesseract-ocr) is needed" >&2; exit 1; }
[ -f /usr/share/games/fortunes/chinese ] || bench_prose /dev/null 1

work=$root/bench/work/ocr
rm -rf "$work"
mkdir -p "$work"
/usr/bin/python3 "$here/ocr_render.py" "$root/../shared/data/cedict_ts.u8" \
  /usr/share/games/fortunes/chinese "$work/images" "$count"
cd "$work/images"
images=(*.png)
export OMP_THREAD_LIMIT=1

now() { date +%s.%N; }
t0=$(now)
KESTRUNE_HOME=$bench_bin "$bench_bin/kestrune" ocr "${images[@]}" >"$work/kestrune.tsv" \
  2>"$work/kestrune.err" || true
t1=$(now)
for f in "${images[@]}"; do
  printf '%s\t%s\n' "$f" "$(tesseract "$f" stdout -l chi_sim+chi_tra 2>/dev/null | tr -d '\n\f')"
done >"$work/tesseract.tsv"
t2=$(now)

/usr/bin/python3 "$here/ocr_cer.py" "$root/src/charinfo/s2t_data.inc" "$work/images/truth.tsv" \
  kestrune="$work/kestrune.tsv" tesseract="$work/tesseract.tsv"
awk -v a="$t0" -v b="$t1" -v c="$t2" -v n=${#images[@]} 'BEGIN {
  printf "time for %d images: kestrune ocr (one call) %.2f s, tesseract (once per image) %.2f s, ratio %.2f\n",
         n, b - a, c - b, (b - a) / (c - b) }'
