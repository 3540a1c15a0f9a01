#!/usr/bin/env bash
# A second copy beside a running one ends and changes nothing; closing the main window by
# its close box ends the program without the exit question.
source "$(dirname "$0")/lib.bash"
new_install
new_data_file
start_quelma
answer_no_port_search
wd wait-window "- Quelma" 20000 >/dev/null || fail "no main window"

# A second copy on the same install folder ends at once, before it touches a file.
files() { cat "$INSTALL/QUELMA.CFG" "$INSTALL/Data/$DATA_NAME" | md5sum; }
sum_before="$(files)"
rc=0
timeout 60 wine "$WIN_BIN/quelma.exe" >/dev/null 2>&1 || rc=$?
expect_eq "$rc" 0 "exit code of the second copy"
expect_eq "$(files)" "$sum_before" "files after the second start"
running || fail "the first copy ended"

wd close "- Quelma"
expect_eq "$(wait_exit)" 0 "exit code"
echo "PASS"
