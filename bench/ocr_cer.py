#!/usr/bin/python3
"""The character error rate of OCR outputs against the truth of ocr_render.py.

Usage: ocr_cer.py S2T_DATA_INC TRUTH_TSV NAME=OUTPUT_TSV...

Each OUTPUT_TSV holds lines "file TAB text" (a missing file counts as an empty reading). Both
the truth and the readings are folded to simplified characters with the program's own table
(src/charinfo/s2t_data.inc) and reduced to their Han characters; the error rate is the sum of
the edit distances over the sum of the truth lengths. Prints the rate of each output overall
and per kind of image, and the ratio of each to the first.
"""
import re
import sys


def load_fold(path):
    fold = {}
    for m in re.finditer(r'\{0x([0-9A-Fa-f]+), 0x([0-9A-Fa-f]+)\}', open(path).read()):
        fold[chr(int(m.group(1), 16))] = chr(int(m.group(2), 16))
    return fold


def han(text, fold):
    return ''.join(fold.get(c, c) for c in text if 0x3400 <= ord(c) <= 0x9FFF)


def distance(a, b):
    prev = list(range(len(b) + 1))
    for i, ca in enumerate(a, 1):
        cur = [i]
        for j, cb in enumerate(b, 1):
            cur.append(min(prev[j] + 1, cur[j - 1] + 1, prev[j - 1] + (ca != cb)))
        prev = cur
    return prev[-1]


def read_tsv(path):
    out = {}
    for line in open(path, encoding='utf-8', errors='replace'):
        parts = line.rstrip('\n').split('\t')
        if parts and parts[0]:
            out[parts[0]] = parts[1] if len(parts) > 1 else ''
    return out


def main():
    fold = load_fold(sys.argv[1])
    truth = []
    for line in open(sys.argv[2], encoding='utf-8'):
        file, text, tags = line.rstrip('\n').split('\t')
        truth.append((file, han(text, fold), tags.split()))
    outputs = []
    for arg in sys.argv[3:]:
        name, path = arg.split('=', 1)
        outputs.append((name, read_tsv(path)))
    groups = {'all': lambda t: True}
    for tag, test in [('prose', lambda t: t[0] == 'prose'), ('word', lambda t: t[0] == 'word'),
                      ('block', lambda t: t[0] == 'block'),
                      ('vertical', lambda t: t[0] == 'vertical'),
                      ('simplified', lambda t: t[1] == 'simp'),
                      ('traditional', lambda t: t[1] == 'trad'),
                      ('12-16 px', lambda t: int(t[2][:-2]) <= 16),
                      ('18-32 px', lambda t: int(t[2][:-2]) > 16),
                      ('dark on light', lambda t: t[4] == 'dark-on-light'),
                      ('light on dark', lambda t: t[4] == 'light-on-dark')]:
        groups[tag] = test
    print('%-14s %6s' % ('images', 'chars') + ''.join(' %12s' % n for n, _ in outputs))
    for gname, test in groups.items():
        rows = [t for t in truth if test(t[2])]
        chars = sum(len(t[1]) for t in rows)
        rates = []
        for _, out in outputs:
            errors = sum(distance(t[1], han(out.get(t[0], ''), fold)) for t in rows)
            rates.append(errors / chars if chars else 0)
        print('%-14s %6d' % (gname, chars) + ''.join(' %11.1f%%' % (100 * r) for r in rates))
        if gname == 'all':
            overall = rates
    for (name, _), rate in zip(outputs[1:], overall[1:]):
        print('CER ratio %s / %s: %.2f' % (outputs[0][0], name,
                                           overall[0] / rate if rate else float('inf')))


main()
