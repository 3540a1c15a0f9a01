#!/usr/bin/env bash
# The Setting and Backup windows of the real program: values stored by OK and applied after
# Exit reach QUELMA.CFG, Exit without OK changes nothing; the Backup window shows the data
# file, refuses an existing name and then moves the file to a new name through the system
# save dialog, after which the program ends. quelma-collect follows the station through it:
# the records of the file before the Backup, of its moved copy, of the file the next start
# creates and of a restored older copy measured on are each stored once.
source "$(dirname "$0")/lib.bash"
source "$(dirname "$0")/settings_lib.bash"
PG="$E2E_DIR/pg"
trap '"$QUELMA_ROOT/tests/collect/pg-cluster" stop "$PG" >/dev/null 2>&1 || true; e2e_cleanup' EXIT
"$QUELMA_ROOT/tests/collect/pg-cluster" start "$PG" || fail "cannot start a PostgreSQL cluster"
collect() { # expected output line, collector arguments...
    local want="$1" out rc=0
    shift
    out="$(TZ=UTC "$NATIVE_BIN/quelma-collect" --db "host=$PG/socket dbname=postgres" "$@" 2>&1)" || rc=$?
    grep -qxF -- "$want" <<<"$out" || fail "quelma-collect $*: exit $rc, expected \"$want\", got: $out"
}
records() { psql -X -A -t -h "$PG/socket" -d postgres -c "SELECT count(*) || ' ' || count(DISTINCT raw) FROM quelma.measurements"; }
collect "schema quelma is at version 4" --init
new_install
write_settings_config 0 "ID1:NM1" "ID2:NM2"
write_data_records 2026-01-02 2026-01-05 2026-02-01
start_to_main_window
collect "station site: 3 new records, 0 photos, 0 damaged files" --station "site=$INSTALL"
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
# A record taken after the collector's last run, before the Backup: only the moved copy has it.
cp "$data" "$E2E_DIR/three.dat"
write_data_records 2026-01-02 2026-01-05 2026-02-01 2026-02-02
cp "$data" "$E2E_DIR/original.dat"

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

# The next start creates a new data file; its records are a new generation of the year, the
# moved copy adds the one record the collector had not seen.
start_quelma
wd answer "Data file open fail. Create new one ?" yes 30000 >/dev/null || fail "no data file question"
answer_no_port_search
wd wait-window "- Quelma" 20000 >/dev/null || fail "no main window after the Backup"
exit_program
expect_eq "$(stat -c %s "$data")" 8 "the new data file"
collect "station site: 0 new records, 0 photos, 0 damaged files" --station "site=$INSTALL"
write_data_records 2026-03-01 2026-03-02
collect "station site: 2 new records, 0 photos, 0 damaged files, new data file (after a Backup?)" --station "site=$INSTALL"
for n in 1 0; do
    collect "station site: $n new record$([ $n = 1 ] || echo s), 0 photos, 0 damaged files" --import-file site "$E2E_DIR/backup.dat"
done
# The older copy restored and measured on; then the station's first file on a new PC.
cp "$E2E_DIR/three.dat" "$data"
start_to_main_window
exit_program
write_data_records 2026-01-02 2026-01-05 2026-02-01 2026-03-05
collect "station site: 1 new record, 0 photos, 0 damaged files, new data file (after a Backup?)" --station "site=$INSTALL"
mkdir -p "$E2E_DIR/pc2/Data" && cp "$INSTALL/QUELMA.CFG" "$E2E_DIR/pc2/"
quelma_files data "$E2E_DIR/pc2/Data/$DATA_NAME" "M001:Alice:1:0:0.01:2026-03-07"
collect "station site: 1 new record, 0 photos, 0 damaged files, new data file (after a Backup?)" --station "site=$E2E_DIR/pc2"
expect_eq "$(records)" "8 8" "records stored, and distinct ones"
echo "PASS"
