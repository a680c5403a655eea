#!/usr/bin/env python3
"""Writes the first LENGTH Chinese characters of a text file, in order, as one UTF-8 line:
real prose with its punctuation, Latin words and line breaks left out (a text with those is
not cut into words by "Translate text"). Characters count as Chinese from U+3400 on, without
the full-width forms (U+FF00-U+FFEF).

Usage: prose_text.py SOURCE_UTF8 OUTPUT [LENGTH (default 20000)]
"""
import sys

length = int(sys.argv[3]) if len(sys.argv) > 3 else 20000
text = open(sys.argv[1], encoding='utf-8', errors='replace').read()
chars = [c for c in text if 0x3400 <= ord(c) <= 0xFFFF and not 0xFF00 <= ord(c) <= 0xFFEF]
if len(chars) < length:
    sys.exit('%s has only %d Chinese characters' % (sys.argv[1], len(chars)))
open(sys.argv[2], 'w', encoding='utf-8').write(''.join(chars[:length]))
