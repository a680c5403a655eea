#!/usr/bin/python3
"""Renders the images of the OCR benchmark as screen text looks: real prose and dictionary
words, simplified and traditional, 12-32 px, sans and serif CJK fonts, dark on light and light
on dark, one line, a block of lines or a vertical column, each cut out with a small margin as a
user drags a region. Writes OUTDIR/NNN.png and OUTDIR/truth.tsv (file name, TAB, the text).

Usage: ocr_render.py CEDICT_U8 PROSE_SOURCE OUTDIR [COUNT (default 120)]

The prose is Debian's fortunes-zh collection "chinese", cut at punctuation into phrases of 5 to
14 characters; the words are CC-CEDICT headwords of 2 to 4 characters. Traditional forms come
from CC-CEDICT: the longest headword whose simplified form matches, written in its traditional
form. The same arguments always give the same images (fixed seed).
"""
import os
import random
import re
import sys

from PIL import Image, ImageDraw, ImageFont

NOTO = '/usr/share/fonts/opentype/noto/'
# (name, path, index for simplified, index for traditional)
FONTS = [
    ('sans', NOTO + 'NotoSansCJK-Regular.ttc', 2, 3),
    ('serif', NOTO + 'NotoSerifCJK-Regular.ttc', 2, 3),
]
UMING = '/usr/share/fonts/truetype/arphic/uming.ttc'  # fonts-arphic-uming, when installed
if os.path.exists(UMING):
    FONTS.append(('ming', UMING, 0, 1))
SIZES = [12, 14, 16, 18, 20, 24, 28, 32]
# (text colour, background): dark on light and light on dark, as on screens
COLOURS = [((0, 0, 0), (255, 255, 255)), ((40, 40, 40), (238, 238, 230)),
           ((255, 255, 255), (30, 30, 30)), ((230, 230, 230), (40, 60, 90))]


def is_han(c):
    return 0x3400 <= ord(c) <= 0x9FFF


def load_cedict(path):
    s2t = {}
    words = []
    for line in open(path, encoding='utf-8'):
        if line.startswith('#'):
            continue
        parts = line.split(' ', 2)
        if len(parts) < 3:
            continue
        trad, simp = parts[0], parts[1]
        if len(trad) != len(simp) or not all(is_han(c) for c in simp):
            continue
        if simp not in s2t:
            s2t[simp] = trad
        if 2 <= len(simp) <= 4 and trad != simp and '/' in parts[2] and 'surname' not in parts[2]:
            words.append(simp)
    return s2t, words


def to_traditional(text, s2t):
    out = []
    i = 0
    while i < len(text):
        for n in range(min(8, len(text) - i), 0, -1):
            piece = text[i:i + n]
            if piece in s2t:
                out.append(s2t[piece])
                i += n
                break
        else:
            out.append(text[i])
            i += 1
    return ''.join(out)


def phrases(path):
    text = open(path, encoding='utf-8', errors='replace').read()
    text = re.sub(r'\x1b\[[0-9;]*m', '', text)
    found = []
    for piece in re.split(r'[^\u3400-\u9fff]+', text):
        if 5 <= len(piece) <= 14:
            found.append(piece)
    return found


def render_line(text, font, fg, bg, margin):
    left, top, right, bottom = font.getbbox(text)
    w = right - left + 2 * margin
    h = bottom - top + 2 * margin
    img = Image.new('RGB', (w, h), bg)
    ImageDraw.Draw(img).text((margin - left, margin - top), text, font=font, fill=fg)
    return img


def render_block(lines, font, fg, bg, margin, size):
    gap = size // 2
    boxes = [font.getbbox(t) for t in lines]
    w = max(b[2] for b in boxes) + 2 * margin
    h = len(lines) * size + (len(lines) - 1) * gap + 2 * margin + size // 4
    img = Image.new('RGB', (w, h), bg)
    d = ImageDraw.Draw(img)
    for i, t in enumerate(lines):
        d.text((margin, margin + i * (size + gap)), t, font=font, fill=fg)
    return img


def render_vertical(text, font, fg, bg, margin, size):
    step = size + size // 8
    w = size + 2 * margin
    h = len(text) * step + 2 * margin
    img = Image.new('RGB', (w, h), bg)
    d = ImageDraw.Draw(img)
    for i, c in enumerate(text):
        left, top, right, _ = font.getbbox(c)
        x = margin + (size - (right - left)) // 2 - left
        d.text((x, margin + i * step), c, font=font, fill=fg)
    return img


def main():
    if len(sys.argv) < 4:
        sys.exit(__doc__)
    cedict, prose, outdir = sys.argv[1:4]
    count = int(sys.argv[4]) if len(sys.argv) > 4 else 120
    rng = random.Random(20261209)
    s2t, words = load_cedict(cedict)
    lines = phrases(prose)
    rng.shuffle(lines)
    rng.shuffle(words)
    os.makedirs(outdir, exist_ok=True)
    truth = []
    for n in range(count):
        kind = ['prose', 'word', 'prose', 'block', 'prose', 'vertical'][n % 6]
        traditional = (n // 6) % 2 == 1
        name, path, simp_index, trad_index = rng.choice(FONTS)
        size = rng.choice(SIZES)
        fg, bg = rng.choice(COLOURS)
        margin = rng.randint(3, 8)
        font = ImageFont.truetype(path, size, index=trad_index if traditional else simp_index)
        conv = (lambda t: to_traditional(t, s2t)) if traditional else (lambda t: t)
        if kind == 'word':
            text = conv(words.pop())
            img = render_line(text, font, fg, bg, margin)
        elif kind == 'block':
            parts = [conv(lines.pop()) for _ in range(2 + n % 2)]
            text = ''.join(parts)
            img = render_block(parts, font, fg, bg, margin, size)
        elif kind == 'vertical':
            text = conv(lines.pop())[:8]
            img = render_vertical(text, font, fg, bg, margin, max(size, 16))
        else:
            text = conv(lines.pop())
            img = render_line(text, font, fg, bg, margin)
        file = '%03d.png' % n
        img.save(os.path.join(outdir, file))
        truth.append('%s\t%s\t%s %s %dpx %s %s\n' % (
            file, text, kind, 'trad' if traditional else 'simp', size, name,
            'light-on-dark' if sum(fg) > sum(bg) else 'dark-on-light'))
    with open(os.path.join(outdir, 'truth.tsv'), 'w', encoding='utf-8') as f:
        f.writelines(truth)


main()
