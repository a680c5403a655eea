#!/usr/bin/env python3
"""Cuts the bundled sample dictionary out of a full CC-CEDICT file.

The sample keeps the licence header of the source and about 4000 everyday entries: short words
written only with the characters that occur in the most headwords of the full dictionary.

    python3 scripts/make_sample.py /path/to/cedict_ts.u8 > data/cedict-sample.u8
"""
import collections
import sys

TOP_CHARS = 700
MAX_ENTRIES = 4000
MUST_HAVE = {"中國", "中", "國", "我", "是", "學生", "學習", "你好", "漢語", "人", "大"}


def main(path):
    header, entries = [], []
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.rstrip("\n")
            if line.startswith("#"):
                if not line.startswith("#!"):
                    header.append(line)
                continue
            if not line.strip():
                continue
            trad, simp = line.split(" ", 2)[:2]
            entries.append((trad, simp, line))
    freq = collections.Counter(ch for _, simp, _ in entries for ch in simp)
    common = {ch for ch, _ in freq.most_common(TOP_CHARS)}
    chosen = []
    for trad, simp, line in entries:
        if trad in MUST_HAVE or (
            1 <= len(simp) <= 3
            and all(ch in common for ch in simp)
            and "variant of" not in line
            and "surname" not in line.split("/")[1]
        ):
            chosen.append(line)
    if len(chosen) > MAX_ENTRIES:
        step = len(chosen) / MAX_ENTRIES
        keep = {int(i * step) for i in range(MAX_ENTRIES)}
        chosen = [l for i, l in enumerate(chosen) if i in keep or l.split(" ")[0] in MUST_HAVE]
    out = sys.stdout
    out.write("# CC-CEDICT sample: %d entries chosen from the full dictionary.\n" % len(chosen))
    for h in header:
        out.write(h + "\n")
    for l in chosen:
        out.write(l + "\n")


if __name__ == "__main__":
    main(sys.argv[1])
