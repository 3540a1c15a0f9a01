#!/usr/bin/env bash
# The site package as Debian's and systemd's checkers see it: lintian without errors or
# warnings, and both services loaded by systemd from the unpacked package (programs, manual
# pages and the shared hardening drop-in in place), with a low exposure.
set -euo pipefail
QUELMA_ROOT="${QUELMA_ROOT:-$(cd "$(dirname "$0")/../.." && pwd)}"
# shellcheck source=../../scripts/error-trap
source "$QUELMA_ROOT/scripts/error-trap"
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
deb="$(ls "${SITE_PACKAGE_DIR:-$QUELMA_ROOT/build/package}"/quelma-site_*_amd64.deb)"
WORK="$(mktemp -d /tmp/quelma-package.XXXXXX)"
trap 'rm -rf "$WORK"' EXIT

tags="$(lintian --fail-on error,warning -I "$deb" 2>"$WORK/lintian.err")" ||
    fail "lintian on $(basename "$deb"): $tags $(cat "$WORK/lintian.err")"
echo "lintian: passed; information tags: ${tags:-none}"

# The units name /usr/bin's programs: here they point into the unpacked tree.
dpkg-deb -x "$deb" "$WORK/root"
units="$WORK/root/lib/systemd/system"
for unit in quelma-collect quelma-web; do
    sed -i "s|/usr/bin/|$WORK/root/usr/bin/|g" "$units/$unit.service"
done
said="$(MANPATH="$WORK/root/usr/share/man" systemd-analyze verify "$units"/quelma-*.service 2>&1)" ||
    fail "systemd-analyze verify: $said"
[ -z "$said" ] || fail "systemd-analyze verify complains: $said"
exposure="$(systemd-analyze security --offline=true --threshold=20 "$units"/quelma-*.service 2>&1)" ||
    fail "systemd-analyze security: the services are exposed more than 2.0: $exposure"
echo "$exposure" | grep "Overall exposure"
