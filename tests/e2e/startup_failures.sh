#!/usr/bin/env bash
# Start-up failures end the program with exit code -1 before the main window shows.
source "$(dirname "$0")/lib.bash"

# No install-folder key.
new_install
wine_env_clear_install_key
start_quelma
wd answer "Registery search fail. Reinstall program" ok >/dev/null || fail "no registry message"
expect_eq "$(wait_exit)" 255 "exit code without registry key"

# The key without its "Path" value counts as not found.
wine reg add 'HKLM\SOFTWARE\Vantrel\Quelma\Settings' /f >/dev/null 2>&1
start_quelma
wd answer "Registery search fail. Reinstall program" ok >/dev/null || fail "no message for a key without Path"
expect_eq "$(wait_exit)" 255 "exit code without Path value"

# Declining to create the data file.
wine_env_set_install_dir "$INSTALL"
start_quelma
# While the question is up the program is still running: no main window may show yet.
wd wait-msgbox "Data file open fail. Create new one ?" 20000 >/dev/null || fail "no data file question"
[ -z "$(wd caption "- Quelma")" ] || fail "main window shown before the data file was open"
wd answer "Data file open fail. Create new one ?" no >/dev/null || fail "cannot decline"
expect_eq "$(wait_exit)" 255 "exit code after declining"
[ ! -f "$INSTALL/Data/$DATA_NAME" ] || fail "data file created although declined"

# A data file with a wrong marker is reported and left untouched.
printf '\x01\x00\x00\x00\xd2\x02\x96\x48' > "$INSTALL/Data/$DATA_NAME"
head -c 72 /dev/zero >> "$INSTALL/Data/$DATA_NAME"
sum_before="$(md5sum < "$INSTALL/Data/$DATA_NAME")"
start_quelma
wd answer "$DATA_NAME is broken data file" ok >/dev/null || fail "no broken-file message"
expect_eq "$(wait_exit)" 255 "exit code for a broken file"
expect_eq "$(md5sum < "$INSTALL/Data/$DATA_NAME")" "$sum_before" "broken file contents"

# No Data folder: a clear message instead of a silent failure.
rm -rf "$INSTALL/Data"
start_quelma
wd answer "Data file open fail. Create new one ?" yes >/dev/null || fail "no data file question"
wd answer "Data file creation fail" ok >/dev/null || fail "no creation failure message"
expect_eq "$(wait_exit)" 255 "exit code without Data folder"
echo "PASS"
