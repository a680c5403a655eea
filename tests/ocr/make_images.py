#!/usr/bin/python3
"""Makes the test images of tests/ocr/images/ (run by hand; the PNG files are kept in the tree):
rendered Chinese with known text, as a region cut from a screen shows it, and images without
text. Needs python3-pil, fonts-noto-cjk and fonts-arphic-uming.

Usage: make_images.py OUTDIR
"""
import os
import sys

from PIL import Image, ImageDraw, ImageFont

NOTO = '/usr/share/fonts/opentype/noto/'
SANS = NOTO + 'NotoSansCJK-Regular.ttc'
SERIF = NOTO + 'NotoSerifCJK-Regular.ttc'
SC, TC = 2, 3


def line(text, path, index, size, fg, bg, margin=4):
    font = ImageFont.truetype(path, size, index=index)
    left, top, right, bottom = font.getbbox(text)
    img = Image.new('RGB', (right - left + 2 * margin, bottom - top + 2 * margin), bg)
    ImageDraw.Draw(img).text((margin - left, margin - top), text, font=font, fill=fg)
    return img


def vertical(text, path, index, size, fg, bg, margin=5):
    font = ImageFont.truetype(path, size, index=index)
    step = size + size // 8
    img = Image.new('RGB', (size + 2 * margin, len(text) * step + 2 * margin), bg)
    d = ImageDraw.Draw(img)
    for i, c in enumerate(text):
        left, top, right, _ = font.getbbox(c)
        d.text((margin + (size - (right - left)) // 2 - left, margin + i * step), c, font=font,
               fill=fg)
    return img


def block(lines, path, index, size, fg, bg, margin=6):
    font = ImageFont.truetype(path, size, index=index)
    gap = size // 2
    w = max(font.getbbox(t)[2] for t in lines) + 2 * margin
    img = Image.new('RGB', (w, len(lines) * (size + gap) + 2 * margin), bg)
    d = ImageDraw.Draw(img)
    for i, t in enumerate(lines):
        d.text((margin, margin + i * (size + gap)), t, font=font, fill=fg)
    return img


BLACK, WHITE = (0, 0, 0), (255, 255, 255)
out = sys.argv[1]
os.makedirs(out, exist_ok=True)
line('中华人民共和国', SANS, SC, 12, BLACK, WHITE).save(out + '/small.png')
line('今天天气很好', SERIF, SC, 22, (30, 30, 30), (245, 245, 240)).save(out + '/normal.png')
line('学习中文', SANS, SC, 16, (235, 235, 235), (35, 40, 60)).save(out + '/inverted.png')
vertical('春眠不觉晓', SANS, SC, 24, BLACK, WHITE).save(out + '/vertical.png')
line('繁體中文', SANS, TC, 20, BLACK, WHITE).save(out + '/traditional.png')
block(['我们明天见', '图书馆开门'], SANS, SC, 20, BLACK, WHITE).save(out + '/block.png')
line('电脑', SANS, SC, 18, BLACK, WHITE).convert('RGB').save(out + '/word.jpg', quality=90)
# A transparent ground, as a copied image may have.
t = Image.new('RGBA', (90, 34), (0, 0, 0, 0))
ImageDraw.Draw(t).text((5, 2), '苹果', font=ImageFont.truetype(SANS, 24, index=SC), fill=BLACK)
t.save(out + '/transparent.png')
# Without Chinese text: one colour, and Latin letters.
Image.new('RGB', (200, 50), (200, 210, 220)).save(out + '/blank.png')
latin = ImageFont.truetype('/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf', 18)
l = Image.new('RGB', (150, 30), WHITE)
ImageDraw.Draw(l).text((5, 3), 'Hello, world', font=latin, fill=BLACK)
l.save(out + '/latin.png')
