#!/usr/bin/env bash
# The Registration window of the real program with the stand-in card reader: a blank card
# laid on the reader fills the edits, registering writes the member onto the card, deleting
# blanks it again, duplicates are refused, and leaving by the close box saves the list.
source "$(dirname "$0")/lib.bash"
source "$(dirname "$0")/settings_lib.bash"
new_install
new_data_file
write_settings_config 1 "ID1:NM1" "ID2:NM2" "ID3:NM3"
card() { "$QUELMA_ROOT/scripts/card" --dir "$QUELMA_CARD_DIR" "$@"; }
card blank spare >/dev/null || fail "cannot make the card"
card lay spare >/dev/null
start_to_main_window
R="=Registartion"

wd command "- Quelma" "$CMD_REGISTRATION"
wd wait-window "$R" 10000 >/dev/null || fail "no Registration window"
expect_eq "$(wd lv-count "$R" 1000)" 3 "rows"
expect_eq "$(wd lv-text "$R" 1000 2 1) $(wd lv-text "$R" 1000 2 2)" "ID3 NM3" "row 3"

# Waits until the edits show what the card on the reader holds.
wait_card_read() { # id name
    local i
    for ((i = 0; i < 50; i++)); do
        [ "$(wd get-edit "$R" 1003)/$(wd get-edit "$R" 1004)" = "$1/$2" ] && return 0
        sleep 0.1
    done
    fail "edits show '$(wd get-edit "$R" 1003)/$(wd get-edit "$R" 1004)', not the card's $1/$2"
}

# The blank card is read once, with one signal, until Register or Delete is pressed: the
# next poll (2, its timer) leaves the edits alone.
wait_card_read "" "Empty"
wd set-text "$R" 1003 "ID2"
wd set-text "$R" 1004 "Nina"
wd tick "$R" 2
expect_eq "$(wd get-edit "$R" 1004)" "Nina" "edit kept while a card was read"
expect_eq "$(card log | grep -c '0x44')" 1 "card read signals"
wd click "$R" 1005
expect_message "Not available ID"

# Every press lets the card be read again.
wait_card_read "" "Empty"
expect_eq "$(card log | grep -c '0x44')" 2 "card read signals"
wd set-text "$R" 1003 "N100"
wd set-text "$R" 1004 "Nina"
wd click "$R" 1005
expect_message "Card recording O.K"
wait_card_read "N100" "Nina"
expect_eq "$(card show spare)" "ID='N100' name='Nina' valid" "card after Register"
expect_eq "$(wd lv-count "$R" 1000)" 4 "rows after Register"
expect_eq "$(wd lv-text "$R" 1000 3 0) $(wd lv-text "$R" 1000 3 1)" "4 N100" "new row"

wd set-text "$R" 1003 "ID2"
wd set-text "$R" 1004 "NM2"
wd click "$R" 1006
expect_message "Card deletion O.K"
wait_card_read "" "Empty"
expect_eq "$(card show spare)" "ID='' name='Empty' valid" "card after Delete"
expect_eq "$(wd lv-text "$R" 1000 1 1)" "ID3" "row 2 after Delete"

# The close box saves like Exit; the program goes on.
wd close "$R"
wd wait-gone "$R" 10000 >/dev/null || fail "Registration window still open"
wait_eq "ID1/NM1 ID3/NM3 N100/Nina " 5 "saved members" config_members
running || fail "the program ended"
wd close "- Quelma"
expect_eq "$(wait_exit)" 0 "exit code"
echo "PASS"
