# Shared steps of the Registration, Setting and Backup end-to-end tests: a configuration
# with known settings and members, a data file with known records, and the start of the
# program up to its main window. Source it after lib.bash.

export QUELMA_CARD_DIR="$E2E_DIR/cards"

# QUELMA.CFG: sound off, the card system as given, Fast mode 0.030/0.080, COM3 (nothing is
# linked there) at 115200, and the members given as ID:NAME pairs.
write_settings_config() { # use_id_card member...
    local card="$1"
    shift
    python3 - "$INSTALL/QUELMA.CFG" "$card" "$@" <<'PY'
import struct, sys
path, card, members = sys.argv[1], int(sys.argv[2]), sys.argv[3:]
data = struct.pack("<4i2f3i", 0, card, 0, 0, 0.03, 0.08, 2, 7, len(members))
for m in members:
    mid, name = m.split(":")
    data += mid.encode().ljust(10, b"\0") + name.encode().ljust(20, b"\0") + bytes(6)
    data += struct.pack("<i", 1)
open(path, "wb").write(data)
PY
}

# The settings of QUELMA.CFG as "name=value" words, then "ID/Name" of each member.
config_summary() {
    python3 - "$INSTALL/QUELMA.CFG" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
sound, card, cam, mode, low, hi, port, speed, count = struct.unpack_from("<4i2f3i", data)
print("sound=%d card=%d cam=%d mode=%d low=%.3f hi=%.3f port=%d speed=%d count=%d" %
      (sound, card, cam, mode, low, hi, port, speed, count))
for i in range(count):
    e = data[36 + 40 * i: 76 + 40 * i]
    text = lambda b: b.split(b"\0")[0].decode("latin-1")
    print("%s/%s" % (text(e[0:10]), text(e[10:30])))
PY
}

# A data file of the current year with records stamped at local noon of the given dates.
write_data_records() { # YYYY-MM-DD...
    python3 - "$INSTALL/Data/$DATA_NAME" "$@" <<'PY'
import struct, sys, time
path, dates = sys.argv[1], sys.argv[2:]
data = struct.pack("<2i", len(dates), 1234567890)
for n, d in enumerate(dates):
    y, m, day = map(int, d.split("-"))
    t = int(time.mktime((y, m, day, 12, 0, 0, 0, 0, -1)))
    rec = b"M001".ljust(10, b"\0") + b"Alice".ljust(20, b"\0") + bytes(10)
    rec += struct.pack("<q4B3f4Bi", t, 1, 0, 1, 0, 0.03, 0.08, 0.01, 0, 0, 0, 0, n + 1)
    data += rec
open(path, "wb").write(data)
PY
}

# Starts the program with no analyzer attached and waits for its main window.
start_to_main_window() {
    start_quelma
    answer_no_port_search
    wd wait-window "- Quelma" 20000 >/dev/null || fail "no main window"
}

# Waits for a message box containing TEXT and presses OK on it.
expect_message() { # text [ms]
    wd answer "$1" ok "${2:-10000}" >/dev/null || fail "no message '$1'"
}
