#!/usr/bin/env python3
"""Writes every distinct space-separated token of the pinyin fields of a CC-CEDICT file, one
per line in code point order, after a comment line naming the source. The tone-mark tests
read the result (tests/charinfo/data/cedict_pinyin_tokens.txt), so that they cover every
syllable shape of the dictionary without reading files outside the repository:

    scripts/cedict_pinyin_tokens.py data/cedict_ts.u8.xz > tests/charinfo/data/cedict_pinyin_tokens.txt
"""
import lzma
import re
import sys


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: cedict_pinyin_tokens.py CEDICT.u8[.xz]")
    path = sys.argv[1]
    opener = lzma.open if path.endswith(".xz") else open
    tokens = set()
    with opener(path, "rt", encoding="utf-8") as f:
        for line in f:
            if line.startswith("#"):
                continue
            m = re.match(r"[^\[]*\[([^\]]*)\]", line)
            if m:
                tokens.update(t for t in m.group(1).split(" ") if t)
    sys.stdout.write("# The distinct pinyin tokens of CC-CEDICT (data/cedict_ts.u8.xz), "
                     "made by scripts/cedict_pinyin_tokens.py\n")
    for t in sorted(tokens):
        sys.stdout.write(t + "\n")


main()
