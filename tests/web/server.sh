#!/usr/bin/env bash
# quelma-web against the collector's database: accounts, every route refusing without a
# valid session (none, tampered, expired, signed out), the pages, CSV and photos, hostile
# parameters that change nothing, the read-only role, the access log, the brake on guessing
# and TLS.
source "$(dirname "$0")/lib.bash"

echo "short" | "$WEB" --db "$CONN" --add-user carol >/dev/null 2>&1 && fail "a 5-character password was taken"
add_user alice "alice-password" --admin
add_user bob "bob-password"
expect_eq "$("$WEB" --db "$CONN" --list-users | cut -d' ' -f1-2)" "alice administrator
bob (added" "--list-users"
expect_eq "$(q "SELECT count(*) FROM quelma.web_users WHERE password_hash LIKE '\$argon2id\$%'")" 2 "Argon2id hashes"
# A name that starts a formula, for the CSV.
q "INSERT INTO quelma.measurements (station, year, generation, number, id, name, card_serial, time, mode,
   unit, low, hi, value, level, result, photo, raw) VALUES ('gate2', 2026, 1, 9999, 'M9', '=HYPERLINK(\"x\")',
   '00', now(), 'Fast', 'mg/l', 0.1, 0.2, 0, '0', '0', false, decode(repeat('00', 72), 'hex'))" >/dev/null

# A damaged photo the collector reports, for the Overview.
echo "no picture" >"$WORK/gate1/Photo/broken.bmp"
collect --station "gate1=$WORK/gate1"
expect_rc 1

start_web --idle-minutes 30
J="$WORK/jar"
# http CODE [curl args]: the response's body in $BODY, its headers in $HEAD.
http() {
    local want="$1" code
    shift
    code="$(curl -s -o "$WORK/body" -D "$WORK/head" -w '%{http_code}' "$@")"
    BODY="$(tr -d '\0' <"$WORK/body")"
    HEAD="$(cat "$WORK/head")"
    [ "$code" = "$want" ] || fail "curl $*: status $code, expected $want; body: ${BODY:0:300}"
}
PHOTO="$(q "SELECT file_name FROM quelma.photos WHERE station = 'gate1' LIMIT 1" | sed 's/ /%20/g')"
ROUTES=(/ /measurements "/measurements?level=positive" /measurements.csv "/member?id=M001" "/photo?station=gate1&file=$PHOTO")
refused_everywhere() {
    for r in "${ROUTES[@]}"; do
        http 303 "$@" "$BASE$r"
        grep -q "^Location: /login" <<<"$HEAD" || fail "$1 $r: not sent to the sign-in page"
        [ -z "$BODY" ] || fail "$r without a session answered: ${BODY:0:200}"
    done
    http 303 "$@" -d csrf=x "$BASE/logout"
}

# --- no session, a wrong password, an unknown user
refused_everywhere
# Without --behind-proxy a forwarded address is not believed.
http 401 -H "X-Real-IP: 203.0.113.7" -d "name=alice&password=wrong-password" "$BASE/login"
http 401 -d "name=nobody&password=alice-password" "$BASE/login"
grep -q "Wrong name or password." <<<"$BODY" || fail "no message for a failed sign-in"

# --- sign-in, the pages and their headers
http 303 -c "$J" -d "name=alice&password=alice-password" "$BASE/login"
grep -qE "^Set-Cookie: qsession=[0-9a-f]{64}; Path=/; HttpOnly; SameSite=Strict" <<<"$HEAD" || fail "session cookie: $HEAD"
expect_eq "$(q "SELECT count(*) FROM quelma.web_sessions WHERE length(token_sha256) = 32")" 1 "stored token digests"
TOKEN="$(awk '$6 == "qsession" { print $7 }' "$J")"
q "SELECT token_sha256 FROM quelma.web_sessions" | grep -q "$TOKEN" && fail "the token itself is stored"
http 200 -b "$J" "$BASE/"
for h in "Content-Security-Policy: default-src 'self'; script-src 'self'" "X-Content-Type-Options: nosniff" \
    "X-Frame-Options: DENY" "frame-ancestors 'none'"; do
    grep -qF "$h" <<<"$HEAD" || fail "header \"$h\" missing"
done
grep -q "<script>\|style=\| on[a-z]*=" <<<"$BODY" && fail "inline script or style in the overview"
grep -q "<svg" <<<"$BODY" || fail "no chart on the overview"
grep -q "Access log" <<<"$BODY" || fail "no access log for the administrator"
grep -q "1 damaged, 0 replaced.*Photo/broken.bmp: not a BMP file; skipped" <<<"$BODY" ||
    fail "the overview does not show the damaged photo"
http 200 -b "$J" "$BASE/photo?station=gate1&file=$PHOTO"
expect_eq "$(sha256sum <"$WORK/body" | cut -d' ' -f1)" \
    "$(q "SELECT encode(sha256, 'hex') FROM quelma.photos WHERE station = 'gate1' AND file_name = '${PHOTO//%20/ }'")" "photo bytes"
http 200 -b "$J" "$BASE/measurements.csv?station=gate2&member=M9"
expect_eq "$(sed -n 2p "$WORK/body" | cut -d, -f5,6)" "\"M9\",\"'=HYPERLINK(\"\"x\"\")\"" "formula-safe CSV cell"
http 200 -b "$J" "$BASE/measurements.csv?station=gate2"
expect_eq "$(($(wc -l <"$WORK/body") - 1))" 251 "rows in the CSV of gate2"
http 200 -b "$J" "$BASE/member?id=M001"
grep -q "gate1" <<<"$BODY" && grep -q "gate2" <<<"$BODY" || fail "member history lacks a station"

# Keyset paging: following "Next page" visits every row once, in every sort, also in ties.
for sort in time name value; do
    url="/measurements?station=gate2&sort=$sort"
    : >"$WORK/seen"
    while [ -n "$url" ]; do
        http 200 -b "$J" "$BASE$(sed 's/&amp;/\&/g' <<<"$url")"
        grep -o '<tr[^>]*><td>[^<]*</td><td>gate2' <<<"$BODY" >>"$WORK/seen"
        url="$(grep -o 'href="[^"]*" rel="next"' <<<"$BODY" | cut -d'"' -f2 || true)"
    done
    expect_eq "$(sort -u "$WORK/seen" | wc -l) $(wc -l <"$WORK/seen")" "251 251" \
        "distinct and listed rows of gate2 over all pages sorted by $sort"
done

# --- hostile parameters: 400, and not one transaction
xid="$(next_xid)"
for r in "/measurements?member=x%27%20OR%20%271%27%3D%271" "/measurements?station=gate1%27;DROP%20TABLE%20quelma.measurements;--" \
    "/measurements?from=2026-02-30" "/measurements?member=$(printf 'A%.0s' $(seq 200))" "/measurements?member=%ff%fe" \
    "/measurements?sort=time;DELETE" "/measurements?k=1&ks=gate1&ky=2026&kn=1%20OR%201" "/measurements?level=1%3D1" \
    "/measurements?station=a&station=b" "/measurements?bogus=1" "/member?id=%3Cscript%3E" "/member" \
    "/photo?station=gate1&file=../../../etc/passwd" "/photo?station=gate1&file=..%2F..%2Fetc%2Fx.bmp" \
    "/photo?station=..&file=x.bmp" "/photo?station=gate1&file=%2Fetc%2Fx.bmp" "/measurements.csv?to=%00"; do
    http 400 -b "$J" "$BASE$r"
    grep -q "This request cannot be answered" <<<"$BODY" || fail "$r: no explanation"
done
expect_eq "$(next_xid)" "$xid" "transactions written by hostile requests"
expect_eq "$(q "SELECT count(*) FROM quelma.measurements")" 311 "measurements after hostile requests"

# --- the read-only role
for sql in "UPDATE quelma.measurements SET value = 0" "DELETE FROM quelma.photos" "DELETE FROM quelma.access_log" \
    "INSERT INTO quelma.stations VALUES ('x', 'y')"; do
    out="$(psql -X -q -h "$PG_DIR/socket" -d "$DB" -c "SET ROLE quelma_web; $sql" 2>&1)" &&
        fail "quelma_web may: $sql"
    grep -q "permission denied" <<<"$out" || fail "$sql: $out"
done

# --- tampered, expired and signed-out sessions
sed "s/qsession\t$TOKEN/qsession\t${TOKEN:0:63}$([ "${TOKEN:63}" = 0 ] && echo 1 || echo 0)/" "$J" >"$WORK/tampered"
refused_everywhere -b "$WORK/tampered"
http 200 -b "$J" "$BASE/"
CSRF="$(grep -o 'name="csrf" value="[0-9a-f]*"' <<<"$BODY" | cut -d'"' -f4)"
http 400 -b "$J" -d "csrf=0$CSRF" "$BASE/logout"
http 303 -b "$J" -d "csrf=$CSRF" "$BASE/logout"
grep -q "^Set-Cookie: qsession=; .*Max-Age=0" <<<"$HEAD" || fail "sign-out keeps the cookie"
refused_everywhere -b "$J"
http 303 -c "$J" -d "name=bob&password=bob-password" "$BASE/login"
q "UPDATE quelma.web_sessions SET last_seen = now() - interval '31 minutes'" >/dev/null
refused_everywhere -b "$J"

# --- the record of access
expect_eq "$(q "SELECT string_agg(user_name || ' ' || address || ' ' || action || ' ' || detail, '|' ORDER BY id)
                FROM quelma.access_log")" \
    "alice 127.0.0.1 sign-in failed |nobody 127.0.0.1 sign-in failed |alice 127.0.0.1 sign-in |alice 127.0.0.1 CSV export member=M9&station=gate2|alice 127.0.0.1 CSV export station=gate2|alice 127.0.0.1 member history M001|alice 127.0.0.1 sign-out |bob 127.0.0.1 sign-in " \
    "access log"

# --- guessing slows down: after three failures from one address even the right password waits
http 401 -d "name=bob&password=guess" "$BASE/login"
http 429 -d "name=bob&password=bob-password" "$BASE/login"
grep -q "Too many failed sign-ins. Try again in [0-9]* seconds." <<<"$BODY" || fail "no throttling message"

# --- TLS: the cookie is Secure
openssl req -x509 -newkey rsa:2048 -nodes -subj /CN=localhost -days 1 -keyout "$WORK/key.pem" \
    -out "$WORK/cert.pem" 2>/dev/null
kill "$WEB_PID"
wait "$WEB_PID" || true
WEB_SCHEME=https start_web --tls-cert "$WORK/cert.pem" --tls-key "$WORK/key.pem" --behind-proxy
http 303 -k -H "X-Real-IP: 203.0.113.7" -d "name=alice&password=alice-password" "$BASE/login"
grep -q "^Set-Cookie: qsession=.*; Secure" <<<"$HEAD" || fail "no Secure cookie under TLS: $HEAD"
expect_eq "$(q "SELECT address FROM quelma.access_log ORDER BY id DESC LIMIT 1")" 203.0.113.7 \
    "address behind a proxy"
echo "PASS"
