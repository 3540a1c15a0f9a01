#!/usr/bin/env python3
"""QUELMA.CFG and data files for the end-to-end tests: written from plain arguments, read
back as text. The layouts are the program's: 36 bytes of settings and 40 per member; an
8-byte header (count, marker) and 72 bytes per record.

  quelma_files.py config PATH SOUND CARD CAM MODE LOW HI PORT SPEED [ID:NAME ...]
  quelma_files.py config-summary PATH       settings as name=value words, then ID/Name lines
  quelma_files.py set-int PATH OFFSET VALUE  one 32-bit field changed
  quelma_files.py data PATH [ID:NAME:MODE:LEVEL:VALUE:TIME ...]   TIME: seconds, or
                  YYYY-MM-DD for local noon, or YYYY-MM-DDZ for noon UTC
  quelma_files.py record PATH INDEX          one record as name=value lines
"""
import calendar
import struct
import sys
import time

MARKER = 1234567890
SETTINGS = struct.Struct("<4i2f3i")
RECORD = struct.Struct("<10s20s4s6sqBBBBfffB3si")


def text(b):
    return b.split(b"\0")[0].decode("latin-1")


def member_bytes(pair):
    mid, name = pair.split(":", 1)
    return mid.encode().ljust(10, b"\0") + name.encode().ljust(20, b"\0") + bytes(6) + \
        struct.pack("<i", 1)


def write_config(path, sound, card, cam, mode, low, hi, port, speed, *members):
    data = SETTINGS.pack(int(sound), int(card), int(cam), int(mode), float(low), float(hi),
                         int(port), int(speed), len(members))
    data += b"".join(member_bytes(m) for m in members)
    open(path, "wb").write(data)


def config_summary(path):
    data = open(path, "rb").read()
    sound, card, cam, mode, low, hi, port, speed, count = SETTINGS.unpack_from(data)
    print("sound=%d card=%d cam=%d mode=%d low=%.3f hi=%.3f port=%d speed=%d count=%d" %
          (sound, card, cam, mode, low, hi, port, speed, count))
    for i in range(count):
        e = data[36 + 40 * i: 76 + 40 * i]
        print("%s/%s" % (text(e[0:10]), text(e[10:30])))


def set_int(path, offset, value):
    data = bytearray(open(path, "rb").read())
    data[int(offset):int(offset) + 4] = struct.pack("<i", int(value))
    open(path, "wb").write(data)


def seconds(when):
    if "-" not in when:
        return int(when)
    utc = when.endswith("Z")
    y, m, d = map(int, when.rstrip("Z").split("-"))
    if utc:
        return calendar.timegm((y, m, d, 12, 0, 0))
    return int(time.mktime((y, m, d, 12, 0, 0, 0, 0, -1)))


def write_data(path, *records):
    data = struct.pack("<iI", len(records), MARKER)
    for n, record in enumerate(records):
        mid, name, mode, level, value, when = record.split(":")
        data += RECORD.pack(mid.encode(), name.encode(), b"", b"", seconds(when), int(mode),
                            int(level), 1, 0, 0.03, 0.08, float(value), 0, b"", n)
    open(path, "wb").write(data)


def records(path):
    """Every record of a data file as a dict, in storage order."""
    data = open(path, "rb").read()
    count, = struct.unpack_from("<i", data, 0)
    out = []
    for i in range(count):
        r = data[8 + 72 * i: 8 + 72 * (i + 1)]
        if len(r) < 72:
            break
        t, = struct.unpack_from("<q", r, 40)
        low, hi, value = struct.unpack_from("<3f", r, 52)
        out.append(dict(id=text(r[0:10]), name=text(r[10:30]), time=t, mode=r[48],
                        level=r[49], unit=r[50], low=low, hi=hi, value=value, photo=r[64],
                        number=struct.unpack_from("<i", r, 68)[0]))
    return count, len(data), out


def photo_name(r):
    """The photo file name the program gives a record: "<Name>_Y_MM_DD_AM|PM_hh_mm_ss.bmp"."""
    tm = time.localtime(r["time"])
    h = tm.tm_hour
    return "%s_%d_%02d_%02d_%s_%02d_%02d_%02d.bmp" % (
        r["name"], tm.tm_year, tm.tm_mon, tm.tm_mday, "PM" if h >= 12 else "AM",
        h - 12 if h >= 12 else h, tm.tm_min, tm.tm_sec)


def print_record(path, index):
    r = records(path)[2][int(index)]
    print("id=%s" % r["id"])
    print("name=%s" % r["name"])
    print("mode=%d level=%d unit=%d" % (r["mode"], r["level"], r["unit"]))
    print("low=%.3f hi=%.3f value=%.3f" % (r["low"], r["hi"], r["value"]))
    print("photo=%d number=%d" % (r["photo"], r["number"]))
    print("time=%d" % r["time"])
    print("photofile=%s" % photo_name(r))


COMMANDS = {"config": write_config, "config-summary": config_summary, "set-int": set_int,
            "data": write_data, "record": print_record}

if __name__ == "__main__":
    if len(sys.argv) < 3 or sys.argv[1] not in COMMANDS:
        sys.exit(__doc__)
    COMMANDS[sys.argv[1]](*sys.argv[2:])
