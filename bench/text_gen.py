#!/usr/bin/env python3
"""Writes a Chinese text of headwords of a CEDICT file (simplified forms whose code units all
lie at or above U+3400), drawn with a fixed seed until LENGTH UTF-16 code units (UTF-8 file).

Usage: text_gen.py CEDICT_UTF8 OUTPUT [LENGTH (default 20000)]
"""
import random
import sys

words = []
for line in open(sys.argv[1], encoding='utf-8'):
    if line.startswith('#'):
        continue
    parts = line.split(' ', 2)
    if len(parts) < 3:
        continue
    w = parts[1]
    if w and all(0x3400 <= ord(c) <= 0xFFFF for c in w):
        words.append(w)
length = int(sys.argv[3]) if len(sys.argv) > 3 else 20000
rng = random.Random(20261209)
out, n = [], 0
while n < length:
    w = rng.choice(words)
    w = w[:length - n]
    out.append(w)
    n += len(w)
open(sys.argv[2], 'w', encoding='utf-8').write(''.join(out))
