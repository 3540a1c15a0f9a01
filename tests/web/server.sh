#!/usr/bin/env bash
# quelma-web against the collector's database: accounts, every route refusing without a
# valid session (none, tampered, idle, too old, signed out), the pages, CSV and photos, IDs
# and names that look like markup or SQL, malformed parameters that change nothing, the
# read-only and fail-closed role, the access log, the brake on guessing, slow clients, the
# proxy and network rules and TLS.
source "$(dirname "$0")/lib.bash"

echo "short" | "$WEB" --db "$WEB_CONN" --add-user carol >/dev/null 2>&1 && fail "a 5-character password was taken"
add_user alice "alice-password" --admin
add_user bob "bob-password"
expect_eq "$("$WEB" --db "$WEB_CONN" --list-users | cut -d' ' -f1-2)" "alice administrator
bob (added" "--list-users"
expect_eq "$(q "SELECT count(*) FROM quelma.web_users WHERE password_hash LIKE '\$argon2id\$%'")" 2 "Argon2id hashes"
echo "bob-password" | "$WEB" --db "$WEB_CONN" --add-user bob --admin >/dev/null 2>&1 && fail "--add-user took an existing name"
expect_eq "$(q "SELECT admin FROM quelma.web_users WHERE name = 'bob'")" f "bob after a second --add-user"
# A login role that may change the measurements itself is refused, with the GRANT to use.
psql_admin -c "DO \$\$ BEGIN CREATE ROLE quelma_web_writer LOGIN IN ROLE quelma_web, quelma_collector;
    EXCEPTION WHEN duplicate_object OR unique_violation THEN NULL; END \$\$" >/dev/null
for login in "$CONN" "$CONN user=quelma_web_writer"; do
    out="$("$WEB" --db "$login" --list-users 2>&1)" && fail "$login: a login role that may write measurements was taken"
    grep -q "may change quelma.measurements itself.*GRANT quelma_web TO" <<<"$out" || fail "$login: $out"
done
# Where people's IDs look like markup, SQL or a formula, and a photo's name has dots.
q "INSERT INTO quelma.stations VALUES ('Nord/Süd', '/x');
   INSERT INTO quelma.members VALUES ('Nord/Süd', 0, 'A/B', 'Anne', '01'), ('Nord/Süd', 1, 'S'';--', 'Sam', '02'),
       ('Nord/Süd', 2, '=1+2', 'Eq', '03'), ('Nord/Süd', 3, 'X<b>1', 'Xa', '04');
   INSERT INTO quelma.measurements (station, year, generation, number, id, name, card_serial, time, mode, unit,
       low, hi, value, level, result, photo, photo_file, raw)
   SELECT 'Nord/Süd', 2026, 1, n, (ARRAY['A/B', 'S'';--', '=1+2', 'X<b>1'])[n % 4 + 1], 'J. Smith', '00', now() - n * interval '1 hour',
       'Normal', 'mg/l', 0.1, 0.2, (ARRAY['NaN', 'Infinity', '-Infinity', '0.1'])[n % 4 + 1]::real, NULL, 'r', n = 1,
       CASE WHEN n = 1 THEN 'J. Smith..bmp' END, decode(repeat('00', 72), 'hex') FROM generate_series(1, 230) n;
   INSERT INTO quelma.photos (station, file_name, bytes, sha256, size, mtime_ns)
       VALUES ('Nord/Süd', 'J. Smith..bmp', 'BM', sha256('BM'), 2, 0)" >/dev/null
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
grep -q "$TOKEN" <<< "$(q "SELECT token_sha256 FROM quelma.web_sessions")" && fail "the token itself is stored"
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
http 200 -b "$J" "$BASE/measurements?member=M001"
http 200 -b "$J" "$BASE/measurements.csv?station=Nord%2FS%C3%BCd"
[ "$(head -c 3 "$WORK/body" | od -An -tx1 | tr -d ' ')" = efbbbf ] || fail "the CSV has no UTF-8 byte order mark"
grep -q '^"Nord/Süd",.*,"S'"'"';--","J. Smith"' "$WORK/body" || fail "CSV lacks S';-- at Nord/Süd"

# Keyset paging: following "Next page" visits every row once, in every sort, also in ties.
for sort in time name value; do
  for station in gate2 Nord%2FS%C3%BCd; do
    url="/measurements?station=$station&sort=$sort"
    : >"$WORK/seen"
    while [ -n "$url" ]; do
        http 200 -b "$J" "$BASE$(sed 's/&amp;/\&/g' <<<"$url")"
        grep -o '<tr[^>]*><td>[^<]*</td><td>[^<]*</td><td><a href="[^"]*"' <<<"$BODY" >>"$WORK/seen"
        url="$(grep -o 'href="[^"]*" rel="next"' <<<"$BODY" | cut -d'"' -f2 || true)"
    done
    want="$([ $station = gate2 ] && echo 251 || echo 230)"
    expect_eq "$(sort -u "$WORK/seen" | wc -l) $(wc -l <"$WORK/seen")" "$want $want" \
        "distinct and listed rows of $station over all pages sorted by $sort"
  done
done

# --- malformed parameters: 400, and not one transaction; SQL and markup in a value are data
xid="$(next_xid)"
for r in "/measurements?from=2026-02-30" "/measurements?member=$(printf 'A%.0s' $(seq 200))" "/measurements?member=%ff%fe" \
    "/measurements?sort=time;DELETE" "/measurements?k=1&ks=gate1&ky=2026&kn=1%20OR%201" "/measurements?level=1%3D1" \
    "/measurements?station=a&station=b" "/measurements?bogus=1" "/member" "/member?id=a%0Ab" \
    "/photo?station=gate1" "/measurements.csv?to=%00" "/measurements?sort=value&k=x&ks=g&ky=1&kn=1"; do
    http 400 -b "$J" "$BASE$r"
    grep -q "This request cannot be answered" <<<"$BODY" || fail "$r: no explanation"
done
expect_eq "$(next_xid)" "$xid" "transactions written by hostile requests"
for r in "/measurements?member=x%27%20OR%20%271%27%3D%271" "/measurements?station=gate1%27;DROP%20TABLE%20quelma.measurements;--" \
    "/member?id=%3Cscript%3E"; do
    http 200 -b "$J" "$BASE$r"
    grep -q "No measurements\|0 measurements" <<<"$BODY" || fail "$r found rows"
done
for r in "/photo?station=gate1&file=../../../etc/passwd" "/photo?station=..&file=x.bmp" "/photo?station=gate1&file=%2Fetc%2Fx.bmp"; do
    http 404 -b "$J" "$BASE$r"
done
expect_eq "$(q "SELECT count(*) FROM quelma.measurements")" 541 "measurements after hostile requests"

# --- the read-only role
for sql in "UPDATE quelma.measurements SET value = 0" "DELETE FROM quelma.photos" "DELETE FROM quelma.access_log" \
    "INSERT INTO quelma.stations VALUES ('x', 'y')" "SELECT FROM quelma.data_files" "SELECT FROM quelma.latest_per_member" \
    "UPDATE quelma.outcomes SET note = ''" "DELETE FROM quelma.outcomes" "UPDATE quelma.screenings SET confirm_number = 0" \
    "SELECT FROM quelma.site_settings" "SELECT FROM quelma.paired_files"; do
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

q "UPDATE quelma.web_sessions SET last_seen = now(), created = now() - interval '13 hours'" >/dev/null
refused_everywhere -b "$J"

# --- the record of access: every look at one person, written before anything is sent
expect_eq "$(q "SELECT string_agg(user_name || ' ' || address || ' ' || action, ',' ORDER BY id) FROM quelma.access_log")" \
    "alice 127.0.0.1 sign-in failed,nobody 127.0.0.1 sign-in failed,alice 127.0.0.1 sign-in,alice 127.0.0.1 photo,alice 127.0.0.1 CSV export,alice 127.0.0.1 CSV export,alice 127.0.0.1 member history,alice 127.0.0.1 member list,alice 127.0.0.1 CSV export,alice 127.0.0.1 member list,alice 127.0.0.1 member history,alice 127.0.0.1 sign-out,bob 127.0.0.1 sign-in" \
    "access log"
expect_eq "$(q "SELECT string_agg(detail, '|' ORDER BY id) FROM quelma.access_log WHERE action IN ('photo', 'member list', 'member history')")" \
    "gate1/${PHOTO//%20/ }|M001|member=M001|member=x%27%20OR%20%271%27%3D%271|<script>" "access log details"

# --- positive cases: the list, an outcome, its correction, the member page, the CSV
J2="$WORK/jar2"
http 303 -c "$J2" -d "name=alice&password=alice-password" "$BASE/login"
http 200 -b "$J2" "$BASE/positives"
CSRF="$(grep -o 'name="csrf" value="[0-9a-f]*"' <<<"$BODY" | sed -n '1s/.*value="\(.*\)"/\1/p')"
OPEN="$(q "SELECT count(*) FROM quelma.screenings")"
grep -q "<p>$OPEN open cases" <<<"$BODY" || fail "the positives page does not count $OPEN open cases"
expect_eq "$(grep -o 'id="case-[^"]*"' <<<"$BODY" | sed -n 1,3p | tr '\n' ' ')" \
    "$(q "SELECT 'id=\"case-' || station || '-' || year || '-' || generation || '-' || number || '\"'
          FROM quelma.screenings ORDER BY time, station, year, generation, number LIMIT 3" | tr '\n' ' ')" "open cases, oldest first"
CASE="$(q "SELECT 'station=' || station || '&year=' || year || '&generation=' || generation || '&number=' || number
           || ' ' || member_id FROM quelma.screenings ORDER BY time DESC LIMIT 1")"
MEMBER="${CASE#* }" CASE="${CASE% *}"
KEY="$(sed 's/station=//; s/&year=/\//; s/&generation=/\//; s/&number=/\//' <<<"$CASE")"
outcome() { http "$1" -b "$J2" --data-urlencode "csrf=$CSRF" -d "$2" --data-urlencode "${3:-note=}" "$BASE/positives/outcome"; }
http 400 -b "$J2" -d "$CASE&outcome=sent%20home" "$BASE/positives/outcome"
http 400 -b "$J2" -d "csrf=0$CSRF&$CASE&outcome=sent%20home" "$BASE/positives/outcome"
outcome 400 "$CASE&outcome=fired"
outcome 400 "station=gate1&year=x&generation=1&number=1&outcome=other"
outcome 400 "station=gate1&year=2026&number=1&outcome=other"
outcome 409 "station=gate1&year=1999&generation=1&number=1&outcome=other"
outcome 303 "$CASE&outcome=sent%20home" "note=went home by taxi"
FIRST="$(q "SELECT max(id) FROM quelma.outcomes")"
outcome 303 "$CASE&outcome=cleared%20after%20the%20confirmation&corrects=$FIRST" "note==cmd|' /C calc'!A0"
outcome 409 "$CASE&outcome=other&corrects=$FIRST"
outcome 409 "$CASE&outcome=other"
OTHER="$(q "SELECT 'station=' || station || '&year=' || year || '&generation=' || generation || '&number=' || number
            FROM quelma.screenings ORDER BY time LIMIT 1")"
outcome 409 "$OTHER&outcome=other&corrects=$FIRST"
expect_eq "$(q "SELECT string_agg(outcome || '|' || coalesce(corrects::text, '-') || '|' || user_name, ' ' ORDER BY id) FROM quelma.outcomes")" \
    "sent home|-|alice cleared after the confirmation|$FIRST|alice" "outcome entries"
http 200 -b "$J2" "$BASE/positives"
grep -q "<p>$((OPEN - 1)) open cases" <<<"$BODY" || fail "the decided case still counts as open"
grep -q "Recently decided.*#$((FIRST + 1)) (corrects #$FIRST): <b>cleared after the confirmation</b>.*Correct #$((FIRST + 1))" <<<"$BODY" ||
    fail "the decided case does not show its correction"
http 200 -b "$J2" "$BASE/member?id=$MEMBER"
grep -q "<h2>Positives</h2>.*went home by taxi.*cleared after the confirmation" <<<"$BODY" || fail "the member page lacks the outcomes"
http 200 -b "$J2" "$BASE/"
grep -q "Open cases: $((OPEN - 1))</a>. <span>Alerts not yet sent: 0" <<<"$BODY" || fail "the overview lacks the open cases"
grep -q "[0-9] screenings, 0 confirmed</title>" <<<"$BODY" || fail "the chart does not tell screenings from confirmed positives"
http 200 -b "$J2" "$BASE/positives.csv"
expect_eq "$(grep -c . "$WORK/body")" "$((OPEN + 1))" "lines of the positives' CSV"
grep -qF "\"cleared after the confirmation\",\"'=cmd|' /C calc'!A0\",\"alice\"" "$WORK/body" || fail "the CSV's outcome and formula-safe note"
expect_eq "$(q "SELECT string_agg(action || ':' || detail, '|' ORDER BY id) FROM quelma.access_log WHERE id > (SELECT max(id) FROM quelma.access_log WHERE action = 'sign-in')")" \
    "positive cases:|outcome:$KEY #$FIRST: sent home; went home by taxi|outcome:$KEY #$((FIRST + 1)): cleared after the confirmation (corrects #$FIRST); =cmd|' /C calc'!A0|positive cases:|member history:$MEMBER|CSV export:positive cases" \
    "access log of the cases"

# --- every link reachable from the Overview answers, whatever the IDs and names look like
http 303 -c "$J" -d "name=alice&password=alice-password" "$BASE/login"
TOKEN="$(awk '$6 == "qsession" { print $7 }' "$J")"
python3 - "$BASE" "$TOKEN" <<'PY' || fail "a link reachable from the overview does not answer 200 (above)"
import html, re, sys, urllib.request
base, token = sys.argv[1:3]
seen, todo, bad = set(), ["/"], []
while todo and len(seen) < 3000:
    path = todo.pop()
    if path in seen:
        continue
    seen.add(path)
    req = urllib.request.Request(base + path, headers={"Cookie": "qsession=" + token})
    try:
        with urllib.request.urlopen(req) as r:
            body = r.read().decode("utf-8", "replace") if "html" in r.headers["Content-Type"] else ""
    except Exception as e:
        bad.append(f"{path}: {e}")
        continue
    todo += [html.unescape(h) for h in re.findall(r'href="(/[^"]*)"', body)]
for path in ["/member?id=A%2FB", "/member?id=S%27%3B--", "/member?id=%3D1%2B2", "/member?id=X%3Cb%3E1",
             "/photo?station=Nord%2FS%C3%BCd&file=J.%20Smith..bmp", "/measurements?station=Nord%2FS%C3%BCd&sort=value&dir=asc"]:
    if path not in seen:
        bad.append(f"{path}: not reachable from the overview")
print(f"{len(seen)} links answered")
print("\n".join(bad[:20]), file=sys.stderr)
sys.exit(1 if bad or len(seen) >= 3000 else 0)
PY
http 200 -b "$J" "$BASE/member?id=S%27%3B--"
grep -q "<h1>Member S&#39;;--</h1>" <<<"$BODY" && grep -q "58 measurements" <<<"$BODY" || fail "the member page of S';-- lacks its rows"

# --- guessing slows down per account and address; a stranger cannot lock the owner out.
# Guesses go out at once: a burst gets no more tries than three one after the other, and the
# wait after them (2 s) is not spent before the rest arrive, however slow this machine is.
burst() { # burst FROM NAME COUNT: the answers' codes, counted
    for i in $(seq "$3"); do
        curl -s -o "$WORK/burst.$i" -w '%{http_code}\n' --interface "$1" -d "name=$2&password=guess" "$BASE/login" &
    done >"$WORK/burst"
    wait $(jobs -p | grep -v "^$WEB_PID$") 2>/dev/null || true
    sort "$WORK/burst" | uniq -c | awk '{ printf "%s:%s ", $2, $1 }'
}
expect_eq "$(burst 127.0.0.2 alice 8)" "401:3 429:5 " "answers to a stranger's guesses at alice"
grep -q "Too many failed sign-ins. Try again in [0-9]* seconds." "$WORK"/burst.* || fail "no throttling message"
http 303 -d "name=alice&password=alice-password" "$BASE/login"
expect_eq "$(q "SELECT count(*) || ' ' || min(detail) FROM quelma.access_log WHERE address = '127.0.0.2' AND action = 'sign-in refused'")" \
    "1 too many failed sign-ins" "refusals logged for one wait"
expect_eq "$(burst 127.0.0.3 carol 15)" "401:3 429:12 " "answers to a burst of guesses"

# --- clients that send half a header hold no worker
python3 - "${BASE#http://}" <<'PY' &
import socket, sys, time
host, port = sys.argv[1].split(":")
held = []
for _ in range(48):
    s = socket.create_connection((host, int(port)))
    s.sendall(b"GET / HTTP/1.1\r\nHost: x\r\n")
    held.append(s)
time.sleep(4)
PY
SLOW=$!
sleep 1
http 200 --max-time 3 -b "$J" "$BASE/"
kill "$SLOW" 2>/dev/null || true
# A body past 16 KiB is refused before a byte of it is sent.
answer="$(python3 - "${BASE#http://}" <<'PY'
import socket, sys
host, port = sys.argv[1].split(":")
s = socket.create_connection((host, int(port)), timeout=5)
s.sendall(b"POST /login HTTP/1.1\r\nHost: " + sys.argv[1].encode() +
          b"\r\nContent-Type: application/x-www-form-urlencoded\r\nContent-Length: 400000000\r\n\r\n")
print(s.recv(200).split(b" ")[1].decode())
PY
)"
expect_eq "$answer" 413 "answer to a 400 MB body before it is sent"

# --- a new password ends the user's sessions
echo "alice-password-2" | "$WEB" --db "$WEB_CONN" --reset-password alice >/dev/null || fail "--reset-password"
refused_everywhere -b "$J"

# --- fail closed: a connection that cannot act as quelma_web is dropped, the page answers 503
kill -TERM "$WEB_PID"
wait "$WEB_PID" || fail "quelma-web did not stop cleanly on SIGTERM: $(cat "$WORK/web.log")"
psql_admin -c "DO \$\$ BEGIN CREATE ROLE quelma_web_dropped LOGIN IN ROLE quelma_web;
    EXCEPTION WHEN duplicate_object OR unique_violation THEN NULL; END \$\$" >/dev/null
WEB_CONN="$CONN user=quelma_web_dropped" start_web
http 303 -c "$J" -d "name=bob&password=bob-password" "$BASE/login"
# The login role may read by itself: served as it, the pages would still answer.
psql_admin -d "$DB" -c "GRANT USAGE ON SCHEMA quelma TO quelma_web_dropped" \
    -c "GRANT SELECT ON ALL TABLES IN SCHEMA quelma TO quelma_web_dropped" >/dev/null
psql_admin -c "REVOKE quelma_web FROM quelma_web_dropped" \
    -c "SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE usename = 'quelma_web_dropped'" >/dev/null
# More requests than pool threads: some thread sees its connection fail twice.
for _ in $(seq 8); do http 503 -b "$J" "$BASE/measurements"; done
psql_admin -c "GRANT quelma_web TO quelma_web_dropped" >/dev/null
http 200 -b "$J" "$BASE/measurements"
kill -TERM "$WEB_PID"
wait "$WEB_PID" || true

# --- the network: no clear-text listening beyond this machine
out="$("$WEB" --db "$WEB_CONN" --listen 0.0.0.0:8080 2>&1)" && fail "clear text on 0.0.0.0 was taken"
grep -q "clear text.*--tls-cert.*--behind-proxy" <<<"$out" || fail "no reason for refusing 0.0.0.0: $out"

# --- behind a proxy: __Host- cookie, HSTS, forwarded addresses only from the proxy, the site's
# own names and forms only
start_web --behind-proxy --trusted-proxy 127.0.0.1 --server-name results.example
P=(-H "Host: results.example")
http 421 -H "Host: rebound.example" "$BASE/login"
http 403 "${P[@]}" -H "Origin: https://evil.example" -d "name=alice&password=alice-password-2" "$BASE/login"
http 403 "${P[@]}" -H "Sec-Fetch-Site: cross-site" -d "name=alice&password=alice-password-2" "$BASE/login"
http 303 "${P[@]}" -H "Origin: https://results.example" -H "X-Real-IP: 203.0.113.7" -c "$J" \
    -d "name=alice&password=alice-password-2" "$BASE/login"
grep -qE "^Set-Cookie: __Host-qsession=[0-9a-f]{64}; Path=/; HttpOnly; SameSite=Strict; Secure" <<<"$HEAD" ||
    fail "no __Host- Secure cookie behind the proxy: $HEAD"
grep -q "^Strict-Transport-Security: max-age=" <<<"$HEAD" || fail "no HSTS behind the proxy"
expect_eq "$(q "SELECT address FROM quelma.access_log ORDER BY id DESC LIMIT 1")" 203.0.113.7 "address from the proxy"
http 303 "${P[@]}" --interface 127.0.0.2 -H "X-Real-IP: 198.51.100.1" -d "name=alice&password=alice-password-2" "$BASE/login"
expect_eq "$(q "SELECT address FROM quelma.access_log ORDER BY id DESC LIMIT 1")" 127.0.0.2 "address from another peer"
kill -TERM "$WEB_PID"
wait "$WEB_PID" || true

# --- TLS: the cookie is Secure
openssl req -x509 -newkey rsa:2048 -nodes -subj /CN=localhost -days 1 -keyout "$WORK/key.pem" \
    -out "$WORK/cert.pem" 2>/dev/null
WEB_SCHEME=https start_web --tls-cert "$WORK/cert.pem" --tls-key "$WORK/key.pem"
http 303 -k -d "name=alice&password=alice-password-2" "$BASE/login"
grep -q "^Set-Cookie: __Host-qsession=.*; Secure" <<<"$HEAD" || fail "no Secure cookie under TLS: $HEAD"
echo "PASS"
