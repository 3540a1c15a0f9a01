# Shared steps of the Measure end-to-end tests: a configuration with known settings and
# members, the analyzer simulator linked as COM3, the stand-in reader's card folder, and
# readers of the data file. Source it after lib.bash.

SIM_DIR="$E2E_DIR/sim"
SIM_PID=""
export QUELMA_CARD_DIR="$E2E_DIR/cards"

# QUELMA.CFG: sound off, card reader and camera as given, Normal mode 0.030/0.080, COM3 at
# 115200, and the members given as ID:NAME pairs.
write_config() { # use_id_card use_webcam member...
    local card="$1" cam="$2"
    shift 2
    python3 - "$INSTALL/QUELMA.CFG" "$card" "$cam" "$@" <<'PY'
import struct, sys
path, card, cam, members = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4:]
data = struct.pack("<4i2f3i", 0, card, cam, 1, 0.03, 0.08, 2, 7, len(members))
for m in members:
    mid, name = m.split(":")
    data += mid.encode().ljust(10, b"\0") + name.encode().ljust(20, b"\0") + bytes(6)
    data += struct.pack("<i", 1)
open(path, "wb").write(data)
PY
}

start_sim() { # extra simulator options
    mkdir -p "$SIM_DIR"
    : > "$SIM_DIR/control"
    rm -f "$SIM_DIR/ready"
    "$NATIVE_BIN/quelma-analyzer-sim" --link "$WINEPREFIX/dosdevices/com3" \
        --ready "$SIM_DIR/ready" --log "$SIM_DIR/log" --control "$SIM_DIR/control" \
        --lifetime 600 "$@" >/dev/null 2>&1 &
    SIM_PID=$!
    local i
    for ((i = 0; i < 100; i++)); do
        [ -f "$SIM_DIR/ready" ] && return 0
        sleep 0.1
    done
    fail "the analyzer simulator did not come up"
}

stop_sim() {
    if [ -n "$SIM_PID" ] && kill -0 "$SIM_PID" 2>/dev/null; then
        kill "$SIM_PID" 2>/dev/null || true
        wait "$SIM_PID" 2>/dev/null || true
    fi
    SIM_PID=""
}

sim_count() { # how often TEXT is in the simulator's log
    grep -cF -- "$1" "$SIM_DIR/log" 2>/dev/null || true
}

measure_cleanup() {
    stop_sim
    e2e_cleanup
}
trap measure_cleanup EXIT

[ -x "$NATIVE_BIN/quelma-analyzer-sim" ] || fail "missing $NATIVE_BIN/quelma-analyzer-sim: build the native preset"

# Starts the program on the prepared install folder and opens the Measure dialog.
start_and_open_measure() {
    start_quelma
    wd wait-window "- Quelma" 30000 >/dev/null || fail "no main window"
    wd command "- Quelma" 32774
    wd wait-window "=Measure" 20000 >/dev/null || fail "no Measure dialog"
    # Creation ends with a one-second pause before the dialog counts as shown.
    sleep 2
}

# Polls `wd ARGS` until it prints WANT.
wait_for() { # want seconds wd-args...
    local want="$1" limit="$2" i
    shift 2
    for ((i = 0; i < limit * 10; i++)); do
        [ "$(wd "$@")" = "$want" ] && return 0
        sleep 0.1
    done
    fail "waited ${limit}s for '$want' from: $* (last: '$(wd "$@")')"
}

data_count() { le_int32 "$INSTALL/Data/$DATA_NAME" 0; }

wait_data_count() { # count seconds
    local i
    for ((i = 0; i < $2 * 10; i++)); do
        [ "$(data_count)" = "$1" ] && return 0
        sleep 0.1
    done
    fail "data file holds $(data_count) records, expected $1"
}

# One record of the data file as "field=value" lines.
record_fields() { # index
    python3 - "$INSTALL/Data/$DATA_NAME" "$1" <<'PY'
import struct, sys, time
data = open(sys.argv[1], "rb").read()
i = int(sys.argv[2])
r = data[8 + 72 * i: 8 + 72 * (i + 1)]
text = lambda b: b.split(b"\0")[0].decode("latin-1")
t, = struct.unpack_from("<q", r, 40)
mode, level, unit = r[48], r[49], r[50]
low, hi, value = struct.unpack_from("<3f", r, 52)
tm = time.localtime(t)
h = tm.tm_hour
photo = "%s_%d_%02d_%02d_%s_%02d_%02d_%02d.bmp" % (text(r[10:30]), tm.tm_year, tm.tm_mon,
    tm.tm_mday, "PM" if h >= 12 else "AM", h - 12 if h >= 12 else h, tm.tm_min, tm.tm_sec)
print("id=%s" % text(r[0:10]))
print("name=%s" % text(r[10:30]))
print("mode=%d level=%d unit=%d" % (mode, level, unit))
print("low=%.3f hi=%.3f value=%.3f" % (low, hi, value))
print("photo=%d number=%d" % (r[64], struct.unpack_from("<i", r, 68)[0]))
print("time=%d" % t)
print("photofile=%s" % photo)
PY
}

field() { # fields name
    printf '%s\n' "$1" | sed -n "s/^$2=//p"
}
