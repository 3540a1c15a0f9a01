#!/usr/bin/env bash
# A measurement while the Result window is open: the stored record appears at the top of the
# whole list, renumbered, with its thresholds; while a filter is on, the list stays until the
# filter is lifted.
source "$(dirname "$0")/lib.bash"
source "$(dirname "$0")/measure_lib.bash"
new_install
write_config 0 0 "ID1:NM1" "ID2:NM2"
quelma_files data "$INSTALL/Data/$DATA_NAME" "ID2:NM2:0:1:0.0:${YEAR}-01-10Z" "ID2:NM2:1:0:0.1:${YEAR}-01-11Z"
start_sim --pause 300 --unit M --total 5 --value 0.045
start_and_open_measure
R="Data\\$DATA_NAME"

wd command "- Quelma" "$CMD_RESULT"
wd wait-window "$R" 10000 >/dev/null || fail "no Result window"
expect_eq "$(wd lv-count "$R" 1000)" 2 "rows before"

measure() { # id name records-after
    press_start "$1" "$2"
    wait_data_count "$3" 30
    wait_for "Ready" 15 get-text "$M" "$M_STATUS"
}

measure ID1 NM1 3
wait_for 3 10 lv-count "$R" 1000
expect_eq "$(wd lv-text "$R" 1000 0 1)" "ID1" "new record on top"
expect_eq "$(wd lv-text "$R" 1000 0 3)" "0.045 mg/l" "its result"
expect_eq "$(wd lv-text "$R" 1000 0 7)" "0.030" "its Low cell"
expect_eq "$(wd lv-text "$R" 1000 2 0)" "3" "last row number"

# Filtered by ID2: a new ID1 record does not join the list until the filter is lifted.
wd set-check "$R" 1009 0 >/dev/null
wd set-text "$R" 1003 ID2
wd click "$R" 1030
wait_for 2 10 lv-count "$R" 1000
measure ID1 NM1 4
# The box is ticked by a posted click: the window handles it after all the measurement
# told it.
wd click "$R" 1009
wait_for 1 10 check "$R" 1009
expect_eq "$(wd lv-count "$R" 1000)" 2 "filtered rows after a measurement"
wd click "$R" 1030
wait_for 4 10 lv-count "$R" 1000
expect_eq "$(wd lv-text "$R" 1000 0 1),$(wd lv-text "$R" 1000 1 1)" "ID1,ID1" "newest first after the reload"
echo "PASS"
