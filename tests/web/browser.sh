#!/usr/bin/env bash
# quelma-web in a real headless Chromium (Debian's chromium, chromedriver and Selenium):
# sign in, filter, a photo, a member, the CSV read back, an outcome and its correction,
# sign out. Screenshots of each page
# go to $WEB_SHOTS (docs/web for the README) or stay in the work folder.
source "$(dirname "$0")/lib.bash"
add_user alice "alice-password" --admin
start_web
SHOTS="${WEB_SHOTS:-$WORK/shots}"
mkdir -p "$SHOTS" "$WORK/downloads"
/usr/bin/python3 "$(dirname "$0")/browser.py" "$BASE" "$SHOTS" "$WORK/downloads" "$WORK/profile" ||
    fail "the browser test failed (see above)"
expect_eq "$(q "SELECT string_agg(action, ',' ORDER BY id) FROM quelma.access_log")" \
    "sign-in,photo,CSV export,member history,positive cases,outcome,positive cases,outcome,positive cases,sign-out" "access log of the browser session"
echo "PASS"
