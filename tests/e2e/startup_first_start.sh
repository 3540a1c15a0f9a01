#!/usr/bin/env bash
# First start: QUELMA.CFG is created with the bridge's port, the data file on consent;
# the caption names the data file; Exit asks, No keeps the program, Yes ends it.
source "$(dirname "$0")/lib.bash"
new_install
wine_env_set_bridge '\Device\silabser0' COM7

start_quelma
wd answer "Data file open fail. Create new one ?" yes >/dev/null || fail "no data file question"
answer_no_port_search
expect_eq "$(wd wait-window "- Quelma" 20000)" "$DATA_NAME - Quelma" "caption"

cfg="$INSTALL/QUELMA.CFG"
expect_eq "$(stat -c %s "$cfg")" 236 "QUELMA.CFG size"
expect_eq "$(le_int32 "$cfg" 24)" 6 "port index of COM7"
expect_eq "$(le_int32 "$cfg" 32)" 5 "member count"
expect_eq "$(dd if="$cfg" bs=1 skip=36 count=3 2>/dev/null)" "ID0" "first member"
expect_eq "$(stat -c %s "$INSTALL/Data/$DATA_NAME")" 8 "new data file size"

wd command "- Quelma" "$CMD_EXIT"
wd answer "Exit this program ?" no >/dev/null || fail "no exit question"
# Still there to ask again: answered No, it went on.
exit_program
echo "PASS"
