"""Draws the main window's pictures (icon, toolbar strips) into src/res/art and the install
folder's run-time files (logo, sounds, placeholders) into install/Resources."""
import math
import os
import struct
import sys

sys.path.insert(0, os.path.dirname(__file__))
from bmp import Canvas  # noqa: E402

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), '..', '..'))
ART = os.path.join(ROOT, 'src', 'res', 'art')
RESOURCES = os.path.join(ROOT, 'install', 'Resources')

GREY = (192, 192, 192)  # transparent in the toolbar strips
NAVY = (20, 40, 110)
BLUE = (40, 90, 200)
RED = (200, 30, 30)
GREEN = (30, 140, 60)
WHITE = (255, 255, 255)
BLACK = (0, 0, 0)
SKIN = (230, 190, 150)
YELLOW = (240, 200, 40)


def icon_registration(c, x, y, accent):
    c.disc(x + 30, y + 16, 9, SKIN)
    c.polygon([(x + 16, y + 40), (x + 20, y + 27), (x + 40, y + 27), (x + 44, y + 40)], accent)
    c.rect(x + 50, y + 14, x + 80, y + 38, WHITE)
    c.frame(x + 50, y + 14, x + 80, y + 38, NAVY)
    c.rect(x + 54, y + 19, x + 66, y + 22, NAVY)
    c.rect(x + 54, y + 25, x + 76, y + 27, NAVY)
    c.rect(x + 54, y + 30, x + 72, y + 32, NAVY)


def icon_measure(c, x, y, accent):
    c.rect(x + 38, y + 6, x + 58, y + 40, accent)
    c.rect(x + 42, y + 10, x + 54, y + 22, (170, 230, 170))
    c.rect(x + 44, y + 26, x + 52, y + 30, WHITE)
    c.rect(x + 45, y + 0, x + 51, y + 6, WHITE)
    for i, r in enumerate((6, 9, 12)):
        c.ring(x + 48, y + 2, r + 8, 2, (120, 160, 255) if i % 2 else (80, 120, 230))


def icon_result(c, x, y, accent):
    c.rect(x + 24, y + 4, x + 72, y + 42, WHITE)
    c.frame(x + 24, y + 4, x + 72, y + 42, NAVY)
    for i in range(5):
        c.rect(x + 28, y + 9 + i * 6, x + 68, y + 11 + i * 6, accent if i == 0 else (100, 100, 100))


def icon_setting(c, x, y, accent):
    cx, cy = x + 48, y + 22
    for k in range(8):
        a = k * math.pi / 4
        pts = []
        for da, r in ((-0.2, 12), (-0.15, 19), (0.15, 19), (0.2, 12)):
            pts.append((cx + r * math.cos(a + da), cy + r * math.sin(a + da)))
        c.polygon(pts, accent)
    c.disc(cx, cy, 14, accent)
    c.disc(cx, cy, 6, GREY)


def icon_backup(c, x, y, accent):
    c.rect(x + 30, y + 4, x + 66, y + 40, accent)
    c.rect(x + 36, y + 4, x + 60, y + 16, (220, 220, 220))
    c.rect(x + 52, y + 6, x + 57, y + 14, accent)
    c.rect(x + 35, y + 24, x + 61, y + 40, WHITE)


def icon_exit(c, x, y, accent):
    c.rect(x + 24, y + 4, x + 50, y + 42, (150, 100, 60))
    c.rect(x + 28, y + 8, x + 46, y + 42, (90, 60, 30))
    c.polygon([(x + 52, y + 18), (x + 64, y + 18), (x + 64, y + 12), (x + 76, y + 23),
               (x + 64, y + 34), (x + 64, y + 28), (x + 52, y + 28)], accent)


ICONS = [("Registration", icon_registration, BLUE), ("Measure", icon_measure, GREEN),
         ("Result", icon_result, BLUE), ("Setting", icon_setting, (110, 110, 120)),
         ("Backup", icon_backup, NAVY), ("Exit", icon_exit, RED)]


def toolbar_strip(height, count, variant):
    c = Canvas(96 * count, height, GREY)
    for i, (caption, draw, accent) in enumerate(ICONS[:count]):
        x = i * 96
        if variant == 'hot':
            c.rect(x + 3, 1, x + 93, height - 1, (210, 225, 250))
            accent = tuple(min(255, v + 40) for v in accent)
        draw(c, x, 2, accent)
        c.text_centred(x + 48, height - 10, caption, NAVY if variant != 'hot' else BLUE)
    if variant == 'disabled':
        for row in c.px:
            for i, p in enumerate(row):
                if p != GREY:
                    g = (p[0] + p[1] + p[2]) // 3
                    row[i] = (128 + g // 4,) * 3 if g < 200 else (160, 160, 160)
    return c


def write_icon(path):
    size = 32
    c = Canvas(size, size, (0, 0, 0))
    c.disc(16, 16, 15, NAVY)
    c.rect(13, 6, 19, 22, WHITE)
    c.rect(11, 22, 21, 26, WHITE)
    c.rect(14, 9, 18, 18, (120, 220, 120))
    pixels = b''
    for y in range(size - 1, -1, -1):
        for x in range(size):
            inside = (x + 0.5 - 16) ** 2 + (y + 0.5 - 16) ** 2 <= 15.5 ** 2
            r, g, b = c.px[y][x]
            pixels += bytes((b, g, r, 255 if inside else 0))
    mask = b''
    for y in range(size - 1, -1, -1):
        bits = 0
        for x in range(size):
            inside = (x + 0.5 - 16) ** 2 + (y + 0.5 - 16) ** 2 <= 15.5 ** 2
            bits = (bits << 1) | (0 if inside else 1)
        mask += struct.pack('>I', bits)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, len(pixels) + len(mask), 0, 0, 0, 0)
    image = header + pixels + mask
    with open(path, 'wb') as f:
        f.write(struct.pack('<HHH', 0, 1, 1))
        f.write(struct.pack('<BBBBHHII', size, size, 0, 0, 1, 32, len(image), 6 + 16))
        f.write(image)


def write_wave(path, tones, rate=11025):
    """8-bit mono PCM wave of (frequency, seconds) tones."""
    data = bytearray()
    for freq, seconds in tones:
        n = int(rate * seconds)
        for i in range(n):
            fade = min(1.0, i / 200, (n - i) / 200)
            data.append(128 + int(90 * fade * math.sin(2 * math.pi * freq * i / rate)) if freq else 128)
    fmt = struct.pack('<HHIIHH', 1, 1, rate, rate, 1, 8)
    with open(path, 'wb') as f:
        f.write(b'RIFF' + struct.pack('<I', 4 + 8 + len(fmt) + 8 + len(data)) + b'WAVE')
        f.write(b'fmt ' + struct.pack('<I', len(fmt)) + fmt)
        f.write(b'data' + struct.pack('<I', len(data)) + bytes(data))


def logo():
    c = Canvas(480, 200, (1, 1, 1))
    c.ring(90, 100, 70, 6, (60, 120, 230))
    c.rect(80, 50, 100, 125, (230, 230, 240))
    c.rect(72, 125, 108, 140, (230, 230, 240))
    c.rect(85, 70, 95, 110, (90, 210, 120))
    c.text(180, 60, "QUELMA", (230, 230, 240), 6)
    c.text(182, 118, "ALCOHOL ANALYZER", (90, 150, 240), 2)
    c.text(182, 140, "INTERFACE", (90, 150, 240), 2)
    return c


def placeholder(caption, person):
    c = Canvas(320, 240, (90, 90, 100))
    if person:
        c.disc(160, 90, 42, (200, 200, 210))
        c.polygon([(80, 240), (100, 160), (220, 160), (240, 240)], (200, 200, 210))
    c.text_centred(160, 214 if person else 112, caption, WHITE, 2)
    return c


def main():
    os.makedirs(ART, exist_ok=True)
    os.makedirs(RESOURCES, exist_ok=True)
    write_icon(os.path.join(ART, 'quelma.ico'))
    toolbar_strip(58, 6, 'normal').save24(os.path.join(ART, 'toolbar_normal.bmp'))
    toolbar_strip(58, 6, 'hot').save24(os.path.join(ART, 'toolbar_hot.bmp'))
    toolbar_strip(58, 6, 'disabled').save24(os.path.join(ART, 'toolbar_disabled.bmp'))
    strip16 = Canvas(768, 54, GREY)
    strip16.paste(toolbar_strip(54, 6, 'normal'), 0, 0)
    strip16.save4(os.path.join(ART, 'toolbar16.bmp'))
    logo().save24(os.path.join(RESOURCES, 'quelmalogo.bmp'))
    placeholder("NO IMAGE", False).save24(os.path.join(RESOURCES, 'NO_image.bmp'))
    placeholder("NO PHOTO", True).save24(os.path.join(RESOURCES, 'person.bmp'))
    write_wave(os.path.join(RESOURCES, 'START'), [(660, 0.12), (0, 0.04), (880, 0.18)])
    write_wave(os.path.join(RESOURCES, 'Shutter'), [(2200, 0.03), (0, 0.03), (1800, 0.04)])


if __name__ == '__main__':
    main()
