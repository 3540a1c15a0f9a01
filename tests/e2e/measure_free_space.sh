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
export QUELMA_EXE=quelma_seams.exe

export QUELMA_TEST_FREE_BYTES=4999999
start_and_open_measure
press_start ID1 NM1
expect_eq "$(wd answer "Disk full" ok 10000)" "Disk full !!!
Backup data file." "disk message"
# A second press meets the same refusal only once the first one was handled to its end.
wait_for 0 10 visible "=Quelma"
wd click "$M" "$M_START"
wd wait-msgbox "Disk full" 10000 >/dev/null || fail "no disk message for the second press"
expect_eq "$(wd check "$M" "$M_READY")" 0 "Ready box"
wd answer "Disk full" ok >/dev/null
exit_program

export QUELMA_TEST_FREE_BYTES=5000000
start_and_open_measure
press_start ID1 NM1
wait_data_count 1 20
# The log runs in order: a recall sent with the full disk would be counted here too.
expect_eq "$(sim_count '< $RECALL')" 1 "recalls: none with a full disk, one with enough space"
exit_program

# The shipped program asks the system only.
export QUELMA_EXE=quelma.exe QUELMA_TEST_FREE_BYTES=0
start_and_open_measure
press_start ID1 NM1
wait_data_count 2 20
exit_program
echo "PASS"
