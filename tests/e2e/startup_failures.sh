#!/usr/bin/env bash
# Start-up failures end the program with exit code -1 before the main window shows, and
# leave the files they could not use as they were.
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

# Files another program holds with share mode 0, and a QUELMA.CFG too short to hold the
# settings: each is named, nothing offers to replace it, and it stays byte for byte as it
# was although every question is answered Yes.
answer_all() { # prints the text of every message box until the program has ended
    local text
    while running; do
        text="$(wd msgbox-text 500)" || continue
        case "$text" in
        *\?) wd answer "${text%%$'\n'*}" yes 1000 >/dev/null || true ;;
        *) wd answer "${text%%$'\n'*}" ok 1000 >/dev/null || true ;;
        esac
        echo "$text"
    done
}
hold() { # file: held by wdrive until release_held
    rm -f "$E2E_DIR/release" "$E2E_DIR/held"
    wine "$WIN_BIN/wdrive.exe" hold "$(winepath -w "$1" 2>/dev/null)" \
        "$(winepath -w "$E2E_DIR" 2>/dev/null)\\release" >"$E2E_DIR/held" 2>/dev/null &
    HOLDER=$!
    for _ in $(seq 300); do grep -qs held "$E2E_DIR/held" && return 0; sleep 0.1; done
    fail "could not hold $1"
}
release_held() { touch "$E2E_DIR/release"; wait "$HOLDER"; }

new_data_file
[ -s "$INSTALL/QUELMA.CFG" ] || fail "no QUELMA.CFG from the runs before"
for file in "Data/$DATA_NAME" QUELMA.CFG; do
    sum_before="$(md5sum < "$INSTALL/$file")"
    hold "$INSTALL/$file"
    start_quelma
    texts="$(answer_all)"
    expect_eq "$(wait_exit)" 255 "exit code with $file held"
    release_held
    grep -qF "$(winepath -w "$INSTALL/$file" 2>/dev/null) is in use by another program" <<<"$texts" ||
        fail "no in-use message naming $file: $texts"
    expect_eq "$(md5sum < "$INSTALL/$file")" "$sum_before" "$file after it was held"
done
cp "$INSTALL/QUELMA.CFG" "$E2E_DIR/config"
head -c 35 "$E2E_DIR/config" > "$INSTALL/QUELMA.CFG"
start_quelma
texts="$(answer_all)"
expect_eq "$(wait_exit)" 255 "exit code with a short QUELMA.CFG"
grep -q "QUELMA.CFG is broken configuration file" <<<"$texts" || fail "short file: $texts"
expect_eq "$(md5sum < "$INSTALL/QUELMA.CFG")" "$(head -c 35 "$E2E_DIR/config" | md5sum)" "short file"
cp "$E2E_DIR/config" "$INSTALL/QUELMA.CFG"

# No Data folder: a clear message instead of a silent failure.
rm -rf "$INSTALL/Data"
start_quelma
wd answer "Data file open fail. Create new one ?" yes >/dev/null || fail "no data file question"
wd answer "Data file creation fail" ok >/dev/null || fail "no creation failure message"
expect_eq "$(wait_exit)" 255 "exit code without Data folder"
echo "PASS"
