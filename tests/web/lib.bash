# Shared steps of quelma-web's tests: the collector's test database (tests/collect/lib.bash)
# with two stations imported, accounts, and a server on a free port that is stopped on exit.
source "$(dirname "${BASH_SOURCE[0]}")/../collect/lib.bash"
WEB="$NATIVE_BIN/quelma-web"
START_TODAY="$(date -d 'today 00:00' +%s)"
"$MAKER" "$WORK/gate1" --members 4 --start "$START_TODAY" --records 60 --photos 10 --step 600
"$MAKER" "$WORK/gate2" --members 3 --start "$((START_TODAY - 20 * 86400))" --records 250 --step 7000
collect --init
collect --station "gate1=$WORK/gate1" --station "gate2=$WORK/gate2"
expect_rc 0
# quelma-web signs in as a role that is only a member of quelma_web (roles are the cluster's,
# so tests running side by side may both make it).
psql_admin -c "DO \$\$ BEGIN CREATE ROLE quelma_web_login LOGIN IN ROLE quelma_web;
    EXCEPTION WHEN duplicate_object OR unique_violation THEN NULL; END \$\$" >/dev/null
WEB_CONN="$CONN user=quelma_web_login"

# add_user NAME PASSWORD [--admin]
add_user() { echo "$2" | "$WEB" --db "$WEB_CONN" --add-user "$1" "${@:3}" >/dev/null || fail "cannot add user $1"; }

# Starts quelma-web with the given extra arguments; its address in $BASE.
start_web() {
    local port log="$WORK/web.log"
    port="$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')"
    "$WEB" --db "$WEB_CONN" --listen "127.0.0.1:$port" "$@" >"$log" 2>&1 &
    WEB_PID=$!
    trap 'kill "$WEB_PID" 2>/dev/null || true; wait "$WEB_PID" 2>/dev/null || true; [ -n "${KEEP_COLLECT:-}" ] || rm -rf "$WORK"' EXIT
    for _ in $(seq 100); do
        grep -q "listening" "$log" && break
        kill -0 "$WEB_PID" 2>/dev/null || fail "quelma-web did not start: $(cat "$log")"
        sleep 0.1
    done
    grep -q "listening" "$log" || fail "quelma-web did not start within 10 s: $(cat "$log")"
    BASE="${WEB_SCHEME:-http}://127.0.0.1:$port"
}
