#!/usr/bin/env bash
# The setup program, silent, as a deployment tool runs it, in a fresh Wine prefix: signed when
# given a certificate; it refuses Program Files, a network path, another program's folder and a
# cut-short /CFG= with their exit codes; installs (prepared QUELMA.CFG, key, files, grants,
# shortcut, Apps & features); the installed program measures; setup and uninstaller answer 1618
# while Quelma runs; a planted library, an older setup and a different /D= are refused; a higher
# version upgrades, keeping QUELMA.CFG, Data\ and Photo\ byte for byte and logging every step;
# /MOVE takes every byte of them to a new folder; the silent uninstaller returns once the
# program is gone and keeps the data. Wine's icacls is a stub that changes no ACL: its log
# shows the grants setup asked for.
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
# The higher version is signed with a throw-away certificate: the programs, the setup program
# and the uninstaller inside it.
openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj "/CN=Quelma test" \
    -keyout "$E2E_DIR/key.pem" -out "$E2E_DIR/cert.pem" 2>> "$E2E_DIR/package.log" || fail "no certificate"
cp -r "$PKG" "$E2E_DIR/signed"
SETUP2="$("$QUELMA_ROOT/scripts/make-setup" --sign "$E2E_DIR/cert.pem" "$E2E_DIR/key.pem" \
    "$E2E_DIR/signed" "$E2E_DIR/out2" "$next" 2> "$E2E_DIR/sign.log")" ||
    fail "no signed setup of version $next: $(cat "$E2E_DIR/sign.log")"
expect_eq "$(grep -c '^make-setup: signed ' "$E2E_DIR/sign.log")" 4 "files signed (programs, uninstaller, setup)"
for f in "$E2E_DIR/signed/quelma.exe" "$E2E_DIR/signed/quelma-32bit.exe" "$SETUP2"; do
    osslsigncode verify -CAfile "$E2E_DIR/cert.pem" -in "$f" > "$E2E_DIR/verify.log" 2>&1 ||
        fail "signature of $f: $(tail -3 "$E2E_DIR/verify.log")"
done
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
# the exit code as cmd sees it (Wine hands Linux only its low 8 bits); Wine's icacls stub logs
# its command lines.
run() { # linux-exe windows-arguments
    local out
    out="$(WINEDEBUG=-all,fixme+icacls wine cmd /v:on /c "cd /d $(winepath -w "$(dirname "$1")" 2>/dev/null) && \
        $(basename "$1") $2& echo exit code !errorlevel!" 2>> "$E2E_DIR/setup.log" | tr -d '\r')" || true
    echo "$out" >> "$E2E_DIR/setup.log"
    sed -n 's/^exit code //p' <<< "$out"
}
reg_value() { wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$2 *REG_[A-Z_]* *//p"; }
sums() { (cd "$INSTALL" && sha256sum QUELMA.CFG Data/* Photo/*); }
# The members and settings a site prepares for its stations, and another site's.
mkdir -p "$E2E_DIR/preset" "$E2E_DIR/other"
INSTALL="$E2E_DIR/preset" write_config 0 1 "ID1:NM1"
INSTALL="$E2E_DIR/other" write_config 0 0 "ID9:NM9"
head -c 60 "$E2E_DIR/preset/QUELMA.CFG" > "$E2E_DIR/short.cfg"
PRESET="$(winepath -w "$E2E_DIR/preset/QUELMA.CFG" 2>/dev/null)"

expect_eq "$(run "$SETUP" "/S /D=C:\\Program Files\\Quelma")" 3 "setup into Program Files"
# NSIS itself would install a network path's setup into C:\Quelma.
expect_eq "$(run "$SETUP" '/S /D=\\server\share\Quelma')" 3 "setup into a network folder"
mkdir -p "$WINEPREFIX/drive_c/Tools" && echo MZ > "$WINEPREFIX/drive_c/Tools/tool.exe"
expect_eq "$(run "$SETUP" '/S /D=C:\Tools')" 3 "setup into another program's folder"
expect_eq "$(run "$SETUP" "/S /CFG=$(winepath -w "$E2E_DIR/short.cfg" 2>/dev/null) /D=$DIR")" 2 \
    "setup with a cut-short QUELMA.CFG"
[ ! -e "$WINEPREFIX/drive_c/Program Files/Quelma" ] && [ ! -e "$WINEPREFIX/drive_c/Quelma" ] &&
    [ ! -e "$INSTALL" ] || fail "a refused folder was created"
expect_eq "$(ls "$WINEPREFIX/drive_c/Tools")" tool.exe "another program's folder after the refusal"

expect_eq "$(run "$SETUP" "/S /CFG=$PRESET /D=$DIR")" 0 "silent install"
expect_eq "$(reg_value "$SETTINGS" Path)" "$DIR" "install-folder key"
for f in quelma.exe OPERATOR-GUIDE.txt $(cd "$PKG" && echo Resources/*); do
    cmp -s "$PKG/$f" "$INSTALL/$f" || fail "installed $f differs from the package"
done
[ -f "$INSTALL/uninstall.exe" ] && [ -d "$INSTALL/Data" ] && [ -d "$INSTALL/Photo" ] &&
    [ ! -e "$INSTALL/quelma-32bit.exe" ] || fail "install folder: $(ls "$INSTALL")"
cmp -s "$E2E_DIR/preset/QUELMA.CFG" "$INSTALL/QUELMA.CFG" || fail "/CFG= was not laid as QUELMA.CFG"
d='C:\\Quelma Station'
for grant in "\" \"/inheritance:r\" \"/grant:r\" \"*S-1-5-18:(OI)(CI)F\" \"*S-1-5-32-544:(OI)(CI)F\" \"*S-1-5-32-545:(OI)(CI)RX\" \"/L\"" \
    "\\\\QUELMA.CFG\" \"/grant\" \"*S-1-5-32-545:M\" \"/L\"" \
    "\\\\Data\" \"/grant\" \"*S-1-5-32-545:(OI)(CI)M\" \"/L\"" "\\\\Photo\" \"/grant\" \"*S-1-5-32-545:(OI)(CI)M\" \"/L\""; do
    grep -qF "stub: \"C:\\\\windows\\\\system32\\\\icacls.exe\" \"$d$grant" "$E2E_DIR/setup.log" ||
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
start_sim --pause 500 --value 0.045
QUELMA_EXE="$(realpath --relative-to="$WIN_BIN" "$INSTALL/quelma.exe")"
start_and_open_measure
press_start ID1 NM1
wait_data_count 1 30
wait_for "Ready" 15 get-text "$M" "$M_STATUS"
[ -f "$INSTALL/Photo/$(field "$(record_fields 0)" photofile)" ] || fail "no photo of the measurement"

# While Quelma runs, setup and uninstaller change nothing and answer 1618, which deployment
# tools retry; a library planted beside the program is refused, a held file fails; the higher
# version upgrades the registered folder once Quelma has ended.
expect_eq "$(run "$SETUP2" "/S /D=$DIR")" 1618 "setup while Quelma runs"
expect_eq "$(run "$INSTALL/uninstall.exe" "/S")" 1618 "uninstall while Quelma runs"
expect_eq "$(reg_value "$ENTRY" DisplayVersion)" "$version" "version after the refused setup"
exit_program
before="$(sums)"
echo stale > "$INSTALL/quelma.exe"
echo stale > "$INSTALL/Resources/quelmalogo.bmp"
echo MZ > "$INSTALL/version.dll"
expect_eq "$(run "$SETUP2" "/S")" 3 "upgrade beside a planted version.dll"
rm "$INSTALL/version.dll"
# A file another program holds fails the upgrade with 5, never a half-upgraded 0.
wine "$WIN_BIN/wdrive.exe" hold "$DIR\\OPERATOR-GUIDE.txt" "$(winepath -w "$E2E_DIR" 2>/dev/null)\\release" \
    > "$E2E_DIR/held" 2>/dev/null &
holder=$!
wait_eq 1 30 "OPERATOR-GUIDE.txt held by another program" grep -c held "$E2E_DIR/held"
expect_eq "$(run "$SETUP2" "/S")" 5 "upgrade with OPERATOR-GUIDE.txt held"
touch "$E2E_DIR/release"
wait "$holder"
expect_eq "$(reg_value "$ENTRY" DisplayVersion)" "$version" "version after the failed upgrade"
OTHER="$(winepath -w "$E2E_DIR/other/QUELMA.CFG" 2>/dev/null)"
expect_eq "$(run "$SETUP2" "/S /32BIT /CFG=$OTHER /LOG=C:\\upgrade.log")" 0 "silent upgrade"
expect_eq "$(reg_value "$ENTRY" DisplayVersion)" "$next" "version after the upgrade"
for f in quelma.exe quelma-32bit.exe Resources/quelmalogo.bmp; do
    cmp -s "$E2E_DIR/signed/$f" "$INSTALL/$f" || fail "upgrade did not lay $f"
done
[ -f "$MENU/Quelma (32-bit).lnk" ] || fail "no shortcut to the 32-bit program"
expect_eq "$(sums)" "$before" "QUELMA.CFG (not the /CFG= one), Data and Photo after the upgrade"
LOG="$WINEPREFIX/drive_c/upgrade.log"
for line in "QUELMA.CFG exists: /CFG=$OTHER is not laid over it." \
    "icacls \"$DIR\\Photo\" /grant \"*S-1-5-32-545:(OI)(CI)M\" /L" "Done: Quelma $next is installed in $DIR."; do
    grep -qxF "$line" <<< "$(tr -d '\r' < "$LOG")" || fail "/LOG= lacks '$line': $(cat "$LOG")"
done
expect_eq "$(run "$SETUP" "/S")" 4 "the older setup over the newer installation"
expect_eq "$(reg_value "$ENTRY" DisplayVersion)" "$next" "version after the refused downgrade"

# The data stays found: another folder is refused, and /MOVE takes every byte of it along.
MOVED='C:\Quelma Moved'
expect_eq "$(run "$SETUP2" "/S /D=$MOVED")" 3 "setup into another folder over an installation"
[ ! -e "$WINEPREFIX/drive_c/Quelma Moved" ] || fail "the refused folder was created"
expect_eq "$(run "$SETUP2" "/S /MOVE /D=$MOVED")" 0 "setup /MOVE"
[ ! -e "$INSTALL" ] || fail "left after the move: $(ls "$INSTALL")"
INSTALL="$WINEPREFIX/drive_c/Quelma Moved"
expect_eq "$(sums)" "$before" "QUELMA.CFG, Data and Photo after the move"
expect_eq "$(reg_value "$SETTINGS" Path)" "$MOVED" "install-folder key after the move"
expect_eq "$(reg_value "$ENTRY" InstallLocation)" "$MOVED" "Apps & features entry after the move"

# The uninstaller returns its exit code once the program is gone: Windows renames away its
# own running file, Wine removes it at the next start.
expect_eq "$(run "$INSTALL/uninstall.exe" "/S")" 0 "silent uninstall"
expect_eq "$(cd "$INSTALL" && echo *)" "Data Photo QUELMA.CFG uninstall.exe" "left in the folder"
pending="$(wine reg query 'HKLM\System\CurrentControlSet\Control\Session Manager' /v PendingFileRenameOperations)"
grep -qF 'Quelma Moved\uninstall.exe' <<< "$pending" || fail "uninstall.exe is not removed at the next start: $pending"
expect_eq "$(sums)" "$before" "QUELMA.CFG, Data and Photo after uninstalling"
[ ! -e "$MENU/Quelma.lnk" ] && [ ! -e "$MENU/Quelma (32-bit).lnk" ] || fail "shortcuts left"
wine reg query "$SETTINGS" > /dev/null 2>&1 && fail "install-folder key left"
wine reg query "$ENTRY" > /dev/null 2>&1 && fail "Apps & features entry left"
echo "PASS"
