#!/usr/bin/env python3
"""Generates src/charinfo/s2t_data.inc, the rows of the traditional-to-simplified table.

Source: the Unicode Han Database (Unihan), as shipped by Debian's unicode-data package
(/usr/share/unicode/Unihan_Variants.txt.bz2 and Unihan_IRGSources.txt.bz2).
Licence of the data: Unicode License V3 (https://www.unicode.org/license.txt).

Rows (index -> value), both sides single code units in U+4E00..U+9FFF:

1. Traditional forms: every character with a kSimplifiedVariant maps to the first listed
   simplified variant that differs from itself (so 乾, which lists itself and 干, maps to 干).
2. Variant and old forms: a character that has no simplified variant of its own and is not
   part of the GB 2312 set (no G0 source) maps through its first kZVariant, then its first
   kSemanticVariant, to the simplified form of that variant (or to the variant itself when
   the variant is a GB 2312 character without a simplified form).
3. The hand-listed rows below, for forms Unihan does not link or links to the wrong
   counterpart, and a short list of characters that step 2 must leave alone.

Every value is then resolved so that it is not itself a changed index (a row never needs a
second step), except where a hand row says otherwise.

With --traditional it writes the other direction instead, src/charinfo/s2t_trad.inc: for
every simplified character, its traditional forms (the kTraditionalVariant values, in Unihan's
order, that the table above maps back to it; variant and old forms are left out).

Usage: scripts/gen_s2t.py [--traditional] [UNIHAN_FOLDER] > src/charinfo/s2t_data.inc
"""

import bz2
import collections
import os
import re
import sys

FIRST, LAST = 0x4E00, 0x9FFF

# Rows that Unihan does not give. `chain` rows keep their value as written even when the
# value itself has a simplified form: 袷 folds to 夾 and not further, because the table is
# applied once.
HAND_ROWS = [
    # (index, value, keep value as written)
    (0x69A6, 0x5E72, False),  # 榦 -> 干 (old form of 幹)
    (0x7F4E, 0x575B, False),  # 罎 -> 坛 (variant of 罈)
    (0x88B7, 0x593E, True),   # 袷 -> 夾 (variant of 裌/夾; 夾 itself -> 夹)
    # Variant links whose first listed variant is the wrong counterpart for this use.
    (0x507A, 0x54B1, False),  # 偺 -> 咱 (Unihan lists the surname 昝 first)
    (0x59B3, 0x4F60, False),  # 妳 -> 你 (Unihan lists 奶 first)
    (0x7260, 0x5B83, False),  # 牠 -> 它
    (0x7526, 0x82CF, False),  # 甦 -> 苏
]

# Characters of their own that a loose semantic-variant link would otherwise fold into a
# different word: they keep their identity.
NOT_VARIANTS = [
    0x5DC9,  # 巉 (not 崭)
    0x60C7,  # 惇 (not 敦)
    0x7BA0,  # 箠 (not 捶)
    0x8011,  # 耑 (not 专)
]


def load(path):
    props = collections.defaultdict(dict)
    with bz2.open(path, "rt", encoding="utf-8") as f:
        for line in f:
            if line.startswith("#") or not line.strip():
                continue
            cp, key, value = line.rstrip("\n").split("\t", 2)
            props[int(cp[2:], 16)][key] = value
    return props


def code_points(value):
    return [int(m, 16) for m in re.findall(r"U\+([0-9A-F]+)", value)]


def in_range(c):
    return FIRST <= c <= LAST


def build(folder):
    variants = load(os.path.join(folder, "Unihan_Variants.txt.bz2"))
    sources = load(os.path.join(folder, "Unihan_IRGSources.txt.bz2"))

    def gb2312(c):
        return sources.get(c, {}).get("kIRG_GSource", "").startswith("G0")

    rows = {}
    # 1. Traditional forms.
    for c, p in variants.items():
        if not in_range(c) or "kSimplifiedVariant" not in p:
            continue
        targets = [v for v in code_points(p["kSimplifiedVariant"]) if v != c and in_range(v)]
        if targets:
            rows[c] = targets[0]
    simplified = dict(rows)

    # 2. Variant and old forms.
    for c, p in sorted(variants.items()):
        if not in_range(c) or c in simplified or gb2312(c):
            continue
        if "kTraditionalVariant" in p and any(v != c for v in code_points(p["kTraditionalVariant"])):
            continue  # a simplified form of something else
        for key in ("kZVariant", "kSemanticVariant"):
            found = None
            for v in code_points(p.get(key, "")):
                if v == c or not in_range(v):
                    continue
                if v in simplified:
                    found = simplified[v]
                elif gb2312(v):
                    found = v
                if found is not None:
                    break
            if found is not None:
                rows[c] = found
                break

    # 3. Hand rows.
    for c in NOT_VARIANTS:
        rows.pop(c, None)
    keep = set()
    for c, v, keep_value in HAND_ROWS:
        rows[c] = v
        if keep_value:
            keep.add(c)

    # Resolve chains so that one application gives the final form.
    for c in list(rows):
        if c in keep:
            continue
        seen = {c}
        v = rows[c]
        while v in rows and v not in seen and rows[v] != v:
            seen.add(v)
            v = rows[v]
        rows[c] = v
    return {c: v for c, v in rows.items() if v != c}


def traditional_rows(folder, rows):
    """(simplified, traditional) pairs in Unihan's order, each consistent with `rows`."""
    variants = load(os.path.join(folder, "Unihan_Variants.txt.bz2"))
    pairs = []
    for s, p in sorted(variants.items()):
        if not in_range(s) or s in rows:
            continue
        for t in code_points(p.get("kTraditionalVariant", "")):
            if t != s and in_range(t) and rows.get(t) == s and (s, t) not in pairs:
                pairs.append((s, t))
    return pairs


def main():
    args = sys.argv[1:]
    traditional = "--traditional" in args
    args = [a for a in args if a != "--traditional"]
    folder = args[0] if args else "/usr/share/unicode"
    rows = build(folder)
    out = sys.stdout
    if traditional:
        out.write("// Generated by scripts/gen_s2t.py --traditional from the Unicode Han Database\n")
        out.write("// (Unihan), Unicode License V3. Do not edit by hand: change the script and regenerate.\n")
        out.write("// {simplified form, traditional form}, in order of the simplified form\n")
        for s, t in traditional_rows(folder, rows):
            out.write("{0x%04X, 0x%04X},  // %s %s\n" % (s, t, chr(s), chr(t)))
        return
    out.write("// Generated by scripts/gen_s2t.py from the Unicode Han Database (Unihan),\n")
    out.write("// Unicode License V3. Do not edit by hand: change the script and regenerate.\n")
    out.write("// {index, simplified form}\n")
    for c in sorted(rows):
        out.write("{0x%04X, 0x%04X},  // %s %s\n" % (c, rows[c], chr(c), chr(rows[c])))


if __name__ == "__main__":
    main()
