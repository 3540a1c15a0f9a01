# Shared steps of the long-running tests: the soak configuration and cards, the figures of
# the running program, and the check of the data file and both lists against what the
# driver expected. Source it after lib.bash and measure_lib.bash.

# The members of tests/tools/soak_driver.cpp, in its order; card0..card3 belong to the
# first four.
SOAK_MEMBERS=("C100:Card Zero" "C101:Card One" "C102:Card Two" "C103:Card Three"
    "T200:Typed A" "T201:Typed B" "T202:Typed C" "T203:Typed D" "P300:Picked" "p300:picked"
    "ID9CHARSX:A name of 19 chars" "Z9:Nineteen chars here")

# QUELMA.CFG: sound off, card reader and camera on, Fast mode 0.030/0.080 (only the
# configuration file can choose Fast), COM3 at 115200, the soak members.
write_soak_config() {
    quelma_files config "$INSTALL/QUELMA.CFG" 0 1 1 0 0.03 0.08 2 7 "${SOAK_MEMBERS[@]}"
}

make_soak_cards() {
    mkdir -p "$QUELMA_CARD_DIR"
    local i
    for i in 0 1 2 3; do
        "$QUELMA_ROOT/scripts/card" make "card$i" --id "${SOAK_MEMBERS[$i]%%:*}" \
            --name "${SOAK_MEMBERS[$i]#*:}" >/dev/null || fail "cannot make card$i"
    done
    "$QUELMA_ROOT/scripts/card" off >/dev/null
}

soak_driver() { wine "$WIN_BIN/soak_driver.exe" "$@" 2>&1 | tr -d '\r'; }

# The Linux process of quelma.exe in this prefix.
quelma_unix_pid() {
    local p
    for p in /proc/[0-9]*; do
        grep -q 'quelma\.exe' <<< "$({ tr '\0' ' ' <"$p/cmdline"; } 2>/dev/null)" || continue
        grep -qx "WINEPREFIX=$WINEPREFIX" <<< "$({ tr '\0' '\n' <"$p/environ"; } 2>/dev/null)" || continue
        echo "${p#/proc/}"
        return 0
    done
    return 1
}

# One line of figures: what Windows calls report, then the Linux process's.
program_figures() {
    local pid rss fds threads
    pid="$(quelma_unix_pid)" || fail "cannot find the program's process"
    rss="$(awk '/^VmRSS:/ {print $2}' "/proc/$pid/status")"
    threads="$(awk '/^Threads:/ {print $2}' "/proc/$pid/status")"
    fds="$(find "/proc/$pid/fd" -mindepth 1 -maxdepth 1 2>/dev/null | wc -l)"
    echo "$(soak_driver stats) vmrss_kb=$rss fds=$fds threads=$threads"
}

figure() { # line name
    printf '%s\n' "$1" | tr ' ' '\n' | sed -n "s/^$2=//p"
}

# Growth of one figure between two lines must stay within a bound. A figure that was not
# measured (n/a) fails: a check that could not run must not pass.
check_growth() { # start end name bound
    local a b
    a="$(figure "$1" "$3")"
    b="$(figure "$2" "$3")"
    [ -n "$a" ] && [ -n "$b" ] || fail "figure $3 missing"
    [ "$a" != n/a ] && [ "$b" != n/a ] || fail "figure $3 not measured ($a, $b)"
    [ $((b - a)) -le "$4" ] || fail "$3 grew from $a to $b (bound +$4)"
}

# The data file against expected.tsv, and the dumps of the Measure and Result lists against
# the data file. Prints a summary.
check_soak_records() { # expected measure-dump result-dump
    python3 - "$QUELMA_ROOT/tests/e2e" "$INSTALL/Data/$DATA_NAME" "$@" <<'PY'
import struct, sys, time
sys.path.insert(0, sys.argv[1])
from quelma_files import records as read_records, photo_name
data_path, expected_path, measure_path, result_path = sys.argv[2:6]
f32 = lambda x: struct.unpack("<f", struct.pack("<f", x))[0]
problems = []
def bad(msg):
    problems.append(msg)
    if len(problems) > 20:
        print("\n".join(problems)); sys.exit(1)

count, size, records = read_records(data_path)
if size != 8 + 72 * count:
    bad("data file size %d for %d records" % (size, count))

expected = [l.rstrip("\n").split("\t") for l in open(expected_path) if l.strip()]
if len(expected) != count:
    bad("data file holds %d records, expected %d" % (count, len(expected)))
last_time = 0
for e in expected:
    n = int(e[0])
    if n >= count:
        break
    r = records[n]
    want = dict(id=e[1], name=e[2], mode=int(e[3]), level=int(e[4]), unit=int(e[5]),
                low=f32(float(e[6])), hi=f32(float(e[7])), value=f32(float(e[8])),
                photo=int(e[9]), number=n)
    for k, v in want.items():
        if r[k] != v:
            bad("record %d: %s is %r, expected %r" % (n, k, r[k], v))
    if not int(e[10]) <= r["time"] <= int(e[11]) or r["time"] < last_time:
        bad("record %d: time %d outside %s..%s or before the previous" % (n, r["time"], e[10], e[11]))
    last_time = r["time"]

UNITS = ("%BAC", "mg/l", "g/l")
CLASSES = ("0", "Low", "Hi")
def cells(r, row):
    tm = time.localtime(r["time"])
    photo = photo_name(r)
    result = CLASSES[r["level"]] if r["mode"] == 0 else "%.3f %s" % (r["value"], UNITS[r["unit"]])
    return [str(row + 1), r["id"], r["name"], result,
            "%02d_%02d_%02d" % (tm.tm_year - 2000, tm.tm_mon, tm.tm_mday),
            "%02d_%02d_%02d" % (tm.tm_hour, tm.tm_min, tm.tm_sec),
            ("Fast", "Normal")[r["mode"]], "%.3f" % r["low"], "%.3f" % r["hi"],
            photo if r["photo"] == 1 else ""]

def check_list(name, path, normal_low_hi):
    rows = [l.rstrip("\n").split("\t") for l in open(path, encoding="latin-1")]
    if len(rows) != count:
        bad("%s list: %d rows for %d records" % (name, len(rows), count))
    for row, got in enumerate(rows[:count]):
        r = records[count - 1 - row]
        want = cells(r, row)
        if r["mode"] != 0:
            allowed = normal_low_hi(want)
            if (got[7], got[8]) in allowed:
                want[7], want[8] = got[7], got[8]
        if got != want:
            bad("%s list row %d: %s, expected %s" % (name, row, got, want))

# The Measure list rewrites every row after a stored result: Normal rows without thresholds.
check_list("Measure", measure_path, lambda w: [("", "")])
# The Result list shows them once its rows have been rewritten, and not before.
check_list("Result", result_path, lambda w: [("", ""), (w[7], w[8])])
if problems:
    print("\n".join(problems)); sys.exit(1)
modes = sum(1 for r in records if r["mode"] == 0)
print("records=%d fast=%d normal=%d photos=%d units=%s" % (count, modes, count - modes,
      sum(r["photo"] for r in records), ",".join(str(sum(1 for r in records if r["unit"] == u)) for u in range(3))))
PY
}
