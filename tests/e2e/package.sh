#!/usr/bin/env bash
# The Windows package installs and runs: install.cmd registers the folder it lies in and
# leaves an empty QUELMA.CFG, and the packaged program starts there, fills it and creates
# the data file on first start, and closes. (Wine does not enforce the rights icacls gives.)
source "$(dirname "$0")/lib.bash"
"$QUELMA_ROOT/scripts/package" "$E2E_DIR/out" > "$E2E_DIR/package.log" 2>&1 ||
    fail "scripts/package failed: $(tail -5 "$E2E_DIR/package.log")"
PKG="$E2E_DIR/out/Quelma"
for f in quelma.exe quelma-32bit.exe install.cmd quelma-key.reg OPERATOR-GUIDE.txt \
    Resources/quelmalogo.bmp Resources/QuelmaForm.xls; do
    [ -s "$PKG/$f" ] || fail "package lacks $f"
done
[ -d "$PKG/Data" ] && [ -d "$PKG/Photo" ] || fail "package lacks Data or Photo"
[ -z "$(find "$PKG/Data" "$PKG/Photo" -mindepth 1)" ] || fail "Data and Photo must be empty"
grep -q "Quelma/Photo/" <<< "$(unzip -l "$E2E_DIR/out/Quelma.zip")" || fail "zip lacks the empty Photo folder"

wine_env_prepare
wine_env_clear_install_key
wine_env_clear_bridge
(cd "$PKG" && wine cmd.exe /c install.cmd > "$E2E_DIR/install.log" 2>&1) || fail "install.cmd failed: $(cat "$E2E_DIR/install.log")"
key="$(wine reg query 'HKLM\SOFTWARE\Vantrel\Quelma\Settings' /v Path 2>/dev/null | tr -d '\r' | sed -n 's/.*REG_SZ *//p')" ||
    fail "install.cmd wrote no install-folder key"
expect_eq "$key" "$(winepath -w "$PKG" 2>/dev/null | tr -d '\r')" "registered install folder"
# An empty QUELMA.CFG carries the Users group's rights; the first start fills it.
[ -f "$PKG/QUELMA.CFG" ] && [ ! -s "$PKG/QUELMA.CFG" ] || fail "install.cmd left no empty QUELMA.CFG"

rm -f "$QUELMA_EXIT_FILE"
(
    rc=0
    cd "$PKG" && wine ./quelma.exe >/dev/null 2>&1 || rc=$?
    echo "$rc" > "$QUELMA_EXIT_FILE"
) &
QUELMA_PID=$!
wd answer "Data file open fail. Create new one ?" yes 30000 >/dev/null || fail "no data file question"
answer_no_port_search
wd wait-window "- Quelma" 20000 >/dev/null || fail "no main window"
[ -s "$PKG/QUELMA.CFG" ] || fail "no QUELMA.CFG after first start"
[ -f "$PKG/Data/$DATA_NAME" ] || fail "no data file after first start"
wd close "- Quelma"
expect_eq "$(wait_exit)" 0 "exit code"

# The setup program knows the portable installation by its key: it will not leave its data
# behind for a new folder.
rc=0
wine "$E2E_DIR"/out/QuelmaSetup-*.exe /S '/D=C:\Elsewhere' > /dev/null 2>&1 || rc=$?
expect_eq "$rc" 3 "setup into another folder than the portable installation's"
[ ! -e "$WINEPREFIX/drive_c/Elsewhere" ] || fail "setup created the refused folder"
echo "PASS"
