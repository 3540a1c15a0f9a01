# Shared steps of the end-to-end tests: a fresh install folder, the program started under
# Wine in the background, and wdrive to act on its windows. Source it from a test script.
# Every way the script can end reports: fail, and any command that set -e ends it with.
set -euo pipefail

QUELMA_ROOT="${QUELMA_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}"
# shellcheck source=../../scripts/error-trap
source "$QUELMA_ROOT/scripts/error-trap"
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
    if command -v import >/dev/null && [ -n "${DISPLAY:-}" ] &&
        import -window root "$E2E_DIR/failure.png" 2>/dev/null; then
        echo "screenshot: $E2E_DIR/failure.png" >&2
    fi
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

# The step and wdrive's complaint stay for the report of a step that fails.
WD_ERR="$E2E_DIR/wdrive.err"
wd() {
    WD_STEP="wd $*"
    wine "$WIN_BIN/wdrive.exe" "$@" 2>"$WD_ERR" | tr -d '\r'
}

# The main window's menu commands, as the tests send them.
CMD_REGISTRATION=32773
CMD_MEASURE=32774
CMD_RESULT=32775
CMD_SETTING=32776
CMD_BACKUP=32777
CMD_EXIT=32778

# QUELMA.CFG and data files written and read back (see quelma_files.py).
quelma_files() { python3 "$QUELMA_ROOT/tests/e2e/quelma_files.py" "$@"; }

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

# Polls a command until it prints WANT: for effects that take their time.
wait_eq() { # want seconds what command...
    local want="$1" limit="$2" what="$3" i got=""
    shift 3
    for ((i = 0; i < limit * 10; i++)); do
        got="$("$@")" && [ "$got" = "$want" ] && return 0
        sleep 0.1
    done
    fail "$what: waited ${limit}s for '$want', got '$got'"
}

# Exit from the menu, answered Yes: the program ends with exit code 0.
exit_program() {
    wd command "- Quelma" "$CMD_EXIT"
    wd answer "Exit this program ?" yes >/dev/null || fail "no exit question"
    expect_eq "$(wait_exit)" 0 "exit code"
}

le_int32() { # file offset
    od -An -t d4 -j "$2" -N 4 "$1" | tr -d ' '
}
