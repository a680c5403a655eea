# Sourced by the benchmark scripts: the real prose the long-text timings use.
#
#   bench_prose OUTPUT [LENGTH]   writes the first LENGTH (default 20000) Chinese characters of
#                                 Debian's fortunes-zh collection "chinese" (installed for the
#                                 benchmark when missing) to OUTPUT

bench_prose() {
  local source=/usr/share/games/fortunes/chinese
  if [ ! -f "$source" ]; then
    echo "Installing fortunes-zh (the benchmark's prose)" >&2
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends fortunes-zh \
      >/dev/null
  fi
  python3 "$(dirname "${BASH_SOURCE[0]}")/prose_text.py" "$source" "$1" "${2:-20000}"
}
