"""Draws the dialog button pictures and the header's sort arrows into src/res/art.

Every picture is painted on the classic beige button face RGB(236,233,216): the program
repaints exactly that colour in the system's button face colour, so nothing else in a
picture may use it. Sizes: the big buttons 64 x 48, the member-pick button 32 x 24, the
arrows 14 x 12 in 16 colours."""
import os
import struct
import sys

sys.path.insert(0, os.path.dirname(__file__))
from bmp import Canvas  # noqa: E402

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), '..', '..'))
ART = os.path.join(ROOT, 'src', 'res', 'art')

FACE = (236, 233, 216)
BLACK = (0, 0, 0)
WHITE = (255, 255, 255)
NAVY = (20, 40, 110)
BLUE = (40, 90, 200)
RED = (200, 30, 30)
GREEN = (30, 140, 60)
DARK_GREEN = (20, 100, 40)
GREY = (110, 110, 110)
LIGHT = (200, 200, 200)
YELLOW = (235, 190, 50)
PURE_RED = (255, 0, 0)

BIG = (64, 48)
SMALL = (32, 24)


def caption(c, word, colour=NAVY):
    c.text_centred(c.w // 2, 37, word, colour)


def floppy(c, x, y, s, body=BLUE):
    """A disk of s x s pixels at (x, y)."""
    c.rect(x, y, x + s, y + s, body)
    c.rect(x + s // 4, y, x + s - s // 4, y + s * 3 // 8, LIGHT)
    c.rect(x + s * 5 // 8, y + s // 16, x + s * 5 // 8 + max(1, s // 8), y + s * 5 // 16, body)
    c.rect(x + s // 6, y + s // 2, x + s - s // 6, y + s, WHITE)
    c.rect(x + s // 4, y + s * 5 // 8, x + s - s // 4, y + s * 5 // 8 + 1, GREY)
    c.rect(x + s // 4, y + s * 6 // 8, x + s - s // 4, y + s * 6 // 8 + 1, GREY)


def backup():
    c = Canvas(*BIG, FACE)
    floppy(c, 10, 6, 24)
    c.polygon([(38, 14), (48, 14), (48, 9), (56, 18), (48, 27), (48, 22), (38, 22)], GREEN)
    caption(c, 'BACKUP')
    return c


def exit_():
    c = Canvas(*BIG, FACE)
    c.rect(14, 6, 30, 32, GREY)
    c.rect(16, 8, 28, 30, NAVY)
    c.polygon([(26, 16), (40, 16), (40, 10), (52, 19), (40, 28), (40, 22), (26, 22)], RED)
    caption(c, 'EXIT')
    return c


def delete():
    c = Canvas(*BIG, FACE)
    for d in range(-2, 3):
        for i in range(22):
            c.set(21 + i + d, 7 + i, RED)
            c.set(42 - i + d, 7 + i, RED)
    caption(c, 'DELETE')
    return c


def register():
    c = Canvas(*BIG, FACE)
    c.polygon([(16, 18), (22, 12), (29, 20), (45, 5), (51, 11), (29, 31)], GREEN)
    caption(c, 'OK')
    return c


def member():
    c = Canvas(*SMALL, FACE)
    floppy(c, 6, 2, 20)
    return c


def start():
    c = Canvas(*BIG, FACE)
    c.polygon([(22, 5), (22, 33), (46, 19)], DARK_GREEN)
    caption(c, 'START')
    return c


def file_():
    c = Canvas(*BIG, FACE)
    c.rect(14, 8, 28, 13, YELLOW)
    c.rect(14, 12, 50, 32, YELLOW)
    c.frame(14, 12, 50, 32, (150, 110, 20))
    caption(c, 'FILE')
    return c


def filter_ok():
    c = Canvas(*BIG, FACE)
    c.polygon([(14, 6), (50, 6), (36, 20), (36, 31), (28, 34), (28, 20)], BLUE)
    c.polygon([(40, 24), (44, 20), (47, 24), (55, 15), (59, 19), (47, 31)], GREEN)
    caption(c, 'FILTER')
    return c


def print_():
    c = Canvas(*BIG, FACE)
    c.rect(22, 4, 42, 14, WHITE)
    c.frame(22, 4, 42, 14, GREY)
    c.rect(14, 14, 50, 28, GREY)
    c.rect(20, 24, 44, 34, WHITE)
    c.frame(20, 24, 44, 34, GREY)
    c.rect(44, 17, 47, 19, GREEN)
    caption(c, 'PRINT')
    return c


def export():
    c = Canvas(*BIG, FACE)
    c.rect(16, 4, 48, 34, WHITE)
    c.frame(16, 4, 48, 34, DARK_GREEN)
    c.rect(16, 4, 48, 10, GREEN)
    for x in (24, 32, 40):
        c.rect(x, 4, x + 1, 34, DARK_GREEN)
    for y in (16, 22, 28):
        c.rect(16, y, 48, y + 1, DARK_GREEN)
    caption(c, 'EXPORT', DARK_GREEN)
    return c


def csv():
    """A page of comma-separated lines with a folded corner."""
    c = Canvas(*BIG, FACE)
    c.polygon([(18, 3), (40, 3), (47, 10), (47, 34), (18, 34)], WHITE)
    c.frame(18, 3, 47, 34, GREY)
    c.polygon([(40, 3), (47, 10), (40, 10)], LIGHT)
    for y in (9, 15, 21, 27):
        for x0, x1 in ((21, 26), (29, 35), (38, 44)):
            if y == 9 and x0 == 38:
                continue
            c.rect(x0, y, x1, y + 2, NAVY if y == 9 else GREY)
        for x in (27, 36):
            if y == 9 and x == 36:
                continue
            c.rect(x, y + 2, x + 1, y + 4, RED)
    caption(c, 'CSV')
    return c


def arrow(up):
    """The sort arrow: a pure-red triangle five rows high centred on column 7, rows 4-8."""
    c = Canvas(14, 12, FACE)
    for k in range(5):
        half = k if up else 4 - k
        c.rect(7 - half, 4 + k, 8 + half, 5 + k, PURE_RED)
    return c


# The arrows' 16 colours: the face and the red must be exact, which the standard palette
# lacks, so they take the first two entries.
ARROW_PALETTE = [FACE, PURE_RED, BLACK, WHITE, (128, 0, 0), (0, 128, 0), (128, 128, 0),
                 (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192), (128, 128, 128),
                 (0, 255, 0), (255, 255, 0), (0, 0, 255), (0, 255, 255)]


def save4_exact(c, path, palette):
    """A 16-colour BMP whose every pixel is an exact palette entry."""
    index = {colour: i for i, colour in enumerate(palette)}
    stride = ((c.w + 1) // 2 + 3) & ~3
    rows = []
    for y in range(c.h - 1, -1, -1):
        idx = [index[p] for p in c.px[y]]
        if len(idx) % 2:
            idx.append(0)
        row = bytes((idx[i] << 4) | idx[i + 1] for i in range(0, len(idx), 2))
        rows.append(row + b'\0' * (stride - len(row)))
    image = b''.join(rows)
    colours = b''.join(bytes((b, g, r, 0)) for (r, g, b) in palette)
    header = struct.pack('<IiiHHIIiiII', 40, c.w, c.h, 1, 4, 0, len(image), 2835, 2835, 16, 16)
    with open(path, 'wb') as f:
        f.write(struct.pack('<2sIHHI', b'BM', 14 + 40 + 64 + len(image), 0, 0, 54 + 64))
        f.write(header + colours + image)


PICTURES = [
    ('button_backup.bmp', backup),      # 187
    ('button_exit.bmp', exit_),         # 188
    ('button_delete.bmp', delete),      # 189
    ('button_register.bmp', register),  # 190
    ('button_member.bmp', member),      # 191
    ('button_start.bmp', start),        # 192
    ('button_file.bmp', file_),         # 193
    ('button_filter.bmp', filter_ok),   # 194
    ('button_print.bmp', print_),       # 195
    ('button_export.bmp', export),      # 196
    ('button_csv.bmp', csv),            # 198
]


def main():
    os.makedirs(ART, exist_ok=True)
    for name, draw in PICTURES:
        draw().save24(os.path.join(ART, name))
    save4_exact(arrow(True), os.path.join(ART, 'sort_up.bmp'), ARROW_PALETTE)      # 134
    save4_exact(arrow(False), os.path.join(ART, 'sort_down.bmp'), ARROW_PALETTE)   # 186


if __name__ == '__main__':
    main()
