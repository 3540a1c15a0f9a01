#!/usr/bin/env bash
# quelma-collect against a real PostgreSQL: arguments and exit codes, the schema, a first
# import of two stations (decoded fields, members, photos, views), a re-run that writes
# nothing, new records while a file is being written, damaged and replaced files, a missing
# station folder, and --watch.
source "$(dirname "$0")/lib.bash"

A="$WORK/gate1"
B="$WORK/gate2"
START=1772323200      # 2026-03-01 00:00 UTC
START_2025=1740787200 # 2025-03-01 00:00 UTC
"$MAKER" "$A" --members 4 --start "$START" --records 50 --photos 10
"$MAKER" "$A" --start "$START_2025" --records 7
"$MAKER" "$B" --members 2 --start "$((START + 1800))" --records 3 --photos 1
STATIONS=(--station "gate1=$A" --station "gate2=$B")

# --- bad arguments, no database, no schema: 2
for args in "" "--db" "--db $CONN" "--db $CONN --station gate1" "--db $CONN --station =$A" \
    "--db $CONN --station a=$A --station a=$B" "--db $CONN --station a=$A --watch 0" \
    "--db $CONN --init --station a=$A" "--db $CONN --station a=$A --bogus"; do
    RC=0
    OUT="$("$COLLECT" $args 2>&1)" || RC=$?
    expect_rc 2
    expect_out "usage: quelma-collect"
done
collect --db "host=$WORK/no-such-socket dbname=x" "${STATIONS[@]}"
expect_rc 2
expect_out "cannot connect to the database"
collect "${STATIONS[@]}"
expect_rc 2
expect_out "has no Quelma schema"

# --- schema: created once, a second --init writes nothing
collect --init
expect_rc 0
expect_out "schema quelma is at version 4"
xid="$(next_xid)"
collect --init
expect_rc 0
expect_eq "$(next_xid)" "$xid" "transactions written by a second --init"
expect_eq "$(q "SELECT version FROM quelma.schema_version")" 4 "schema version"

# --- first import
before="$(snapshot "$WORK")"
collect "${STATIONS[@]}"
expect_rc 0
expect_eq "$OUT" "station gate1: 57 new records, 10 photos, 0 damaged files
station gate2: 3 new records, 1 photo, 0 damaged files" "summary of the first import"
expect_eq "$(q "SELECT station || ' ' || year || ' ' || count(*) FROM quelma.measurements
                GROUP BY station, year ORDER BY 1")" "gate1 2025 7
gate1 2026 50
gate2 2026 3" "stored records"
expect_consistent gate1 "$A"
expect_consistent gate2 "$B"

# Every field of a Fast "Hi" record of the member whose name needs escaping, with its photo.
expect_eq "$(q "SELECT concat_ws('|', id, name = E'Zo\u00e9 \u20ac back\\\\tab\t', card_serial,
                time, mode, unit, low, hi, value, level, result, photo, positive,
                photo_file IN (SELECT file_name FROM quelma.photos))
                FROM quelma.measurements WHERE station = 'gate1' AND year = 2026 AND number = 1")" \
    "M001|t|1f202122|2026-03-01 01:00:00+00|Fast|mg/l|0.1|0.25|0.3|Hi|Hi|t|t|t" \
    "decoded record 1"
# Normal records: at Low is positive; below it is not, whatever level was left in the record.
expect_eq "$(q "SELECT string_agg(concat_ws('|', number, mode, coalesce(level, '-'), result,
                positive, photo, coalesce(photo_file, '-')), ' ' ORDER BY number)
                FROM quelma.measurements WHERE station = 'gate1' AND year = 2026 AND number IN (3, 4, 12)")" \
    "3|Normal|-|0.100 %BAC|t|t|Member 3_2026_03_01_AM_03_00_00.bmp 4|Normal|-|0.099 mg/l|f|t|Member 0_2026_03_01_AM_04_00_00.bmp 12|Fast|Low|Low|t|f|-" \
    "decoded Normal and Fast records"
expect_eq "$(q "SELECT station || ' ' || slot || ' ' || id FROM quelma.members ORDER BY 1")" \
    "gate1 0 M000
gate1 1 M001
gate1 2 M002
gate1 3 M003
gate2 0 M000
gate2 1 M001" "members"
expect_eq "$(q "SELECT encode(sha256, 'hex') || ' ' || size FROM quelma.photos WHERE station = 'gate1'" | sort)" \
    "$(cd "$A/Photo" && for f in *.bmp; do echo "$(sha256sum <"$f" | cut -d' ' -f1) $(stat -c %s "$f")"; done | sort)" \
    "photo digests"

# Views: positives are numbers 1, 2 and 3 of every five (see station_maker), one record an hour
# (gate2 half an hour later: stations never share a first record).
positives() { # first last: positives among record numbers first..last
    local n count=0
    for ((n = $1; n <= $2; n++)); do ((n % 5 >= 1 && n % 5 <= 3)) && count=$((count + 1)); done
    echo "$count"
}
expect_eq "$(q "SELECT concat_ws(' ', station, day, measurements, positives) FROM quelma.positives_per_day ORDER BY station, day")" \
    "gate1 2025-03-01 7 $(positives 0 6)
gate1 2026-03-01 24 $(positives 0 23)
gate1 2026-03-02 24 $(positives 24 47)
gate1 2026-03-03 2 $(positives 48 49)
gate2 2026-03-01 3 $(positives 0 2)" "positives per day"
# M000 was last measured at gate1 as record 48 (later than gate2's record 2), M001 as 49.
expect_eq "$(q "SELECT concat_ws(' ', member_id, station, year, number, time) FROM quelma.latest_per_member ORDER BY 1")" \
    "M000 gate1 2026 48 2026-03-03 00:00:00+00
M001 gate1 2026 49 2026-03-03 01:00:00+00
M002 gate1 2026 46 2026-03-02 22:00:00+00
M003 gate1 2026 47 2026-03-02 23:00:00+00" "latest result per member"

# --- a second run finds nothing new and writes nothing, and no station file was touched
xid="$(next_xid)"
collect "${STATIONS[@]}"
expect_rc 0
expect_eq "$OUT" "station gate1: 0 new records, 0 photos, 0 damaged files
station gate2: 0 new records, 0 photos, 0 damaged files" "summary of a run with nothing new"
expect_eq "$(next_xid)" "$xid" "transactions written by a run with nothing new"
expect_eq "$(snapshot "$WORK")" "$before" "station folders after two runs"

# --- new records, one more still being written (its bytes are there, the count is not),
# and a member list that shrank
DAT="$A/Data/Quelma2026.dat"
"$MAKER" "$A" --members 3 --start "$START" --records 5
head -c 144 /dev/urandom >>"$DAT"
collect "${STATIONS[@]}"
expect_rc 0
expect_out "station gate1: 5 new records, 0 photos, 0 damaged files"
expect_eq "$(q "SELECT count(*) FROM quelma.members WHERE station = 'gate1'")" 3 "members after the change"
"$MAKER" "$A" --start "$START" --records 1
collect "${STATIONS[@]}"
expect_out "station gate1: 1 new record, 0 photos, 0 damaged files"
expect_consistent gate1 "$A"
expect_eq "$(q "SELECT record_count FROM quelma.data_files WHERE station = 'gate1' AND year = 2026")" 56 "records of 2026"

# --- damaged and replaced files are reported and skipped; everything else still comes in
truncate -s $((8 + 72 * 2)) "$B/Data/Quelma2026.dat" # the count says 3
"$MAKER" "$B" --start "$((START_2025 + 1800))" --records 2
# Record 1 with fields no program would write: a time beyond any calendar, a NaN value,
# unknown mode and unit codes. It is stored with them as NULLs (its raw bytes keep them).
patch() { printf "$2" | dd of="$B/Data/Quelma2025.dat" bs=1 seek=$((8 + 72 + $1)) conv=notrunc status=none; }
patch 40 '\xff\xff\xff\xff\xff\xff\xff\x7f'
patch 48 '\x07\x00\x09'
patch 60 '\x00\x00\xc0\x7f'
{ printf 'BM\x10\x27\x00\x00' && head -c 14 /dev/zero; } >"$A/Photo/broken.bmp"
stored_2025="$(db_records_sha gate1 2025)"
rm "$A/Data/Quelma2025.dat"
"$MAKER" "$A" --start "$START_2025" --records 7 --seed 5 # same records, other card serials
photos=("$A"/Photo/Member*.bmp)
cp "${photos[1]}" "${photos[0]}"
"$MAKER" "$A" --start "$START" --records 2 --photos 1
collect "${STATIONS[@]}" --station "gate3=$WORK/not-there"
expect_rc 1
expect_out "station gate1: 2 new records, 1 photo, 1 damaged file, 2 replaced files"
expect_out "  Data/Quelma2025.dat: record 0 differs from the one already imported (file replaced?); not imported"
expect_out "  Photo/broken.bmp: holds 20 of the 10000 bytes its header counts; skipped"
expect_out "  Photo/$(basename "${photos[0]}"): differs from the photo already imported; not imported"
# A file shorter than its count may be one the station is writing: damaged only when the
# next run finds it the same.
expect_out "station gate2: 2 new records, 0 photos, 0 damaged files"
expect_out "station gate3: 0 new records, 0 photos, 0 damaged files; failed: the folder $WORK/not-there is not there"
expect_eq "$(db_records_sha gate1 2025)" "$stored_2025" "records of a replaced file"
expect_eq "$(q "SELECT count(*) FROM quelma.measurements WHERE station = 'gate2' AND year = 2025")" 2 "gate2 2025"
expect_eq "$(q "SELECT concat_ws('|', time IS NULL, mode IS NULL, unit IS NULL, value::text, encode(substr(raw, 41, 8), 'hex'))
                FROM quelma.measurements WHERE station = 'gate2' AND year = 2025 AND number = 1")" \
    "t|t|t|NaN|ffffffffffffff7f" "a record with impossible fields"
[[ "$OUT" != *$'\r'* ]] || fail "a progress bar without a terminal"
collect --station "gate2=$B"
expect_rc 1
expect_eq "$OUT" "station gate2: 0 new records, 0 photos, 1 damaged file
  Data/Quelma2026.dat: holds 2 of the 3 records it counts; the 2 whole ones are imported" "a short file over two runs"

# --- a station another collector is importing waits for the next run
psql -X -q -h "$PG_DIR/socket" -d "$DB" -c "SELECT pg_advisory_lock(hashtext('quelma.station'), hashtext('gate2'))" \
    -c "SELECT pg_sleep(60)" >/dev/null 2>&1 &
holder=$!
for _ in $(seq 100); do
    [ "$(q "SELECT count(*) FROM pg_locks WHERE locktype = 'advisory' AND granted")" = 1 ] && break
    sleep 0.1
done
collect --station "gate2=$B"
kill "$holder"
wait "$holder" || true
expect_rc 1
expect_out "station gate2: 0 new records, 0 photos, 0 damaged files; failed: another quelma-collect is importing this station"

# --- --watch picks up what comes in, until stopped; --quiet prints nothing when all is well
C="$WORK/gate4"
"$MAKER" "$C" --start "$((START + 600))" --records 4
"$COLLECT" --db "$CONN" --station "gate4=$C" --watch 1 --quiet >"$WORK/watch.out" 2>&1 &
watcher=$!
"$MAKER" "$C" --start "$((START + 600))" --records 3
for _ in $(seq 100); do
    [ "$(q "SELECT coalesce(max(record_count), 0) FROM quelma.data_files WHERE station = 'gate4'")" = 7 ] && break
    sleep 0.1
done
kill "$watcher"
wait "$watcher" || true
expect_eq "$(q "SELECT record_count FROM quelma.data_files WHERE station = 'gate4'")" 7 "records seen by --watch"
expect_eq "$(cat "$WORK/watch.out")" "" "output of --watch --quiet"
# A record changed after it was imported: reported, nothing stored changes. While the file
# keeps its size and date it is not even read.
touch -r "$C/Data/Quelma2026.dat" "$WORK/stamp"
printf '\x01' | dd of="$C/Data/Quelma2026.dat" bs=1 seek=$((8 + 72 * 6 + 60)) conv=notrunc status=none
touch -r "$WORK/stamp" "$C/Data/Quelma2026.dat"
collect --station "gate4=$C" --quiet
expect_eq "$RC $OUT" "0 " "a run over a file of unchanged size and date"
touch "$C/Data/Quelma2026.dat"
collect --station "gate4=$C" --quiet
expect_rc 1
expect_eq "$OUT" "station gate4: 0 new records, 0 photos, 0 damaged files, 1 replaced file
  Data/Quelma2026.dat: record 6 differs from the one already imported (file replaced?); not imported" \
    "output of --quiet with a replaced file"
expect_eq "$(q "SELECT count(*) FROM quelma.measurements WHERE station = 'gate4'")" 7 "records of gate4"
# The report of gate4's troubles is kept for the web, once.
expect_eq "$(q "SELECT replaced || ' ' || (notes LIKE 'Data/Quelma2026.dat: record 6 differs%') FROM quelma.station_reports
                WHERE station = 'gate4'")" "1 true" "stored report of gate4"

# --- a station's life: a Backup, a moved copy imported by hand, a restored older copy
# measured on, a new PC. Every record is stored once, none twice.
L="$WORK/north"
T0=$((START + 3 * 86400))
"$MAKER" "$L" --members 2 --start "$T0" --records 5
cp "$L/Data/Quelma2026.dat" "$WORK/north-5.dat"
"$MAKER" "$L" --start "$T0" --records 2
collect --station "north=$L"
expect_out "station north: 7 new records"
"$MAKER" "$L" --start "$T0" --records 2 # measured after that run, before the Backup
mv "$L/Data/Quelma2026.dat" "$WORK/backup.dat"
"$MAKER" "$L" --start "$((T0 + 86400))" --records 3
collect --station "north=$L"
expect_rc 0
expect_eq "$OUT" "station north: 3 new records, 0 photos, 0 damaged files, new data file (after a Backup?)" "after a Backup"
"$MAKER" "$L" --start "$((T0 + 86400))" --records 10
collect --station "north=$L"
expect_eq "$OUT" "station north: 10 new records, 0 photos, 0 damaged files" "the new file measured on"
for expected in 2 0; do
    collect --import-file north "$WORK/backup.dat"
    expect_rc 0
    expect_eq "$OUT" "station north: $expected new records, 0 photos, 0 damaged files" "the moved copy"
done
mv "$L/Data/Quelma2026.dat" "$WORK/backup2.dat"
cp "$WORK/north-5.dat" "$L/Data/Quelma2026.dat"
collect --station "north=$L"
expect_eq "$OUT" "station north: 0 new records, 0 photos, 0 damaged files" "a restored older copy"
"$MAKER" "$L" --start "$((T0 + 2 * 86400))" --records 3
collect --station "north=$L"
expect_eq "$OUT" "station north: 3 new records, 0 photos, 0 damaged files, new data file (after a Backup?)" \
    "the restored copy measured on"
"$MAKER" "$WORK/north-pc2" --members 2 --start "$((T0 + 3 * 86400))" --records 4
collect --station "north=$WORK/north-pc2"
expect_out "station north: 4 new records, 0 photos, 0 damaged files, new data file (after a Backup?)"
expect_eq "$(q "SELECT count(*) || ' ' || count(DISTINCT raw) FROM quelma.measurements WHERE station = 'north'")" \
    "29 29" "north's records: all once"
expect_eq "$(q "SELECT string_agg(concat_ws(' ', generation, parent, base, record_count), ', ' ORDER BY generation)
                FROM quelma.data_files WHERE station = 'north'")" "1 0 9, 2 0 13, 3 1 5 8, 4 0 4" "north's generations"

# --- a folder that is another station's (a swapped mount, a renamed station) is refused
# unless --rename says so; a short file's whole records come in at once.
S="$WORK/south"
"$MAKER" "$S" --members 3 --start "$((T0 + 1800))" --records 8
printf '\x0a' | dd of="$S/Data/Quelma2026.dat" bs=1 conv=notrunc status=none # counts 10
collect --station "south=$S"
expect_eq "$OUT" "station south: 8 new records, 0 photos, 0 damaged files" "a file counting 10, holding 8"
for name in north sud; do
    collect --station "$name=$S"
    expect_rc 1
    expect_out "station $name: 0 new records, 0 photos, 0 damaged files; failed: Data/Quelma2026.dat belongs to station south: is another station's folder mounted here? If south is now called $name, run once with --rename south=$name"
done
expect_eq "$(q "SELECT string_agg(id, ',' ORDER BY slot) FROM quelma.members WHERE station = 'north'")" "M000,M001" \
    "north's members after the swapped mount"
# What the cases keep of the station follows it too.
q "INSERT INTO quelma.outcomes (station, year, generation, number, outcome, note, user_name) VALUES ('south', 2026, 1, 0, 'other', '', 'x');
   INSERT INTO quelma.alerts (station, year, generation, number, channel) VALUES ('south', 2026, 1, 0, 'mail')" >/dev/null
collect --rename south=sud --station "sud=$S"
expect_rc 1
expect_eq "$(q "SELECT (SELECT count(*) FROM quelma.outcomes WHERE station = 'sud') || ' ' || (SELECT count(*) FROM quelma.alerts
                WHERE station = 'sud') || ' ' || (SELECT count(*) FROM quelma.paired_files WHERE station = 'sud') || ' ' ||
                (SELECT count(*) FROM quelma.paired_files WHERE station = 'south')")" "1 1 1 0" "the renamed station's cases"
q "DELETE FROM quelma.outcomes; DELETE FROM quelma.alerts" >/dev/null
expect_eq "$OUT" "station south is now called sud
station sud: 0 new records, 0 photos, 1 damaged file
  Data/Quelma2026.dat: holds 8 of the 10 records it counts; the 8 whole ones are imported" "a renamed station"
expect_eq "$(q "SELECT string_agg(DISTINCT station, ',') || ' ' || count(*) FROM quelma.measurements WHERE station IN ('south', 'sud')")" \
    "sud 8" "records of the renamed station"

# --- each part on its own: members that cannot be read, a photo held by another program
W="$WORK/west"
"$MAKER" "$W" --members 2 --start "$((T0 + 1200))" --records 3 --photos 2
mv "$W/QUELMA.CFG" "$WORK/west.cfg"
ln -s /proc/self/mem "$W/Photo/held.bmp" # a file whose every read fails
collect --station "west=$W"
expect_rc 1
expect_eq "$OUT" "station west: 3 new records, 2 photos, 0 damaged files, 1 unreadable file; failed: QUELMA.CFG cannot be read
  Photo/held.bmp: cannot be read now; tried again next run" "a station with parts that cannot be read"
mv "$WORK/west.cfg" "$W/QUELMA.CFG"
rm "$W/Photo/held.bmp"
cp "$(ls "$W"/Photo/*.bmp | head -n 1)" "$W/Photo/held.bmp"
collect --station "west=$W"
expect_rc 0
expect_eq "$OUT" "station west: 0 new records, 1 photo, 0 damaged files" "the held photo next run"

# --- a station's zone and code page: names read in code page 1250, photo names made in the
# station's zone, and made again when its zone changes
Z="$WORK/east"
TZ=Europe/Vienna "$MAKER" "$Z" --members 1 --start "$((START + 900))" --records 1 --photos 1
printf '\xa5' | dd of="$Z/Data/Quelma2026.dat" bs=1 seek=$((8 + 10)) conv=notrunc status=none
photo=("$Z"/Photo/*.bmp)
mv "${photo[0]}" "$Z/Photo/$(printf '\xa5')${photo[0]##*/M}" # "Member 0" becomes "\xa5ember 0"
linked() { q "SELECT concat_ws(' ', name, photo_file IN (SELECT file_name FROM quelma.photos)) FROM quelma.measurements WHERE station = 'east'"; }
collect --station "east=$Z,tz=Europe/Vienna,codepage=1250"
expect_rc 0
expect_eq "$(linked)" "$(printf '\u0104')ember 0 t" "name and photo in the station's code page and zone"
collect --station "east=$Z,tz=Europe/London,codepage=1250"
expect_eq "$(linked)" "$(printf '\u0104')ember 0 f" "photo name in another zone"
collect --station "east=$Z,tz=Europe/Vienna,codepage=1250"
expect_eq "$(linked)" "$(printf '\u0104')ember 0 t" "photo name in the station's zone again"
collect --station "east=$Z,tz=Mars/Olympus"
expect_rc 2
expect_out "time zone \"Mars/Olympus\" is not known here"
psql_admin -c "CREATE DATABASE ${DB}_latin1 ENCODING 'LATIN1' TEMPLATE template0 LC_COLLATE 'C' LC_CTYPE 'C'" >/dev/null
RC=0
OUT="$("$COLLECT" --db "host=$PG_DIR/socket dbname=${DB}_latin1" --init 2>&1)" || RC=$?
expect_rc 2
expect_out "the database's encoding is LATIN1, not UTF8"

# --- a database of version 1 (its step, never edited once released, taken from the source)
# migrates to the current version and keeps what it holds.
psql_admin -c "CREATE DATABASE ${DB}_v1" >/dev/null
{
    echo "CREATE SCHEMA quelma; CREATE TABLE quelma.schema_version (version integer NOT NULL);"
    echo "INSERT INTO quelma.schema_version VALUES (1);"
    sed -n '/R"sql(/,/)sql"/p' "$QUELMA_ROOT/collect/schema.cpp" | sed '/)sql"/q' | sed '1d;$d'
    echo "INSERT INTO quelma.stations VALUES ('old', '/x');"
} | psql -X -q -v ON_ERROR_STOP=1 -h "$PG_DIR/socket" -d "${DB}_v1" >/dev/null || fail "cannot make a version 1 database"
CONN="host=$PG_DIR/socket dbname=${DB}_v1"
collect --init
expect_rc 0
"$MAKER" "$WORK/gate9" --members 1 --start "$START" --records 3
collect --station "gate9=$WORK/gate9"
expect_rc 0
expect_eq "$(psql -X -A -t -h "$PG_DIR/socket" -d "${DB}_v1" -c "SELECT (SELECT version FROM quelma.schema_version)
    || ' ' || string_agg(name, ',' ORDER BY name) || ' ' || (SELECT count(*) FROM quelma.measurements)
    || ' ' || (SELECT count(*) FROM quelma.web_users) FROM quelma.stations")" "4 gate9,old 3 0" "migrated database"
echo "collect import: all checks passed"
