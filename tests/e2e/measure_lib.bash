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
    quelma_files config "$INSTALL/QUELMA.CFG" 0 "$card" "$cam" 1 0.03 0.08 2 7 "$@"
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
    wd command "- Quelma" "$CMD_MEASURE"
    wd wait-window "=Measure" 20000 >/dev/null || fail "no Measure dialog"
    # Creation ends with a one-second pause before the dialog counts as shown.
    sleep 2
}

# The Measure dialog and its controls (measure_ids.h).
M="=Measure"
M_LIST=1000
M_ID=1003
M_NAME=1004
M_START=1006
M_READY=1008 # then Blowing, Analyzing, Completion
M_BLOWING=1009
M_ANALYZING=1010
M_COMPLETION=1011
M_MODE=1013
M_STATUS=1030
M_TOTAL=1031
M_CARD_TIMER=1 # the card reader's poll

# Types a subject into the Measure dialog and presses START.
press_start() { # id name
    wd set-text "$M" "$M_ID" "$1"
    wd set-text "$M" "$M_NAME" "$2"
    wd click "$M" "$M_START"
}

# Polls `wd ARGS` until it prints WANT.
wait_for() { # want seconds wd-args...
    local want="$1" limit="$2"
    shift 2
    wait_eq "$want" "$limit" "wd $*" wd "$@"
}

data_count() { le_int32 "$INSTALL/Data/$DATA_NAME" 0; }

wait_data_count() { # count seconds
    wait_eq "$1" "$2" "records in the data file" data_count
}

# One record of the data file as "field=value" lines.
record_fields() { quelma_files record "$INSTALL/Data/$DATA_NAME" "$1"; }

field() { # fields name
    printf '%s\n' "$1" | sed -n "s/^$2=//p"
}
