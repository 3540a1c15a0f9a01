#!/usr/bin/env bash
# The tour command end to end: it walks through every window and leaves one picture of each,
# of a window's size and with something drawn in it.
set -euo pipefail
root="${QUELMA_ROOT:-$(cd "$(dirname "$0")/../.." && pwd)}"
# shellcheck source=../../scripts/error-trap
source "$root/scripts/error-trap"
out="$(mktemp -d /tmp/quelma-tour.XXXXXX)"
trap 'rm -rf "$out"' EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# Under ctest the tests' own prefix is free (the Wine tests hold it in turn), which spares
# making one for the tour.
export QUELMA_TOUR_PREFIX="${QUELMA_TOUR_PREFIX:-${WINEPREFIX:-$root/build/wineprefix}}"
start=$(date +%s)
if ! "$root/scripts/tour" "$out/pictures" >"$out/log" 2>&1; then
    cat "$out/log" >&2
    fail "the tour stopped"
fi
echo "tour: $(($(date +%s) - start)) s"

# name, least width and height
expected=(
    "01-main 640 400"
    "02-measure-blowing 400 300"
    "03-measure-done 400 300"
    "04-result-filtered-sorted 400 300"
    "05-registration 250 200"
    "06-setting 250 200"
    "07-backup 250 100"
)
for entry in "${expected[@]}"; do
    read -r name min_w min_h <<<"$entry"
    png="$out/pictures/$name.png"
    [ -f "$png" ] || fail "no $name.png (have: $(ls "$out/pictures"))"
    read -r w h colours <<<"$(identify -format '%w %h %k\n' "$png")"
    printf 'tour: %-26s %4dx%-4d %5d colours %4d KB\n' "$name" "$w" "$h" "$colours" \
        $(($(stat -c %s "$png") / 1024))
    [ "$w" -ge "$min_w" ] && [ "$h" -ge "$min_h" ] || fail "$name is ${w}x$h"
    [ "$w" -le 1280 ] && [ "$h" -le 800 ] || fail "$name is larger than the screen: ${w}x$h"
    # A window that was not drawn comes out in one or two flat colours.
    [ "$colours" -ge 8 ] || fail "$name has $colours colours"
done
for png in "$out/pictures"/*; do
    case "$(basename "$png")" in
    0[1-7]-*.png) ;;
    *) fail "unexpected file $(basename "$png")" ;;
    esac
done
echo "PASS"
