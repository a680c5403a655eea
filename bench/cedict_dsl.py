#!/usr/bin/env python3
"""Writes a CEDICT text file (UTF-8 lines "TRAD SIMP [pin yin] /sense/sense/") as a DSL
dictionary (UTF-16LE with byte-order mark) for the baseline program of bench/memory.sh:
both forms as headwords, the reading and one line per sense.

    python3 bench/cedict_dsl.py cedict_ts.u8 cedict.dsl
"""
import re
import sys

LINE = re.compile(r"^(\S+) (\S+) \[([^\]]*)\] /(.*)/\s*$")


def escape(text):
    return re.sub(r"([\[\]{}~\\@<>#])", r"\\\1", text)


def main(source, target):
    out = ['#NAME\t"CC-CEDICT"', '#INDEX_LANGUAGE\t"Chinese"', '#CONTENTS_LANGUAGE\t"English"', ""]
    with open(source, encoding="utf-8", errors="replace") as f:
        for line in f:
            m = LINE.match(line)
            if not m:
                continue
            trad, simp, pinyin, senses = m.groups()
            out.append(escape(trad))
            if simp != trad:
                out.append(escape(simp))
            out.append("\t[m1][p]" + escape(pinyin) + "[/p][/m]")
            for sense in senses.split("/"):
                if sense:
                    out.append("\t[m1]" + escape(sense) + "[/m]")
            out.append("")
    with open(target, "w", encoding="utf-16") as f:  # "utf-16" writes the mark, little-endian here
        f.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
