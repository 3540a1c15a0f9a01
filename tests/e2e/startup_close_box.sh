#!/usr/bin/env bash
# Closing the main window by its close box ends the program without the exit question.
source "$(dirname "$0")/lib.bash"
new_install
new_data_file
start_quelma
answer_no_port_search
wd wait-window "- Quelma" 20000 >/dev/null || fail "no main window"
wd close "- Quelma"
expect_eq "$(wait_exit)" 0 "exit code"
echo "PASS"
