#!/usr/bin/env python3
"""Writes a large DSL dictionary source (UTF-16LE) built from the entries of a CEDICT file.

Usage: dsl_gen.py CEDICT_UTF8 OUTPUT MIN_MEGABYTES

Each entry becomes a card: the traditional and (when different) simplified headword lines, an
indented [m1] pinyin line, one [m2] line per sense with [b]/[i]/[c] markup and escaped
brackets, and [m4][*][ex] example lines under some senses. The dictionary is repeated until
the output reaches the requested size.
"""
import sys


def cards(entries, rep):
    for n, (trad, simp, pinyin, senses) in enumerate(entries):
        out = [trad + "\n"]
        if simp != trad:
            out.append(simp + "\n")
        out.append("\t[m1]" + pinyin + "[/m]\n")
        for k, sense in enumerate(senses, 1):
            sense = sense.replace("[", "\\[").replace("]", "\\]")
            if sense.startswith("CL:"):
                text = "[i]" + sense + "[/i]"
            elif sense.startswith(("variant of", "old variant of", "see ")):
                text = "[c gray]" + sense + "[/c]"
            else:
                text = sense
            out.append("\t[m2][b]%d.[/b] %s[/m]\n" % (k, text))
            if (n + k + rep) % 3 == 0:
                out.append("\t[m4][*][ex][lang id=2052]%s[/lang] — %s[/ex][/*][/m]\n"
                           % (simp, sense))
            if (n + k + rep) % 7 == 0:
                out.append("\t[m4][*][ex][i]%s[/i] (%s)[/ex][/*][/m]\n" % (trad, pinyin))
        out.append("\n")
        yield "".join(out)


def main():
    src, dst, min_mb = sys.argv[1], sys.argv[2], float(sys.argv[3])
    entries = []
    with open(src, encoding="utf-8") as f:
        for line in f:
            line = line.rstrip("\r\n")
            if not line or line.startswith("#") or "[" not in line:
                continue
            head, rest = line.split("[", 1)
            pinyin, _, trans = rest.partition("]")
            forms = head.split()
            if len(forms) < 2:
                continue
            senses = [s for s in trans.strip().strip("/").split("/") if s.strip()]
            entries.append((forms[0], forms[1], pinyin, senses))
    limit = int(min_mb * 1024 * 1024)
    written = 0
    rep = 0
    with open(dst, "wb") as out:
        header = "#NAME \"CEDICT sample\"\n#INDEX_LANGUAGE \"Chinese\"\n" \
                 "#CONTENTS_LANGUAGE \"English\"\n\n"
        written += out.write(("\ufeff" + header).encode("utf-16-le"))
        while written < limit:
            chunk = []
            for card in cards(entries, rep):
                chunk.append(card)
                if len(chunk) == 4096:
                    written += out.write("".join(chunk).encode("utf-16-le"))
                    chunk = []
            if chunk:
                written += out.write("".join(chunk).encode("utf-16-le"))
            rep += 1
    print("%s: %d bytes, %d entries x %d" % (dst, written, len(entries), rep))


if __name__ == "__main__":
    main()
