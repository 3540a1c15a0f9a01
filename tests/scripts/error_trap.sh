#!/usr/bin/env bash
# A step that set -e ends a script with reports itself once, through the script's fail: the
# step (a wd step with its arguments and the driver's complaint), its exit code and where.
# Failures that conditions handle, in the script or in a command substitution, stay quiet.
set -euo pipefail
trap_file="$(cd "$(dirname "$0")/../.." && pwd)/scripts/error-trap"
work="$(mktemp -d /tmp/quelma-error-trap.XXXXXX)"
trap 'rm -rf "$work"' EXIT

expect_report() { # report script...
    local want="$1" got rc=0
    shift
    printf '%s\n' "source '$trap_file'" 'fail() { echo "FAIL: $*" >&2; exit 1; }' \
        'set -euo pipefail' "$@" >"$work/case.sh"
    got="$(bash "$work/case.sh" 2>&1 >/dev/null)" || rc=$?
    if [ "$rc" != 1 ] || [ "$got" != "FAIL: $want" ]; then
        printf 'error_trap: expected exit code 1 and\n  FAIL: %s\ngot %s and\n  %s\n' "$want" "$rc" "$got" >&2
        exit 1
    fi
}

expect_report "step 'wd click =Print 1' ended with exit code 1 (wdrive: no window: =Print) at case.sh:5 in wd, called from case.sh:9 in print, called from case.sh:10" \
    "WD_ERR='$work/wd.err'" \
    'wd() { WD_STEP="wd $*"; echo "wdrive: no window: =Print" >"$WD_ERR"; false | tr -d "\r"; }' \
    'wd wait-window x || true' \
    'if wd x; then :; fi' \
    'text="$(wd y)" || true' \
    'print() { wd click "=Print" 1; }' \
    'print'
expect_report "step 'pdf=\"\$(find /no/such/folder 2> /dev/null | head -n1)\"' ended with exit code 1 at case.sh:4" \
    'pdf="$(find /no/such/folder 2>/dev/null | head -n1)"'
echo "PASS"
