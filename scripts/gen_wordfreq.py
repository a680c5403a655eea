#!/usr/bin/env python3
"""Writes the word frequency table of the program (a C++ include file) from the word counts
of jieba's dictionary (dict.txt of Debian's python3-jieba, MIT licence: "word count tag" per
line) and the CC-CEDICT file that ships with the program: only the words that are the
simplified form of a CC-CEDICT headword are kept, which keeps the table small.

    gen_wordfreq.py JIEBA_DICT.txt CEDICT.u8[.xz] OUTPUT.inc

The table groups the words by their length in UTF-16 code units. Words of one length are
sorted by code units and stored back to back, each followed by one code unit of frequency:
the count itself below 32768, else 32768 + count / 256 (at most 65535), so that the order of
the counts is kept. The output is replaced only once it is complete.
"""
import lzma
import os
import sys


def utf16_units(word):
    data = word.encode("utf-16-le")
    return [data[i] | (data[i + 1] << 8) for i in range(0, len(data), 2)]


def frequency_code(count):
    if count < 32768:
        return count
    return min(32768 + count // 256, 65535)


def simplified_headwords(path):
    opener = lzma.open if path.endswith(".xz") else open
    words = set()
    with opener(path, "rt", encoding="utf-8") as f:
        for line in f:
            line = line.strip()
            if not line or line.startswith("#") or "[" not in line:
                continue
            forms = line.split("[", 1)[0].split()
            if forms:
                words.add(forms[1] if len(forms) > 1 else forms[0])
    return words


def jieba_counts(path):
    counts = {}
    with open(path, encoding="utf-8") as f:
        for line in f:
            parts = line.split()
            if len(parts) < 2 or not parts[1].isdigit():
                continue
            counts.setdefault(parts[0], int(parts[1]))
    return counts


def main():
    if len(sys.argv) != 4:
        sys.exit("usage: gen_wordfreq.py JIEBA_DICT.txt CEDICT.u8[.xz] OUTPUT.inc")
    jieba_path, cedict_path, out_path = sys.argv[1:]
    counts = jieba_counts(jieba_path)
    headwords = simplified_headwords(cedict_path)
    by_length = {}
    for word in headwords:
        if word in counts and counts[word] > 0:
            units = utf16_units(word)
            by_length.setdefault(len(units), []).append((units, frequency_code(counts[word])))
    if not by_length:
        sys.exit("gen_wordfreq.py: no CC-CEDICT headword has a count in " + jieba_path)
    longest = max(by_length)

    lines = [
        "// Made by scripts/gen_wordfreq.py from " + os.path.basename(jieba_path) +
        " (jieba, MIT) and the simplified headwords of CC-CEDICT. Not to be edited.",
        "namespace kes::wordfreq_data {",
        "",
        "constexpr std::size_t kLongest = %d;" % longest,
    ]
    total = 0
    for length in range(1, longest + 1):
        records = sorted(by_length.get(length, []))
        total += len(records)
        if not records:
            continue
        lines.append("constexpr char16_t kLength%d[] = {" % length)
        for units, code in records:
            lines.append("    " + ",".join("0x%x" % u for u in units + [code]) + ",")
        lines.append("};")
    lines.append("// Per length (index 0 unused): the records and their number.")
    lines.append("constexpr Bucket kBuckets[kLongest + 1] = {")
    lines.append("    {nullptr, 0},")
    for length in range(1, longest + 1):
        n = len(by_length.get(length, []))
        lines.append("    {%s, %d}," % ("kLength%d" % length if n else "nullptr", n))
    lines.append("};")
    lines.append("constexpr std::size_t kWords = %d;" % total)
    lines.append("")
    lines.append("}  // namespace kes::wordfreq_data")

    tmp = out_path + ".tmp"
    with open(tmp, "w", encoding="ascii") as f:
        f.write("\n".join(lines) + "\n")
    os.replace(tmp, out_path)


main()
