#!/usr/bin/env bash
# The free-space check of the start button, with the free bytes of "C:\" given through
# QUELMA_TEST_FREE_BYTES to the test build quelma_seams.exe (the shipped program has no
# such override): 4,999,999 refuses with the disk message and sends nothing, 5,000,000
# starts the measurement.
source "$(dirname "$0")/lib.bash"
source "$(dirname "$0")/measure_lib.bash"
new_install
new_data_file
write_config 0 0 "ID1:NM1"
start_sim --pause 200
M="=Measure"
export QUELMA_EXE=quelma_seams.exe

press_start() {
    wd set-text "$M" 1003 ID1
    wd set-text "$M" 1004 NM1
    wd click "$M" 1006
}

quit_quelma() {
    wd command "- Quelma" 32778
    wd answer "Exit this program ?" yes >/dev/null || fail "no exit question"
    expect_eq "$(wait_exit)" 0 "exit code"
}

export QUELMA_TEST_FREE_BYTES=4999999
start_and_open_measure
press_start
expect_eq "$(wd answer "Disk full" ok 10000)" "Disk full !!!
Backup data file." "disk message"
sleep 1
expect_eq "$(sim_count '< $RECALL')" 0 "recall sent with a full disk"
expect_eq "$(wd check "$M" 1008)" 0 "Ready box"
quit_quelma

export QUELMA_TEST_FREE_BYTES=5000000
start_and_open_measure
press_start
wait_data_count 1 20
expect_eq "$(sim_count '< $RECALL')" 1 "recall sent with enough space"
quit_quelma

# The shipped program asks the system only.
export QUELMA_EXE=quelma.exe QUELMA_TEST_FREE_BYTES=0
start_and_open_measure
press_start
wait_data_count 2 20
quit_quelma
echo "PASS"
