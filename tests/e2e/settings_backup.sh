#!/usr/bin/env bash
# The Setting and Backup windows of the real program: values stored by OK and applied after
# Exit reach QUELMA.CFG, Exit without OK changes nothing; the Backup window shows the data
# file, refuses an existing name and then moves the file to a new name through the system
# save dialog, after which the program ends.
source "$(dirname "$0")/lib.bash"
source "$(dirname "$0")/settings_lib.bash"
new_install
write_settings_config 0 "ID1:NM1" "ID2:NM2"
write_data_records 2026-01-02 2026-01-05 2026-02-01
start_to_main_window
M="- Quelma"
S="=Setting"

# Setting: OK stores, a change after OK is dropped, Exit applies what OK stored.
wd command "$M" "$CMD_SETTING"
wd wait-window "$S" 10000 >/dev/null || fail "no Setting window"
expect_eq "$(wd get-edit "$S" 1021)" "COM3" "port shown"
expect_eq "$(wd get-edit "$S" 1022)" "115200" "speed shown"
expect_eq "$(wd get-edit "$S" 1003)" "0.030" "Low shown"
wd set-text "$S" 1003 "0.0500"
wd set-text "$S" 1004 "abc"
wd click "$S" 1
expect_message "Setting save O.K"
wd set-text "$S" 1003 "0.7"
wd click "$S" 2
wd wait-gone "$S" 10000 >/dev/null || fail "Setting window still open"
wait_eq "sound=0 card=0 cam=0 mode=1 low=0.050 hi=0.000 port=2 speed=7 count=2" 5 \
    "settings after OK" config_settings
expect_eq "$(config_members)" "ID1/NM1 ID2/NM2 " "members kept"

# Exit without OK: nothing changes.
wd command "$M" "$CMD_SETTING"
wd wait-window "$S" 10000 >/dev/null || fail "no Setting window"
expect_eq "$(wd get-edit "$S" 1003)" "0.050" "Low shown as stored"
wd set-text "$S" 1003 "0.9"
wd close "$S"
wd wait-gone "$S" 10000 >/dev/null || fail "Setting window still open"
wait_eq "sound=0 card=0 cam=0 mode=1 low=0.050 hi=0.000 port=2 speed=7 count=2" 5 \
    "settings after Exit" config_settings

# Backup: information, then an existing name (nothing moves), then a new name.
B="=Backup"
data="$INSTALL/Data/$DATA_NAME"
cp "$data" "$E2E_DIR/original.dat"
echo "older backup" > "$E2E_DIR/old.dat"
target_dir="$(winepath -w "$E2E_DIR" 2>/dev/null)"

wd command "$M" "$CMD_BACKUP"
wd wait-window "$B" 10000 >/dev/null || fail "no Backup window"
expect_eq "$(wd get-text "$B" 1014)" "224" "size"
expect_eq "$(wd get-text "$B" 1015)" "2026-01-02 ~ 2026-02-01" "duration"
expect_eq "$(wd get-edit "$B" 1003)" "$(winepath -w "$data" 2>/dev/null)" "path"

save_as() { # name
    wd click "$B" 1005
    wd answer "Backup will backup and delete original file. Continue ?" yes 10000 >/dev/null ||
        fail "no backup question"
    wd wait-window "Save As" 10000 >/dev/null || fail "no save dialog"
    # The classic save dialog's file name box (cmb13) holds the suggested data file name.
    expect_eq "$(wd get-edit "Save As" 1148)" "$DATA_NAME" "suggested name"
    wd set-text "Save As" 1148 "$target_dir\\$1"
    wd click "Save As" 1
}

save_as old
expect_message "Backup fail"
cmp -s "$data" "$E2E_DIR/original.dat" || fail "the data file changed after a refused copy"
expect_eq "$(cat "$E2E_DIR/old.dat")" "older backup" "existing file untouched"
running || fail "the program ended after a refused copy"

save_as backup
expect_message "Backup is completed."
expect_eq "$(wait_exit)" 0 "exit code"
cmp -s "$E2E_DIR/backup.dat" "$E2E_DIR/original.dat" || fail "backup.dat is not the data file"
[ ! -e "$data" ] || fail "the data file is still there"
echo "PASS"
