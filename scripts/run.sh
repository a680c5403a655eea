#!/usr/bin/env bash
# Builds Kestrune and starts the viewer with the full CC-CEDICT.
# The program folder is build/bin (the build imports CC-CEDICT there: data file and index).
# When Debian's unicode-data package is present, the Unihan database is prepared too.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$jobs"

bin=build/bin
if [ ! -f "$bin/unihan.idc" ] && ls /usr/share/unicode/Unihan_*.txt.bz2 >/dev/null 2>&1; then
  echo "Preparing the Unihan database..." >&2
  # One run of lines per code point: merge the Unihan files and sort them by code point,
  # keeping the order of each code point's lines.
  bzcat /usr/share/unicode/Unihan_*.txt.bz2 | grep '^U+' | LC_ALL=C sort -s -t "$(printf '\t')" -k1,1 \
    > "$bin/unihan.txt.tmp"
  mv "$bin/unihan.txt.tmp" "$bin/unihan.txt"
  "$bin/kestrune" unihan "$bin/unihan.txt"
fi

# An empty personal word list, so that "Edit user dictionary file" can add words at once
# (the program itself never creates it). An existing list is never touched.
[ -e "$bin/userdict.txt" ] || : >"$bin/userdict.txt"

if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: start an X server (for example Xvfb :99 & export DISPLAY=:99)." >&2
  exit 1
fi
[ "$(id -u)" -eq 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1
exec "$bin/kestrune" "$@"
