#!/usr/bin/env bash
# Alerts and confirmation pairing against a real mail server (STARTTLS and a sign-in) and a
# webhook, both on 127.0.0.1: one alert per fresh positive screening and none for the rest,
# none again on a re-run or a restart, every one once after the receivers were down, and
# imports that do not wait for a slow receiver.
source "$(dirname "$0")/lib.bash"
RECEIVERS=(/usr/bin/python3 "$(dirname "$0")/receivers.py")
free_port() { /usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }
SMTP_PORT="$(free_port)"
HOOK_PORT="$(free_port)"
openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=localhost \
    -addext subjectAltName=IP:127.0.0.1 -keyout "$WORK/key.pem" -out "$WORK/cert.pem" 2>/dev/null
echo "s3cret pass" >"$WORK/password"
MAILS="$WORK/mails.jsonl" HOOKS="$WORK/hooks.jsonl"
touch "$MAILS" "$HOOKS"
PIDS=()
cleanup_receivers() { for p in "${PIDS[@]}"; do kill "$p" 2>/dev/null || true; done; PIDS=(); }
trap 'cleanup_receivers; [ -n "${KEEP_COLLECT:-}" ] || rm -rf "$WORK"' EXIT
start_receivers() { # [webhook delay]
    "${RECEIVERS[@]}" smtp "$SMTP_PORT" "$WORK/cert.pem" "$WORK/key.pem" alerts "s3cret pass" \
        "$WORK/mailbox" "$MAILS" &
    PIDS+=($!)
    "${RECEIVERS[@]}" webhook "$HOOK_PORT" "$HOOKS" "${1:-0}" &
    PIDS+=($!)
    for _ in $(seq 50); do
        (exec 3<>"/dev/tcp/127.0.0.1/$SMTP_PORT" && exec 3<>"/dev/tcp/127.0.0.1/$HOOK_PORT") 2>/dev/null && return
        sleep 0.1
    done
    fail "the receivers did not start"
}
NOTIFY=(--notify-mail "smtp://127.0.0.1:$SMTP_PORT" --notify-from quelma@site.example
    --notify-to supervisor@site.example --notify-to safety@site.example --notify-user alerts
    --notify-password-file "$WORK/password" --notify-ca "$WORK/cert.pem"
    --notify-webhook "http://127.0.0.1:$HOOK_PORT/hook" --site-url "https://quelma.site.example/")
count() { wc -l <"$1"; }
# Waits up to $3 seconds for file $1 to hold $2 lines.
wait_lines() {
    for _ in $(seq $(($3 * 10))); do [ "$(count "$1")" -ge "$2" ] && return; sleep 0.1; done
    fail "$(basename "$1") holds $(count "$1") lines after $3 s, expected $2"
}

# --- options that do not belong together: 2
for args in "--notify-mail smtp://x" "--notify-mail http://x --notify-from a@b --notify-to c@d" \
    "--notify-webhook ftp://x" "--notify-to c@d" "--confirm-after 30 --confirm-within 15" \
    "--notify-mail smtp://x --notify-from a@b --notify-to c@d --notify-user u" \
    "--notify-mail smtp://x --notify-from a@b --notify-to c@d --notify-user u --notify-password-file $WORK/none" \
    "--notify-mail smtp://x --notify-from a@b --notify-to c<d>@e" "--confirm-within 2000"; do
    collect --station "a=$WORK" $args
    expect_rc 2
done

collect --init --confirm-after 16
expect_rc 0
expect_eq "$(q "SELECT confirm_after || ' ' || confirm_within FROM quelma.site_settings")" \
    "00:16:00 00:30:00" "confirmation window kept at --init"
collect --init --confirm-after 15
start_receivers

# gate1: four members measured every 10 minutes from 100 minutes ago; members 1, 2 and 3
# are always positive (station_maker's cycle) and 40 minutes apart, so each positive is a
# screening of its own. Its last year's records are older than a day: paired, not alerted.
# gate2: a screening at 23:55 on New Year's Eve confirmed at 00:12 in the next year's file.
A="$WORK/gate1" B="$WORK/gate2"
NOW="$(date +%s)"
START=$(((NOW - 6000) / 60 * 60))
Y="$(date -u -d "@$START" +%Y)"
"$MAKER" "$A" --members 4 --start "$START" --step 600 --records 10
"$MAKER" "$A" --start $((START - 400 * 86400)) --step 600 --records 5
EVE=1767225300 # 2025-12-31 23:55 UTC
"$MAKER" "$B" --members 2 --start $((EVE - 60)) --step 60 --records 2
"$MAKER" "$B" --start $((EVE + 16 * 60)) --step 60 --records 2
STATIONS=(--station "gate1=$A" --station "gate2=$B")

# --- first run: imports, then one pass of sending; 6 screenings of today, 2 ways each
collect "${STATIONS[@]}" "${NOTIFY[@]}"
expect_rc 0
expect_out "alerts: 12 sent, 0 waiting"
expect_eq "$(count "$MAILS") $(count "$HOOKS")" "6 6" "mails and webhook calls after the first run"
# Field by field for each alert: "number member|result|due from|link".
summary() { /usr/bin/python3 -c '
import json, sys
for line in open(sys.argv[1]):
    r = json.loads(line)
    if "alert" in r:
        a = r["alert"]
        assert r["type"] == "application/json" and a["generation"] == 1, r
        print(a["station"], a["year"], a["number"], a["member_id"] + "|" + a["member_name"] + "|" + a["result"] + "|" + a["time"] + "|" + a["confirmation_due_from"] + "|" + a["link"])
    else:
        assert r["tls"] and r["to"] == ["supervisor@site.example", "safety@site.example"], r
        body = dict(l.split(": ", 1) for l in r["body"].splitlines() if ": " in l)
        print(r["subject"] + "|" + body["Member ID"] + "|" + body["Name"] + "|" + body["Result"] + "|" + body["Confirmation test due"] + "|" + body["Details"])
' "$1" | sort; }
T1="$(date -u -d "@$((START + 600))" +%Y-%m-%dT%H:%M:%S+00:00)"
D1="$(date -u -d "@$((START + 1500))" +%Y-%m-%dT%H:%M:%S+00:00)"
expect_eq "$(summary "$HOOKS" | head -n 1)" \
    "gate1 $Y 1 M001|Zoé € back\\tab	|Hi|$T1|$D1|https://quelma.site.example/positives#case-gate1-$Y-1-1" \
    "webhook alert of the first positive"
expect_eq "$(summary "$HOOKS" | cut -d' ' -f1-3 | tr '\n' ' ')" \
    "gate1 $Y 1 gate1 $Y 2 gate1 $Y 3 gate1 $Y 6 gate1 $Y 7 gate1 $Y 8 " \
    "screenings alerted: today's positives only"
expect_eq "$(summary "$MAILS" | grep -c "^Quelma: positive result at station gate1, M00[0-3] .*|M00[0-3]|.*|from [0-9-]* [0-9:]* UTC to [0-9-]* [0-9:]* UTC|https://quelma.site.example/positives#case-gate1-$Y-1-[0-9]$")" \
    6 "mails with the fields of their alert"

# Statuses: window open, passed, confirmed across the new year; a confirmation is no case.
expect_eq "$(q "SELECT string_agg(station || '/' || year || '/' || number || ' ' || status
                || coalesce(' by ' || confirm_station || '/' || confirm_year || '/' || confirm_number, ''),
                ', ' ORDER BY station, year, number) FROM quelma.positive_cases
                WHERE (station, number) IN (('gate1', 7), ('gate1', 8), ('gate2', 1))")" \
    "gate1/$Y/7 no confirmation test, gate1/$Y/8 awaiting confirmation, gate2/2025/1 confirmed by gate2/2026/1" \
    "statuses"

# --- a re-run and a restart send nothing again and write nothing
xid="$(next_xid)"
collect "${STATIONS[@]}" "${NOTIFY[@]}"
expect_rc 0
expect_eq "$(next_xid)" "$xid" "transactions written by a re-run"
expect_eq "$(count "$MAILS") $(count "$HOOKS")" "6 6" "mails and webhook calls after a re-run"

# Runs the collector in watch mode in the background, its output in $WATCH_OUT.
WATCH_OUT="$WORK/watch.out"
watch_start() {
    : >"$WATCH_OUT"
    "$COLLECT" --db "$CONN" "${STATIONS[@]}" "${NOTIFY[@]}" --watch 1 >"$WATCH_OUT" 2>&1 &
    WATCH_PID=$!
}
watch_stop() { kill "$WATCH_PID"; wait "$WATCH_PID" 2>/dev/null || true; }
wait_out() { # TEXT SECONDS
    for _ in $(seq $(($2 * 10))); do grep -qF -- "$1" "$WATCH_OUT" && return; sleep 0.1; done
    fail "no \"$1\" from the watching collector after $2 s:
$(cat "$WATCH_OUT")"
}

# --- receivers down, then up: every alert once, after a retry
cleanup_receivers
"$MAKER" "$A" --start "$START" --step 600 --records 5 # 11, 12 and 13 are new screenings
watch_start
wait_out "alerts: 0 sent, 6 waiting; last failure: " 10
start_receivers
wait_lines "$MAILS" 9 20
wait_lines "$HOOKS" 9 20
wait_out "alerts: 6 sent, 0 waiting" 5
watch_stop
collect "${STATIONS[@]}" "${NOTIFY[@]}"
expect_eq "$(count "$MAILS") $(count "$HOOKS")" "9 9" "mails and webhook calls after a restart"
expect_eq "$(summary "$HOOKS" | cut -d' ' -f3 | sort -n | uniq -c | awk '$1 != 1' | wc -l)" 0 \
    "alerts sent more than once"
expect_eq "$(q "SELECT count(*) || ' ' || bool_and(attempts >= 2) FROM quelma.alerts WHERE number > 10")" \
    "6 true" "alerts that waited for the receivers: sent, after a retry"

# --- a slow webhook (3 s a call) holds up no import: the second batch is imported before
# the first batch's three calls are done
cleanup_receivers
start_receivers 3
"$MAKER" "$A" --start "$START" --step 600 --records 5 # 16, 17 and 18
watch_start
wait_out "station gate1: 5 new records" 10
"$MAKER" "$A" --start "$START" --step 600 --records 5 # 21, 22 and 23
deadline=$((SECONDS + 20))
until [ "$(grep -c "station gate1: 5 new records" "$WATCH_OUT")" -ge 2 ]; do
    [ "$SECONDS" -lt "$deadline" ] || fail "no second import within 20 s:
$(cat "$WATCH_OUT")"
    sleep 0.1
done
sent="$(count "$HOOKS")"
[ "$sent" -lt 12 ] || fail "the second import waited for the first batch's webhook calls ($sent calls before it)"
# SIGTERM now, with the first batch's calls under way: the call in progress ends and is noted,
# so the next run sends the rest and nothing twice.
kill -TERM "$WATCH_PID"
for _ in $(seq 150); do kill -0 "$WATCH_PID" 2>/dev/null || break; sleep 0.1; done
kill -0 "$WATCH_PID" 2>/dev/null && fail "the collector did not end within 15 s of SIGTERM"
wait "$WATCH_PID" || fail "the collector ended with status $? on SIGTERM"
sleep 3.5 # a call the collector dropped would still be logged by now
cleanup_receivers
start_receivers
collect "${STATIONS[@]}" "${NOTIFY[@]}"
expect_eq "$(count "$MAILS") $(count "$HOOKS")" "15 15" "mails and webhook calls after SIGTERM and a run"
expect_eq "$(summary "$HOOKS" | cut -d' ' -f3 | sort -n | uniq -c | awk '$1 != 1' | wc -l)" 0 \
    "alerts sent more than once after SIGTERM"
echo "alerts: all steps passed"
