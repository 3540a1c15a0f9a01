# Shared steps of the collector's tests: a database of its own in the private cluster that
# the collect.cluster fixture started, station folders made by station_maker, psql queries.
# A command that set -e ends the script with reports itself through fail.
set -euo pipefail
QUELMA_ROOT="${QUELMA_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}"
# shellcheck source=../../scripts/error-trap
source "$QUELMA_ROOT/scripts/error-trap"
NATIVE_BIN="${QUELMA_NATIVE_BIN:-$QUELMA_ROOT/build/native/bin}"
PG_DIR="${COLLECT_PG_DIR:-$QUELMA_ROOT/build/native/collect-pg}"
COLLECT="$NATIVE_BIN/quelma-collect"
MAKER="$NATIVE_BIN/station_maker"
# Photo names and days come from local time: one zone for the maker, the collector and psql.
export TZ=UTC PGTZ=UTC
WORK="$(mktemp -d /tmp/quelma-collect.XXXXXX)"
trap '[ -n "${KEEP_COLLECT:-}" ] || rm -rf "$WORK"' EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

[ -S "$PG_DIR/socket/.s.PGSQL.5432" ] || fail "no test cluster at $PG_DIR (ctest's collect.cluster_start starts it)"

DB="$(basename "$WORK" | tr 'A-Z' 'a-z' | tr -c 'a-z0-9\n' _)"
CONN="host=$PG_DIR/socket dbname=$DB"
psql_admin() { psql -X -q -v ON_ERROR_STOP=1 -h "$PG_DIR/socket" -d postgres "$@"; }
psql_admin -c "CREATE DATABASE $DB" >/dev/null
q() { psql -X -A -t -v ON_ERROR_STOP=1 -h "$PG_DIR/socket" -d "$DB" -c "$1"; }

# The next transaction id: unchanged when nothing at all was written.
next_xid() { q "SELECT pg_snapshot_xmax(pg_current_snapshot())"; }

# Runs the collector; its output in $OUT, its exit code in $RC.
collect() {
    RC=0
    OUT="$("$COLLECT" --db "$CONN" "$@" 2>&1)" || RC=$?
}

expect_rc() {
    [ "$RC" -eq "$1" ] || fail "exit code $RC, expected $1; output:
$OUT"
}

expect_out() {
    grep -qF -- "$1" <<<"$OUT" || fail "output lacks \"$1\":
$OUT"
}

expect_eq() {
    [ "$1" = "$2" ] || fail "$3: got \"$1\", expected \"$2\""
}

# SHA-256 of the first N records of a data file, and of the records stored for it.
file_records_sha() { tail -c +9 "$1" | head -c $(($2 * 72)) | sha256sum | cut -d' ' -f1; }
db_records_sha() {
    q "SELECT encode(sha256(coalesce(string_agg(raw, ''::bytea ORDER BY number), '')), 'hex')
       FROM quelma.measurements WHERE station = '$1' AND year = $2"
}

# What a run leaves, wherever it stopped: each data file's records are there completely up to
# the count noted for it (or not at all), equal to the file's bytes; every photo is whole.
expect_consistent() {
    local station="$1" dir="$2" file year count
    for file in "$dir"/Data/Quelma*.dat; do
        year="$(basename "$file" .dat)"
        year="${year#Quelma}"
        count="$(q "SELECT coalesce((SELECT record_count FROM quelma.data_files
                    WHERE station = '$station' AND year = $year), 0)")"
        expect_eq "$(q "SELECT count(*) FROM quelma.measurements WHERE station = '$station' AND year = $year")" \
            "$count" "$station $year: stored records"
        expect_eq "$(db_records_sha "$station" "$year")" "$(file_records_sha "$file" "$count")" \
            "$station $year: stored bytes"
    done
    expect_eq "$(q "SELECT count(*) FROM quelma.photos WHERE sha256(bytes) <> sha256 OR length(bytes) <> size")" \
        0 "photos whose bytes do not match their digest"
}

# File names, sizes, times and digests of everything below a folder.
snapshot() { (cd "$1" && find . -type f -printf '%p %s %T@\n' | sort && find . -type f -exec sha256sum {} + | sort); }
