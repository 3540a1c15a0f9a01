#!/usr/bin/env bash
# A measurement end to end with the simulated analyzer on COM3, the stand-in camera and card
# reader: a typed member through "Blow" and "Analyzing" to the stored record and its photo;
# start pressed twice sends one recall; an unregistered pair is refused; Measure pressed
# hides and shows again with empty edits; a measurement goes on while the dialog is hidden;
# a member picked during "Analyzing" is only the next subject; a card fills ID and Name once
# with one acknowledgement.
source "$(dirname "$0")/lib.bash"
source "$(dirname "$0")/measure_lib.bash"
new_install
new_data_file
write_config 1 1 "ID1:NM1" "ID2:NM2"
mkdir -p "$QUELMA_CARD_DIR"
"$QUELMA_ROOT/scripts/card" make member1 --id ID1 --name NM1 >/dev/null || fail "cannot make the card"
start_sim --pause 1000 --unit M --total 77 --value 0.045

start_and_open_measure
expect_eq "$(wd get-text "$M" "$M_STATUS")" "Ready" "status display"
expect_eq "$(wd get-text "$M" "$M_MODE")" "Normal" "mode text"

# A typed member; start pressed twice in a row.
wd set-text "$M" "$M_ID" ID1
wd set-text "$M" "$M_NAME" NM1
t0=$(date +%s)
wd click "$M" "$M_START"
wd click "$M" "$M_START"
wait_for "1" 10 check "$M" "$M_READY"
wait_for "Blow" 15 get-text "$M" "$M_STATUS"
expect_eq "$(wd check "$M" "$M_BLOWING")" 1 "Blowing box"
wait_for "Analyzing" 15 get-text "$M" "$M_STATUS"
expect_eq "$(wd check "$M" "$M_ANALYZING")" 1 "Analyzing box"
wait_data_count 1 20
wait_for "Ready" 15 get-text "$M" "$M_STATUS"
t1=$(date +%s)
expect_eq "$(sim_count '< $RECALL\r\n')" 1 "recall commands sent"
expect_eq "$(sim_count '< $START\r\n')" 1 "start commands sent"
expect_eq "$(wd check "$M" "$M_COMPLETION")" 0 "Completion box cleared by END"
expect_eq "$(wd get-text "$M" "$M_TOTAL")" "Total : 77" "total display"

rec="$(record_fields 0)"
expect_eq "$(field "$rec" id)" ID1 "ID"
expect_eq "$(field "$rec" name)" NM1 "Name"
expect_eq "$(field "$rec" mode)" "1 level=0 unit=1" "Mode, Level, Unit"
expect_eq "$(field "$rec" low)" "0.030 hi=0.080 value=0.045" "Low, Hi, Value"
expect_eq "$(field "$rec" photo)" "1 number=0" "Photo, Number"
t="$(field "$rec" time)"
[ "$t" -ge "$t0" ] && [ "$t" -le "$t1" ] || fail "record time $t outside $t0..$t1"
photo="$INSTALL/Photo/$(field "$rec" photofile)"
[ -f "$photo" ] || fail "no photo $photo (have: $(ls "$INSTALL/Photo"))"
expect_eq "$(stat -c %s "$photo")" 230454 "photo size (320 x 240, 24-bit)"
expect_eq "$(head -c 2 "$photo")" "BM" "photo file type"
expect_eq "$(stat -c %s "$INSTALL/Data/$DATA_NAME")" $((8 + 72)) "data file size"
expect_eq "$(wd lv-count "$M" "$M_LIST")" 1 "list rows"
expect_eq "$(wd lv-text "$M" "$M_LIST" 0 3)" "0.045 mg/l" "list result"
expect_eq "$(wd lv-text "$M" "$M_LIST" 0 9)" "$(field "$rec" photofile)" "list photo cell"

# An unregistered pair: refused, and no recall for it (counted after the next one).
press_start ID1 NM2
wd answer "Not a valid ID, Name set" ok 10000 >/dev/null || fail "no refusal of ID1/NM2"

# Measure: hide, then show again with empty edits.
expect_eq "$(wd get-edit "$M" "$M_ID")" ID1 "ID edit before hiding"
wd command "- Quelma" "$CMD_MEASURE"
wait_for 0 10 visible "$M"
wd command "- Quelma" "$CMD_MEASURE"
wait_for 1 10 visible "$M"
expect_eq "$(wd get-edit "$M" "$M_ID")" "" "ID edit after showing again"
expect_eq "$(wd get-edit "$M" "$M_NAME")" "" "Name edit after showing again"

# A measurement goes on while the dialog is hidden.
press_start ID2 NM2
wait_for 1 10 check "$M" "$M_READY"
expect_eq "$(sim_count '< $RECALL\r\n')" 2 "recalls: none for the refused pair"
wd command "- Quelma" "$CMD_MEASURE"
wait_for 0 10 visible "$M"
wait_data_count 2 30
wait_for "Ready" 15 get-text "$M" "$M_STATUS"
expect_eq "$(field "$(record_fields 1)" name)" NM2 "record stored while hidden"
expect_eq "$(wd lv-text "$M" "$M_LIST" 0 1)" "ID2" "hidden list took the new row"
expect_eq "$(wd lv-text "$M" "$M_LIST" 1 0)" "2" "renumbered"

# A card laid on the reader while the dialog is hidden is not read, not even at a poll; once
# shown it is, once, however often it is polled again.
# (Its ID differs from the last subject's: the same ID again would identify nobody new.)
acknowledgements() { grep -c 0x44 "$QUELMA_CARD_DIR/userport.log" 2>/dev/null || true; }
"$QUELMA_ROOT/scripts/card" lay member1 >/dev/null
wd tick "$M" "$M_CARD_TIMER"
expect_eq "$(acknowledgements)" 0 "no card read while hidden"
wd command "- Quelma" "$CMD_MEASURE"
wait_for 1 10 visible "$M"
wait_for ID1 10 get-edit "$M" "$M_ID"
expect_eq "$(wd get-edit "$M" "$M_NAME")" NM1 "Name from the card"
wd tick "$M" "$M_CARD_TIMER"
wd tick "$M" "$M_CARD_TIMER"
expect_eq "$(acknowledgements)" 1 "acknowledgements of one card"

# A member picked during "Analyzing" is the next subject only: the result and its photo stay
# with the subject of the START.
echo "pause 2500" >> "$SIM_DIR/control"
press_start ID2 NM2
wait_for "Analyzing" 30 get-text "$M" "$M_STATUS"
wd click "$M" 1005 # the member button
wd wait-window "=Select" 10000 >/dev/null || fail "no Select window"
wd lv-select "=Select" 1000 0 || fail "cannot pick ID1 in the Select window"
wait_data_count 3 30
expect_eq "$(wd get-edit "$M" "$M_ID")" ID1 "ID edit after the pick"
rec="$(record_fields 2)"
expect_eq "$(field "$rec" id)/$(field "$rec" name)" ID2/NM2 "subject of the result after a pick"
[ -f "$INSTALL/Photo/$(field "$rec" photofile)" ] || fail "no photo of the stored subject"
wait_for "Ready" 15 get-text "$M" "$M_STATUS"

exit_program
echo "PASS"
