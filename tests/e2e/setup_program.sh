#!/usr/bin/env bash
# The setup program, silent, in a fresh Wine prefix: it refuses Program Files and a network path;
# installs (key, files, grants, shortcut, Apps & features); the installed program measures; a
# higher version fails while Quelma runs, then upgrades, keeping QUELMA.CFG, Data\ and Photo\
# byte for byte; uninstalling removes the program and keeps the data. Wine's icacls is a stub
# that changes no ACL: its log shows the grants setup asked for.
source "$(dirname "$0")/lib.bash"
source "$(dirname "$0")/measure_lib.bash"
"$QUELMA_ROOT/scripts/package" "$E2E_DIR/out" > "$E2E_DIR/package.log" 2>&1 ||
    fail "scripts/package failed: $(tail -5 "$E2E_DIR/package.log")"
PKG="$E2E_DIR/out/Quelma"
version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$QUELMA_ROOT/build/win64/CMakeCache.txt")"
SETUP="$E2E_DIR/out/QuelmaSetup-$version.exe"
[ -f "$SETUP" ] || fail "scripts/package made no $SETUP"
IFS=. read -r major minor patch <<< "$version"
next="$major.$minor.$((patch + 1))"
SETUP2="$("$QUELMA_ROOT/scripts/make-setup" "$PKG" "$E2E_DIR/out2" "$next" 2>> "$E2E_DIR/package.log")" ||
    fail "no setup of version $next"
expect_eq "$(strings -el "$PKG/quelma.exe" | grep -A1 -x FileVersion | tail -1)" "$version" "quelma.exe FileVersion"

export WINEPREFIX="$E2E_DIR/prefix" WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winemenubuilder.exe=d"
wine_env_prepare
# The stand-in camera where Windows keeps its libraries: the folder holds only Quelma's files.
cp "$WIN_BIN/avicap32.dll" "$WINEPREFIX/drive_c/windows/system32/avicap32.dll"
DIR='C:\Quelma Station'
INSTALL="$WINEPREFIX/drive_c/Quelma Station"
MENU="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs"
SETTINGS='HKLM\SOFTWARE\Vantrel\Quelma\Settings'
ENTRY='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quelma'

# Runs a command line as typed into cmd (/D= takes the rest of it, blanks and all) and prints
# the exit code; Wine's icacls stub logs its command lines.
run() { # linux-exe windows-arguments
    local rc=0
    WINEDEBUG=-all,fixme+icacls wine cmd /c "cd /d $(winepath -w "$(dirname "$1")" 2>/dev/null) && \
        $(basename "$1") $2" >> "$E2E_DIR/setup.log" 2>&1 || rc=$?
    echo "$rc"
}
reg_value() { wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$2 *REG_[A-Z_]* *//p"; }
sums() { (cd "$INSTALL" && sha256sum QUELMA.CFG Data/* Photo/*); }

expect_eq "$(run "$SETUP" "/S /D=C:\\Program Files\\Quelma")" 2 "setup into Program Files"
# NSIS itself would install a network path's setup into C:\Quelma.
expect_eq "$(run "$SETUP" '/S /D=\\server\share\Quelma')" 2 "setup into a network folder"
[ ! -e "$WINEPREFIX/drive_c/Program Files/Quelma" ] && [ ! -e "$WINEPREFIX/drive_c/Quelma" ] ||
    fail "a refused folder was created"

expect_eq "$(run "$SETUP" "/S /D=$DIR")" 0 "silent install"
expect_eq "$(reg_value "$SETTINGS" Path)" "$DIR" "install-folder key"
for f in quelma.exe OPERATOR-GUIDE.txt $(cd "$PKG" && echo Resources/*); do
    cmp -s "$PKG/$f" "$INSTALL/$f" || fail "installed $f differs from the package"
done
[ -f "$INSTALL/uninstall.exe" ] && [ -d "$INSTALL/Data" ] && [ -d "$INSTALL/Photo" ] &&
    [ ! -e "$INSTALL/quelma-32bit.exe" ] || fail "install folder: $(ls "$INSTALL")"
[ -f "$INSTALL/QUELMA.CFG" ] && [ ! -s "$INSTALL/QUELMA.CFG" ] || fail "no empty QUELMA.CFG"
d='C:\\Quelma Station'
for grant in "QUELMA.CFG\" \"/grant\" \"*S-1-5-32-545:M\"" \
    "Data\" \"/grant\" \"*S-1-5-32-545:(OI)(CI)M\"" "Photo\" \"/grant\" \"*S-1-5-32-545:(OI)(CI)M\""; do
    grep -qF "stub: \"C:\\\\windows\\\\system32\\\\icacls.exe\" \"$d\\\\$grant" "$E2E_DIR/setup.log" ||
        fail "no icacls grant $grant in: $(grep icacls "$E2E_DIR/setup.log")"
done
grep -aq 'Quelma Station\\quelma.exe' "$MENU/Quelma.lnk" || fail "no Start menu shortcut to quelma.exe"
for v in "DisplayName=Quelma" "DisplayVersion=$version" "Publisher=Vantrel" "InstallLocation=$DIR" \
    "DisplayIcon=$DIR\\quelma.exe,0" "UninstallString=\"$DIR\\uninstall.exe\"" \
    "QuietUninstallString=\"$DIR\\uninstall.exe\" /S" "NoModify=0x1" "NoRepair=0x1"; do
    expect_eq "$(reg_value "$ENTRY" "${v%%=*}")" "${v#*=}" "Apps & features ${v%%=*}"
done
[ "$(($(reg_value "$ENTRY" EstimatedSize)))" -gt 1000 ] || fail "EstimatedSize under 1000 KB"

# The installed program stores a measurement with its photo.
new_data_file
write_config 0 1 "ID1:NM1"
start_sim --pause 500 --value 0.045
QUELMA_EXE="$(realpath --relative-to="$WIN_BIN" "$INSTALL/quelma.exe")"
start_and_open_measure
press_start ID1 NM1
wait_data_count 1 30
wait_for "Ready" 15 get-text "$M" "$M_STATUS"
[ -f "$INSTALL/Photo/$(field "$(record_fields 0)" photofile)" ] || fail "no photo of the measurement"

# The higher version refuses while Quelma runs, and upgrades the registered folder once it
# has ended.
expect_eq "$(run "$SETUP2" "/S /D=$DIR")" 2 "setup while Quelma runs"
expect_eq "$(run "$INSTALL/uninstall.exe" "/S _?=$DIR")" 2 "uninstall while Quelma runs"
expect_eq "$(reg_value "$ENTRY" DisplayVersion)" "$version" "version after the refused setup"
exit_program
before="$(sums)"
echo stale > "$INSTALL/quelma.exe"
echo stale > "$INSTALL/Resources/quelmalogo.bmp"
expect_eq "$(run "$SETUP2" "/S /32BIT")" 0 "silent upgrade"
expect_eq "$(reg_value "$ENTRY" DisplayVersion)" "$next" "version after the upgrade"
for f in quelma.exe quelma-32bit.exe Resources/quelmalogo.bmp; do
    cmp -s "$PKG/$f" "$INSTALL/$f" || fail "upgrade did not lay $f"
done
[ -f "$MENU/Quelma (32-bit).lnk" ] || fail "no shortcut to the 32-bit program"
expect_eq "$(sums)" "$before" "QUELMA.CFG, Data and Photo after the upgrade"

# _?= runs the uninstaller in place, so that it is waited for and its exit code returned.
expect_eq "$(run "$INSTALL/uninstall.exe" "/S _?=$DIR")" 0 "silent uninstall"
expect_eq "$(cd "$INSTALL" && echo *)" "Data Photo QUELMA.CFG uninstall.exe" "left in the folder"
expect_eq "$(sums)" "$before" "QUELMA.CFG, Data and Photo after uninstalling"
[ ! -e "$MENU/Quelma.lnk" ] && [ ! -e "$MENU/Quelma (32-bit).lnk" ] || fail "shortcuts left"
wine reg query "$SETTINGS" > /dev/null 2>&1 && fail "install-folder key left"
wine reg query "$ENTRY" > /dev/null 2>&1 && fail "Apps & features entry left"
echo "PASS"
