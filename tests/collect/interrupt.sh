#!/usr/bin/env bash
# Interrupted imports: the collector killed (SIGKILL) at several moments of a large import,
# stopped (SIGTERM) in --watch, a station folder that vanishes while it is being imported, a
# station that never answers, connections the server drops. Whatever happens, the database
# holds whole batches only, and the next run completes the import.
source "$(dirname "$0")/lib.bash"
"$COLLECT" --db "$CONN" --init >/dev/null

# Two years of records and a year with a photo for each of its records.
K="$WORK/gate1"
"$MAKER" "$K" --year 2024 --records 20000 --step 1200
"$MAKER" "$K" --year 2025 --records 20000 --step 1200
"$MAKER" "$K" --year 2026 --records 200 --photos 200 --photo-size 160x120

# --- SIGKILL at growing delays; each run goes on from what the previous one committed
hits=0
for delay in 0.2 0.5 0.9 1.4 2 3; do
    "$COLLECT" --db "$CONN" --station "gate1=$K" >/dev/null 2>&1 &
    pid=$!
    sleep "$delay"
    if kill -KILL "$pid" 2>/dev/null; then
        hits=$((hits + 1))
    fi
    wait "$pid" 2>/dev/null || true
    expect_consistent gate1 "$K"
done
[ "$hits" -gt 0 ] || fail "every run ended before it could be killed"
left="$(q "SELECT 40200 - coalesce(sum(record_count), 0) FROM quelma.data_files WHERE station = 'gate1'")"
collect --station "gate1=$K"
expect_rc 0
expect_out "station gate1: $(sed ':a;s/\B[0-9]\{3\}\>/,&/;ta' <<<"$left") new records"
expect_consistent gate1 "$K"
expect_eq "$(q "SELECT sum(record_count) FROM quelma.data_files WHERE station = 'gate1'")" 40200 "records after the kills"
expect_eq "$(q "SELECT count(*) FROM quelma.photos WHERE station = 'gate1'")" 200 "photos after the kills"
echo "collect interrupt: $hits of 6 runs killed while importing"

# --- a station folder that vanishes (a share unmounted) after its first file was taken
V="$WORK/gate2"
O="$WORK/gate3"
# Stations never share a first record: these begin their years an hour and two later.
for year in 2023 2024 2025 2026; do
    "$MAKER" "$V" --start "$(date -d "$year-01-01 01:00" +%s)" --records 15000 --step 1200
done
"$MAKER" "$V" --start "$(date -d "2026-01-01 01:00" +%s)" --records 200 --photos 200 --photo-size 160x120
"$MAKER" "$O" --start "$(date -d "2026-01-01 02:00" +%s)" --records 10 --photos 2
RC=0
"$COLLECT" --db "$CONN" --station "gate2=$V" --station "gate3=$O" >"$WORK/vanish.out" 2>&1 &
pid=$!
for _ in $(seq 600); do
    [ "$(q "SELECT count(*) FROM quelma.data_files WHERE station = 'gate2'")" -gt 0 ] && break
    sleep 0.05
done
mv "$V" "$V.gone"
wait "$pid" || RC=$?
OUT="$(cat "$WORK/vanish.out")"
expect_rc 1
expect_out "failed: the folder $V is gone"
expect_out "station gate3: 10 new records, 2 photos, 0 damaged files"
mv "$V.gone" "$V"
expect_consistent gate2 "$V"
expect_consistent gate3 "$O"
[ "$(q "SELECT count(*) FROM quelma.data_files WHERE station = 'gate2'")" -lt 4 ] ||
    fail "every file of the vanished station was imported"
collect --station "gate2=$V" --station "gate3=$O"
expect_rc 0
expect_consistent gate2 "$V"
expect_eq "$(q "SELECT sum(record_count) FROM quelma.data_files WHERE station = 'gate2'")" 60200 "records after the folder came back"
expect_out "station gate3: 0 new records, 0 photos, 0 damaged files"

# --- SIGTERM in --watch: the batch under way commits or rolls back, the collector ends with 0
G="$WORK/gate5"
"$MAKER" "$G" --start "$(date -d "2026-01-01 03:00" +%s)" --records 120000 --step 60
"$COLLECT" --db "$CONN" --station "gate5=$G" --watch 60 >"$WORK/term.out" 2>&1 &
pid=$!
for _ in $(seq 600); do
    [ "$(q "SELECT count(*) FROM quelma.stations WHERE name = 'gate5'")" = 1 ] && break
    sleep 0.05
done
kill -TERM "$pid"
RC=0
timeout 30 tail --pid="$pid" -f /dev/null || fail "the collector did not end within 30 s of SIGTERM"
wait "$pid" || RC=$?
OUT="$(cat "$WORK/term.out")"
expect_rc 0
expect_consistent gate5 "$G"
stored="$(q "SELECT coalesce(sum(record_count), 0) FROM quelma.data_files WHERE station = 'gate5'")"
# A large import commits in batches of 50,000 records.
((stored % 50000 == 0 || stored == 120000)) || fail "SIGTERM left $stored records, not whole batches"
echo "collect interrupt: SIGTERM left $stored of 120000 records"

# --- a station that never answers (its data file a pipe nobody writes: every open hangs)
# delays no other beyond the deadline; connections the server drops cost one reconnect
D="$WORK/dead"
mkdir -p "$D/Data"
mkfifo "$D/Data/Quelma2026.dat"
"$MAKER" "$O" --start "$(date -d "2026-01-01 02:00" +%s)" --records 2
SECONDS=0
collect --station "dead=$D" --station "gate3=$O" --deadline 2
expect_rc 1
expect_out "station dead: 0 new records, 0 photos, 0 damaged files; failed: no end within 2 s"
expect_out "station gate3: 2 new records, 0 photos, 0 damaged files"
((SECONDS < 10)) || fail "a dead station held the run for $SECONDS s"
"$COLLECT" --db "$CONN" --station "gate3=$O" --watch 1 >"$WORK/drop.out" 2>&1 &
watcher=$!
sleep 1.5
q "SELECT count(pg_terminate_backend(pid)) FROM pg_stat_activity WHERE datname = current_database()
   AND pid <> pg_backend_pid()" >/dev/null
"$MAKER" "$O" --start "$(date -d "2026-01-01 02:00" +%s)" --records 3
for _ in $(seq 100); do
    [ "$(q "SELECT record_count FROM quelma.data_files WHERE station = 'gate3'")" = 15 ] && break
    sleep 0.1
done
kill -TERM "$watcher"
wait "$watcher" || true
expect_eq "$(q "SELECT record_count FROM quelma.data_files WHERE station = 'gate3'")" 15 "records after the server dropped the connections"
! grep -q failed "$WORK/drop.out" || fail "dropped connections failed a station: $(cat "$WORK/drop.out")"
echo "collect interrupt: all checks passed"
