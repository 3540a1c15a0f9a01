#!/usr/bin/env bash
# The analyzer unplugged in the middle of a measurement (the simulator closes its pty and
# removes the COM3 link, then comes back on a new pty at the same link): the program keeps
# running, shows "DISCONNECTED", drops the measurement without storing anything, keeps the
# records stored before, refuses to start while the link is down, and once the analyzer is
# back the next start reopens the port and measures as before.
source "$(dirname "$0")/lib.bash"
source "$(dirname "$0")/measure_lib.bash"
new_install
new_data_file
write_config 0 1 "ID1:NM1" "ID2:NM2"
export QUELMA_CAM_SIZE=16x12
start_sim --pause 300 --unit M --total 10 --value 0.045
start_and_open_measure
DATA="$INSTALL/Data/$DATA_NAME"

# One record stored before the fault.
press_start ID1 NM1
wait_data_count 1 20
wait_for "Ready" 10 get-text "$M" "$M_STATUS"
first="$(head -c 80 "$DATA" | tail -c 72 | od -An -tx1 | tr -d ' \n')"

# Pulled out while the subject blows.
press_start ID2 NM2
wait_for "Blow" 10 get-text "$M" "$M_STATUS"
echo "unplug 4000" >> "$SIM_DIR/control"
wait_for "DISCONNECTED" 5 get-text "$M" "$M_STATUS"
for box in 1008 1009 1010 1011; do
    expect_eq "$(wd check "$M" $box)" 0 "state box $box after the loss"
done
running || fail "the program ended"

# Start while the link is down: nothing is sent, the display says why.
press_start ID2 NM2
wait_eq "DISCONNECTED" 5 "status while unplugged" wd get-text "$M" "$M_STATUS"
expect_eq "$(data_count)" 1 "records after the dropped measurement"

# Plugged back: the next start reopens the port and the measurement is stored.
wait_eq 1 10 "simulator plugged back" sim_count 'plugged in'
echo "value 0.061" >> "$SIM_DIR/control"
wait_eq 1 10 "new value taken" sim_count '# value 0.061'
wd click "$M" "$M_START"
wait_data_count 2 20
wait_for "Ready" 10 get-text "$M" "$M_STATUS"
expect_eq "$(head -c 80 "$DATA" | tail -c 72 | od -An -tx1 | tr -d ' \n')" "$first" "record stored before the fault"
rec="$(record_fields 1)"
expect_eq "$(field "$rec" id)" ID2 "ID after the fault"
expect_eq "$(field "$rec" low)" "0.030 hi=0.080 value=0.061" "value after the fault"
expect_eq "$(field "$rec" photo)" "1 number=1" "Photo, Number after the fault"
expect_eq "$(wd lv-count "$M" "$M_LIST")" 2 "list rows"
expect_eq "$(stat -c %s "$DATA")" $((8 + 72 * 2)) "data file size"
# The log runs in order: a recall for the start while unplugged would be counted here.
expect_eq "$(sim_count '< $RECALL\r\n')" 3 "recalls: none for the start while unplugged"

exit_program
echo "PASS"
