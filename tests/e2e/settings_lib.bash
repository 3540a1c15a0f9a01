# Shared steps of the Registration, Setting and Backup end-to-end tests: a configuration
# with known settings and members, a data file with known records, and the start of the
# program up to its main window. Source it after lib.bash.

export QUELMA_CARD_DIR="$E2E_DIR/cards"

# QUELMA.CFG: sound off, the card system as given, Fast mode 0.030/0.080, COM3 (nothing is
# linked there) at 115200, and the members given as ID:NAME pairs.
write_settings_config() { # use_id_card member...
    local card="$1"
    shift
    quelma_files config "$INSTALL/QUELMA.CFG" 0 "$card" 0 0 0.03 0.08 2 7 "$@"
}

# The settings of QUELMA.CFG as "name=value" words; its members as "ID/Name " words.
config_settings() { quelma_files config-summary "$INSTALL/QUELMA.CFG" | head -1; }
config_members() { quelma_files config-summary "$INSTALL/QUELMA.CFG" | tail -n +2 | tr '\n' ' '; }

# A data file of the current year with records of M001 Alice stamped at local noon of the
# given dates.
write_data_records() { # YYYY-MM-DD...
    local records=() d
    for d in "$@"; do records+=("M001:Alice:1:0:0.01:$d"); done
    quelma_files data "$INSTALL/Data/$DATA_NAME" "${records[@]}"
}

# Starts the program with no analyzer attached and waits for its main window.
start_to_main_window() {
    start_quelma
    answer_no_port_search
    wd wait-window "- Quelma" 20000 >/dev/null || fail "no main window"
}

# Waits for a message box containing TEXT and presses OK on it.
expect_message() { # text [ms]
    wd answer "$1" ok "${2:-10000}" >/dev/null || fail "no message '$1'"
}
