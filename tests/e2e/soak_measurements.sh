#!/usr/bin/env bash
# Soak: 2,000 measurements in one run of the program with the simulated analyzer on COM3.
# Subjects typed, picked from the member list and read from cards laid on and taken off
# the stand-in reader; units B/M/G; values on and around both thresholds; one measurement
# in ten ends in an error token; line noise and lines written in pieces. The first half runs
# in Fast mode with the camera (tiny frames), then the Setting dialog switches to Normal
# mode, new thresholds and no camera. Afterwards the data file holds exactly the expected
# records, the Measure and Result lists show them, and the window, thread, memory and
# descriptor figures stay flat. SOAK_COUNT changes the number of measurements.
source "$(dirname "$0")/lib.bash"
source "$(dirname "$0")/measure_lib.bash"
source "$(dirname "$0")/soak_lib.bash"
[ -x "$WIN_BIN/soak_driver.exe" ] || fail "missing $WIN_BIN/soak_driver.exe: build the win64 preset"

TOTAL="${SOAK_COUNT:-2000}"
WARMUP=50
SWITCH=$((TOTAL / 2))
[ "$TOTAL" -gt $((WARMUP * 2)) ] || fail "SOAK_COUNT must exceed $((WARMUP * 2))"

new_install
new_data_file
write_soak_config
make_soak_cards
# 16 x 12 pixels: a photo is 630 bytes, so a thousand of them take no room.
export QUELMA_CAM_SIZE=16x12
start_sim --pause 5 --unit M --total 0 --value 0
WDIR="$(winepath -w "$E2E_DIR" 2>/dev/null)"
t0=$(date +%s)

start_and_open_measure
soak_driver run "$WDIR" 0 "$WARMUP" "$SWITCH" || fail "warm-up measurements"
# The Result window takes every later record as it is stored.
wd command "- Quelma" "$CMD_RESULT"
wd wait-window "Data\\$DATA_NAME" 10000 >/dev/null || fail "no Result window"
start_figures="$(program_figures)"
echo "figures after $WARMUP: $start_figures"

t1=$(date +%s)
soak_driver run "$WDIR" "$WARMUP" $((TOTAL - WARMUP)) "$SWITCH" || fail "measurements"
t2=$(date +%s)
end_figures="$(program_figures)"
echo "figures after $TOTAL: $end_figures"
echo "measurements $WARMUP..$TOTAL: $((t2 - t1)) s, $(((t2 - t1) * 1000 / (TOTAL - WARMUP))) ms each"

soak_driver dump Measure 1000 "$WDIR\\measure-list.tsv" || fail "cannot read the Measure list"
soak_driver dump "Data\\$DATA_NAME" 1000 "$WDIR\\result-list.tsv" || fail "cannot read the Result list"
check_soak_records "$E2E_DIR/expected.tsv" "$E2E_DIR/measure-list.tsv" "$E2E_DIR/result-list.tsv" ||
    fail "records or lists differ"
expect_eq "$(sim_count '< $RECALL\r\n')" "$TOTAL" "recall commands"

# Flat: windows, threads and descriptors may wobble but not grow with the measurements.
# Wine tells nothing of another process's handles, GDI or USER objects and private bytes
# (n/a): the program's windows stand in for USER objects, its Linux descriptors for
# handles; GDI objects go unchecked here. Memory may grow by what the records and their
# list rows take (about 0.3 KB a measurement), within SOAK_KB_EACH per measurement from the
# end of the warm-up on, so a leak of a few KB per measurement breaks the bound.
check_growth "$start_figures" "$end_figures" windows 5
check_growth "$start_figures" "$end_figures" threads 2
check_growth "$start_figures" "$end_figures" fds 20
memory_bound=$(((TOTAL - WARMUP) * ${SOAK_KB_EACH:-2}))
check_growth "$start_figures" "$end_figures" vmrss_kb "$memory_bound"
check_growth "$start_figures" "$end_figures" working_set_kb "$memory_bound"

exit_program
echo "soak: $TOTAL measurements in $(($(date +%s) - t0)) s"
echo "PASS"
