# Shared steps of the end-to-end tests: a fresh install folder, the program started under
# Wine in the background, and wdrive to act on its windows. Source it from a test script.
set -euo pipefail

QUELMA_ROOT="${QUELMA_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}"
# shellcheck source=../../scripts/wine-env
source "$QUELMA_ROOT/scripts/wine-env"
WIN_BIN="$QUELMA_WIN_BIN"
NATIVE_BIN="${QUELMA_NATIVE_BIN:-$QUELMA_ROOT/build/native/bin}"
YEAR="$(date +%Y)"
DATA_NAME="Quelma$YEAR.dat"

E2E_DIR="$(mktemp -d /tmp/quelma-e2e.XXXXXX)"
INSTALL="$E2E_DIR/install"
QUELMA_PID=""
QUELMA_EXIT_FILE="$E2E_DIR/exit-code"

fail() {
    echo "FAIL: $*" >&2
    [ -x "$(command -v import)" ] && [ -n "${DISPLAY:-}" ] &&
        import -window root "$E2E_DIR/failure.png" 2>/dev/null && echo "screenshot: $E2E_DIR/failure.png" >&2
    exit 1
}

e2e_cleanup() {
    if [ -n "$QUELMA_PID" ] && kill -0 "$QUELMA_PID" 2>/dev/null; then
        wd close "- Quelma" >/dev/null 2>&1 || true
        sleep 1
        kill "$QUELMA_PID" 2>/dev/null || true
    fi
    wineserver -k >/dev/null 2>&1 || true
    [ -n "${KEEP_E2E:-}" ] || rm -rf "$E2E_DIR"
}
trap e2e_cleanup EXIT

[ -n "${DISPLAY:-}" ] || fail "no DISPLAY: run under Xvfb (scripts/test starts one)"
[ -x "$WIN_BIN/quelma.exe" ] || fail "missing $WIN_BIN/quelma.exe: build the win64 preset"

wd() { wine "$WIN_BIN/wdrive.exe" "$@" 2>/dev/null | tr -d '\r'; }

# A fresh install folder with Data\, Photo\ and Resources\, and the registry pointing at it.
new_install() {
    "$QUELMA_ROOT/scripts/lay-install" "$INSTALL"
    wine_env_prepare
    wine_env_set_install_dir "$INSTALL"
    wine_env_clear_bridge
}

# An empty data file of the current year, so start-up does not ask to create it.
new_data_file() {
    printf '\x00\x00\x00\x00\xd2\x02\x96\x49' > "$INSTALL/Data/$DATA_NAME"
}

# QUELMA_EXE=quelma_seams.exe starts the test build with its seams (tests/seams).
start_quelma() {
    rm -f "$QUELMA_EXIT_FILE"
    (
        rc=0
        cd "$E2E_DIR" && wine "$WIN_BIN/${QUELMA_EXE:-quelma.exe}" >/dev/null 2>&1 || rc=$?
        echo "$rc" > "$QUELMA_EXIT_FILE"
    ) &
    QUELMA_PID=$!
}

# Waits for the program to end and prints its exit code (255 for -1).
wait_exit() {
    local limit="${1:-30}" i
    for ((i = 0; i < limit * 10; i++)); do
        [ -f "$QUELMA_EXIT_FILE" ] && { cat "$QUELMA_EXIT_FILE"; return 0; }
        sleep 0.1
    done
    fail "program still running after ${limit}s"
}

running() { [ ! -f "$QUELMA_EXIT_FILE" ]; }

# Answers the start-up questions of a machine without analyzer: no port search.
answer_no_port_search() {
    wd answer "Serial port open fail. Do you want auto search ?" no 20000 >/dev/null ||
        fail "no serial port question"
}

expect_eq() {
    [ "$1" = "$2" ] || fail "${3:-value}: expected '$2', got '$1'"
}

le_int32() { # file offset
    od -An -t d4 -j "$2" -N 4 "$1" | tr -d ' '
}
