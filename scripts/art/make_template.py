"""Writes install/Resources/QuelmaForm.xls, the workbook template of the spreadsheet export:
an Excel 97-2003 workbook (BIFF8 records in an OLE2 compound file) with one sheet "Result",
the title in row 1 and the ten column headings in row 2. The export pokes from row 3 on.
Standard library only; the output is the same bytes on every run."""
import os
import struct

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), '..', '..'))
OUT = os.path.join(ROOT, 'install', 'Resources', 'QuelmaForm.xls')

TITLE = 'Quelma - Alcohol Analyzer Interface'
HEADINGS = ['NO', 'ID', 'Name', 'Result', 'Date', 'Time', 'Mode', 'Low', 'Hi', 'Photo']
WIDTHS = [7, 10, 20, 12, 10, 10, 8, 8, 8, 45]  # characters, as the result list's columns
SHEET = 'Result'

XF_DEFAULT = 15  # the default cell format follows the 15 style formats
XF_TITLE = 16
XF_HEADING = 17


def record(rid, data=b''):
    return struct.pack('<HH', rid, len(data)) + data


def short_string(text):
    """XLUnicodeString with an 8-bit length, compressed (Latin-1) characters."""
    raw = text.encode('latin-1')
    return struct.pack('<BB', len(raw), 0) + raw


def long_string(text):
    raw = text.encode('latin-1')
    return struct.pack('<HB', len(raw), 0) + raw


def bof(kind):
    # BIFF8, build 3515 of 1996, file history flags 0, lowest version 6.
    return record(0x0809, struct.pack('<HHHHII', 0x0600, kind, 0x0DBB, 0x07CC, 0, 6))


def font(bold):
    return record(0x0031, struct.pack('<HHHHHBBBB', 200, 1 if bold else 0, 0x7FFF, 700 if bold else 400, 0,
                                      0, 0, 0, 0) + short_string('Arial'))


def xf(font_index, style, used=0):
    type_prot = 0xFFF5 if style else 0x0001  # style: locked, no parent; cell: parent 0
    return record(0x00E0, struct.pack('<HHHBBBBIIH', font_index, 0, type_prot, 0x20, 0, 0,
                                      used, 0, 0, 0x20C0))


def globals_stream(sheet_offset, strings):
    sst_body = struct.pack('<II', len(strings) + 0, len(strings))
    offsets = []
    for s in strings:
        offsets.append(len(sst_body))
        sst_body += long_string(s)
    parts = [
        bof(0x0005),
        record(0x0042, struct.pack('<H', 1200)),  # code page: UTF-16 (BIFF8 texts)
        record(0x003D, struct.pack('<HHHHHHHHH', 0, 0, 0x3A98, 0x2328, 0x0038, 0, 0, 1, 0x0258)),
        record(0x0022, struct.pack('<H', 0)),  # dates from 1900
    ]
    # Font 4 does not exist in BIFF: five records give indices 0, 1, 2, 3 and 5.
    parts += [font(False) for _ in range(4)] + [font(True)]
    parts += [xf(0, True)] + [xf(0, True) for _ in range(14)]
    parts += [xf(0, False), xf(5, False, 0x08), xf(5, False, 0x08)]
    parts.append(record(0x0293, struct.pack('<HBB', 0x8000, 0, 0xFF)))  # built-in "Normal"
    boundsheet_at = sum(len(p) for p in parts)
    parts.append(record(0x0085, struct.pack('<IBB', sheet_offset, 0, 0) + short_string(SHEET)))
    sst_at = sum(len(p) for p in parts)
    parts.append(record(0x00FC, sst_body))
    # EXTSST: one bucket of 8 strings each, pointing at its first string.
    buckets = b''
    for i in range(0, len(strings), 8):
        buckets += struct.pack('<IHH', sst_at + 4 + offsets[i], 4 + offsets[i], 0)
    parts.append(record(0x00FF, struct.pack('<H', 8) + buckets))
    parts.append(record(0x000A))
    return b''.join(parts), boundsheet_at


def sheet_stream(cells):
    parts = [bof(0x0010)]
    parts.append(record(0x0200, struct.pack('<IIHHH', 0, 2, 0, len(HEADINGS), 0)))
    for col, width in enumerate(WIDTHS):
        parts.append(record(0x007D, struct.pack('<HHHHHH', col, col, width * 256 + 182,
                                                XF_DEFAULT, 0, 0)))
    for row in range(2):
        parts.append(record(0x0208, struct.pack('<HHHHHHI', row, 0, len(HEADINGS), 0x00FF, 0,
                                                0, 0x0100)))
    for row, col, xf_index, sst_index in cells:
        parts.append(record(0x00FD, struct.pack('<HHHI', row, col, xf_index, sst_index)))
    parts.append(record(0x023E, struct.pack('<HHHIHHI', 0x06B6, 0, 0, 64, 0, 0, 0)))
    parts.append(record(0x000A))
    return b''.join(parts)


def workbook_stream():
    strings = [TITLE] + HEADINGS
    cells = [(0, 0, XF_TITLE, 0)] + [(1, c, XF_HEADING, c + 1) for c in range(len(HEADINGS))]
    # The sheet's offset is known once the globals are laid out; their size does not depend
    # on it.
    globals_bytes, _ = globals_stream(0, strings)
    globals_bytes, _ = globals_stream(len(globals_bytes), strings)
    return globals_bytes + sheet_stream(cells)


# --- OLE2 compound file, version 3: 512-byte sectors -------------------------------------
SECTOR = 512
FREESECT, ENDOFCHAIN, FATSECT, NOSTREAM = 0xFFFFFFFF, 0xFFFFFFFE, 0xFFFFFFFD, 0xFFFFFFFF


def dir_entry(name, kind, child, start, size):
    if name is None:
        return struct.pack('<64sHBBIII16sIQQIII', b'', 0, 0, 0, NOSTREAM, NOSTREAM, NOSTREAM,
                           b'', 0, 0, 0, 0, 0, 0)
    raw = (name + '\0').encode('utf-16-le')
    return struct.pack('<64sHBBIII16sIQQIII', raw, len(raw), kind, 1, NOSTREAM, NOSTREAM, child,
                       b'', 0, 0, 0, start, size, 0)


def compound_file(stream):
    # Streams under 4096 bytes would go to the mini stream; padding keeps this one regular.
    stream = stream + b'\0' * max(0, 4096 - len(stream))
    stream_sectors = (len(stream) + SECTOR - 1) // SECTOR
    stream = stream + b'\0' * (stream_sectors * SECTOR - len(stream))
    dir_sector = 1 + stream_sectors
    fat = [FATSECT] + [i + 2 for i in range(stream_sectors - 1)] + [ENDOFCHAIN, ENDOFCHAIN]
    assert len(fat) <= SECTOR // 4
    fat += [FREESECT] * (SECTOR // 4 - len(fat))

    header = b'\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1' + b'\0' * 16
    header += struct.pack('<HHHHH', 0x003E, 0x0003, 0xFFFE, 9, 6) + b'\0' * 6
    header += struct.pack('<IIIIIIIII', 0, 1, dir_sector, 0, 4096, ENDOFCHAIN, 0, ENDOFCHAIN, 0)
    header += struct.pack('<I', 0) + struct.pack('<I', FREESECT) * 108
    assert len(header) == SECTOR

    directory = (dir_entry('Root Entry', 5, 1, ENDOFCHAIN, 0) +
                 dir_entry('Workbook', 2, NOSTREAM, 1, len(stream)) +
                 dir_entry(None, 0, 0, 0, 0) * 2)
    assert len(directory) == SECTOR
    return header + struct.pack('<%dI' % len(fat), *fat) + stream + directory


def main():
    data = compound_file(workbook_stream())
    os.makedirs(os.path.dirname(OUT), exist_ok=True)
    with open(OUT, 'wb') as f:
        f.write(data)
    print('%s: %d bytes' % (OUT, len(data)))


if __name__ == '__main__':
    main()
