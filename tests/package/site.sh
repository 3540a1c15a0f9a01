#!/usr/bin/env bash
# The site package run from an unpacked copy, as its services would run it: quelma-site-setup
# against the private cluster (twice: the second run changes nothing), the collector with its
# settings file stopped by SIGTERM during an import and started again, and quelma-web with
# its settings file serving a signed-in page.
source "$(dirname "$0")/../collect/lib.bash"
deb="$(ls "${SITE_PACKAGE_DIR:-$QUELMA_ROOT/build/package}"/quelma-site_*_amd64.deb)"
R="$WORK/root"
ETC="$WORK/etc"
dpkg-deb -x "$deb" "$R"
DB="${DB}_site"
free_port() { python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }
PORT="$(free_port)"

"$MAKER" "$WORK/gate1" --members 3 --records 40 --photos 4 --step 600
for year in 2023 2024 2025; do
    "$MAKER" "$WORK/gate2" --year "$year" --records 30000 --step 1000
done
"$MAKER" "$WORK/gate2" --year 2026 --records 300 --photos 300 --photo-size 160x120

# A remote server's administrator may create databases and roles but is no superuser.
psql_admin -c "DO \$\$ BEGIN IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = 'quelma_siteadmin')
               THEN CREATE ROLE quelma_siteadmin LOGIN CREATEDB CREATEROLE; END IF; END \$\$"
site_setup() {
    OUT="$("$R/usr/sbin/quelma-site-setup" --admin "host=$PG_DIR/socket dbname=postgres user=quelma_siteadmin" \
        --database "$DB" --config-dir "$ETC" --listen "127.0.0.1:$PORT" --web-admin boss \
        --station "gate1=$WORK/gate1" --station "gate2=$WORK/gate2" <<<"boss-password" 2>&1)" ||
        fail "quelma-site-setup: $OUT"
}
site_setup
expect_out "wrote $ETC/web.conf"
expect_out "added user boss"
expect_out "systemctl enable --now quelma-collect.service quelma-web.service"
expect_eq "$(stat -c %a "$ETC/pgpass")" 600 "mode of the password file"
grep -qi "password" "$ETC/collect.conf" "$ETC/web.conf" && fail "a password in the settings files"
expect_eq "$(q "SELECT string_agg(r.rolname || ' in ' || g.rolname, ', ' ORDER BY r.rolname)
               FROM pg_auth_members m JOIN pg_roles r ON r.oid = m.member JOIN pg_roles g ON g.oid = m.roleid
               WHERE r.rolname IN ('quelma_collect', 'quelma_webserver')")" \
    "quelma_collect in quelma_collector, quelma_webserver in quelma_web" "login roles"
before="$(cd "$ETC" && sha256sum ./*)"
site_setup
expect_out "kept $ETC/collect.conf"
expect_out "kept quelma-web's user boss"
expect_eq "$(cd "$ETC" && sha256sum ./*)" "$before" "settings after a second set-up"
OUT="$("$R/usr/sbin/quelma-site-setup" --migrate --config-dir "$ETC" 2>&1)" || fail "--migrate: $OUT"
expect_out "schema quelma is at version"

# --- the collector as its service runs it: SIGTERM once something of gate2 is stored
"$R/usr/bin/quelma-collect" --config "$ETC/collect.conf" >"$WORK/collect.out" 2>&1 &
pid=$!
for _ in $(seq 400); do
    [ "$(q "SELECT count(*) FROM quelma.data_files WHERE station = 'gate2'")" -gt 0 ] && break
    sleep 0.02
done
kill -TERM "$pid"
wait "$pid" || true
expect_consistent gate2 "$WORK/gate2"
stored="$(q "SELECT coalesce(sum(record_count), 0) FROM quelma.data_files WHERE station = 'gate2'")"
[ "$stored" -lt 90300 ] || fail "the import ended before SIGTERM came ($stored records); make gate2 larger"
echo "package site: SIGTERM after $stored of 90300 records of gate2"

"$R/usr/bin/quelma-collect" --config "$ETC/collect.conf" >"$WORK/collect.out" 2>&1 &
COLLECT_PID=$!
trap 'kill "$COLLECT_PID" "${WEB_PID:-}" 2>/dev/null || true; wait; [ -n "${KEEP_COLLECT:-}" ] || rm -rf "$WORK"' EXIT
for _ in $(seq 300); do
    grep -q "station gate2:" "$WORK/collect.out" && break
    sleep 0.1
done
OUT="$(cat "$WORK/collect.out")"
expect_out "station gate1: 0 new records, 0 photos, 0 damaged files"
expect_out "station gate2: $(sed ':a;s/\B[0-9]\{3\}\>/,&/;ta' <<<"$((90300 - stored))") new records"
expect_consistent gate2 "$WORK/gate2"

# --- quelma-web with its settings; a port on the command line wins over the file's
WEB_PORT="$(free_port)"
"$R/usr/bin/quelma-web" --config "$ETC/web.conf" --listen "127.0.0.1:$WEB_PORT" >"$WORK/web.log" 2>&1 &
WEB_PID=$!
for _ in $(seq 100); do
    grep -q "listening" "$WORK/web.log" && break
    sleep 0.1
done
expect_eq "$(cat "$WORK/web.log")" "quelma-web listening on http://127.0.0.1:$WEB_PORT" "quelma-web's start"
jar="$WORK/jar"
code="$(curl -s -o /dev/null -w '%{http_code}' -c "$jar" -d "name=boss&password=boss-password" \
    "http://127.0.0.1:$WEB_PORT/login")"
expect_eq "$code" 303 "sign-in as boss"
page="$(curl -s -b "$jar" "http://127.0.0.1:$WEB_PORT/")"
for want in gate1 gate2 "Access log"; do
    grep -q "$want" <<<"$page" || fail "the signed-in overview lacks \"$want\": ${page:0:300}"
done
kill -TERM "$WEB_PID" "$COLLECT_PID"
wait "$WEB_PID" || fail "quelma-web did not end cleanly on SIGTERM"
echo "package site: all checks passed"
