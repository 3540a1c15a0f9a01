#!/usr/bin/env bash
# The devices at start-up: a reader that cannot be opened is reported only when ID cards are
# in use; a serial port that cannot be opened leads through the port search, which rewrites
# QUELMA.CFG only when it finds a different port (the first bridge name before the second);
# the reader's user port is set to 0 at the end of start-up even when it did not open.
source "$(dirname "$0")/lib.bash"
source "$(dirname "$0")/measure_lib.bash"
new_install
new_data_file
mkdir -p "$QUELMA_CARD_DIR"
"$QUELMA_ROOT/scripts/card" fault open >/dev/null
cfg="$INSTALL/QUELMA.CFG"

set_port() { # index
    quelma_files set-int "$cfg" 24 "$1"
}
no_more_messages() {
    wd wait-window "- Quelma" 20000 >/dev/null || fail "no main window"
    [ -z "$(wd msgbox-text 1500)" ] || fail "unexpected message: $(wd msgbox-text 500)"
}
close_quelma() {
    wd close "- Quelma"
    expect_eq "$(wait_exit)" 0 "exit code"
}

# Cards in use, reader failing; the analyzer's bridge is on COM5 while COM3 is configured.
write_config 1 0 "ID1:NM1"
wine_env_set_bridge '\Device\slabser0' COM5
wine_env_set_bridge '\Device\silabser0' COM9
start_quelma
wd answer "Card reader open fail." ok >/dev/null || fail "no reader message"
wd answer "Serial port open fail. Do you want auto search ?" yes >/dev/null || fail "no port question"
wd answer "Serial port open fail" ok >/dev/null || fail "no message for the found port that does not open"
no_more_messages
expect_eq "$(le_int32 "$cfg" 24)" 4 "port index after the search found COM5"
expect_eq "$(le_int32 "$cfg" 32)" 1 "member count kept"
expect_eq "$(tail -n 1 "$QUELMA_CARD_DIR/userport.log" 2>/dev/null | tr -d "\r")" "-1 0x00" "last user-port write"
close_quelma
wine_env_clear_bridge

# Cards not in use: no reader message. The search finds the configured port: no rewrite.
write_config 0 0 "ID1:NM1"
wine_env_set_bridge '\Device\silabser0' COM5
set_port 4
sum_before="$(md5sum < "$cfg")"
touch -d '2020-01-01' "$cfg"
start_quelma
wd answer "Serial port open fail. Do you want auto search ?" yes >/dev/null || fail "no port question"
wd answer "Serial port open fail" ok >/dev/null || fail "no open failure message"
no_more_messages
expect_eq "$(md5sum < "$cfg")" "$sum_before" "QUELMA.CFG contents"
expect_eq "$(stat -c %Y "$cfg")" "$(date -d '2020-01-01' +%s)" "QUELMA.CFG not rewritten"
close_quelma

# No bridge: the search fails. Answering No shows nothing more.
wine_env_clear_bridge
start_quelma
wd answer "Serial port open fail. Do you want auto search ?" yes >/dev/null || fail "no port question"
wd answer "Module search fail" ok >/dev/null || fail "no search failure message"
no_more_messages
close_quelma
start_quelma
answer_no_port_search
no_more_messages
close_quelma
echo "PASS"
