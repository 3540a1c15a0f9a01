#!/usr/bin/env bash
# The Result window of the real program: a prepared data file opens newest first, the
# level filter leaves the three Normal records oldest first, two clicks on "Name" sort them
# up and down, "Excel" pokes the 30 cells r3c1..r5c10 into the stand-in spreadsheet, and
# "CSV" saves them into a file that Python's csv module reads back cell for cell. A second
# export into a spreadsheet slowed down per poke is disturbed by a heading click and by
# closing the main window: the program ends without a crash after the export, and the sheet
# holds the list as it was when the export began.
source "$(dirname "$0")/lib.bash"
# A "." in the install folder: the workbook still lands beside the data file.
OWN_DIR="$(mktemp -d /tmp/quelma_result.v1_XXXXXX)"
INSTALL="$OWN_DIR/install"
trap 'rm -rf "$OWN_DIR"; e2e_cleanup' EXIT
new_install
wine_env_associate_xls "$WIN_BIN/quelma-sheet.exe"
[ -x "$WIN_BIN/quelma-sheet.exe" ] || fail "missing $WIN_BIN/quelma-sheet.exe"

# Five records: Fast, Normal, Normal, Fast, Normal, one day apart at noon UTC.
quelma_files data "$INSTALL/Data/$DATA_NAME" "M1:Alice:0:1:0.0:${YEAR}-01-10Z" "M2:Bob:1:0:0.1:${YEAR}-01-11Z" \
    "M3:Carol \"CJ\", Jr:1:0:0.2:${YEAR}-01-12Z" "M4:Dave:0:2:0.0:${YEAR}-01-13Z" "M5:Eve:1:0:0.05:${YEAR}-01-14Z"
# Settings with the analyzer on COM9, which nothing links: the port question comes up.
quelma_files config "$INSTALL/QUELMA.CFG" 0 0 0 0 0.1 0.25 8 2 M1:Alice M5:Eve

# The stand-in spreadsheet inherits this from the program that starts it.
export QUELMA_SHEET_LOG="$E2E_DIR/sheet.log" QUELMA_SHEET_POKE_DELAY_MS=120
start_quelma
answer_no_port_search
wd wait-window "- Quelma" 20000 >/dev/null || fail "no main window"

wd command "- Quelma" "$CMD_RESULT"
result="Data\\$DATA_NAME"
caption="$(wd wait-window "$result" 10000)" || fail "no Result window"
expect_eq "$caption" "Quelma $(winepath -w "$INSTALL")\\Data\\$DATA_NAME" "Result caption"
expect_eq "$(wd lv-count "$result" 1000)" 5 "rows"
expect_eq "$(wd lv-text "$result" 1000 0 2)" "Eve" "newest first"
expect_eq "$(wd lv-text "$result" 1000 4 0)" "5" "row number"

# "All" of the level unticked: the Normal " All" radio comes on; OK filters.
wd set-check "$result" 1010 0 >/dev/null
expect_eq "$(wd check "$result" 1025)" 1 "Normal All radio"
wd click "$result" 1030
wait_eq 3 5 "filtered rows" wd lv-count "$result" 1000
expect_eq "$(wd lv-text "$result" 1000 0 2)" "Bob" "filtered list oldest first"

wd lv-click-column "$result" 1000 2 >/dev/null
expect_eq "$(wd lv-text "$result" 1000 0 2),$(wd lv-text "$result" 1000 2 2)" "Bob,Eve" "ascending"
wd lv-click-column "$result" 1000 2 >/dev/null
expect_eq "$(wd lv-text "$result" 1000 0 2),$(wd lv-text "$result" 1000 2 2)" "Eve,Bob" "descending"
expect_eq "$(wd lv-text "$result" 1000 0 0)" "1" "row numbers follow the order"

wd click "$result" 1032
book="$INSTALL/Data/Quelma$YEAR.xls"
for ((i = 0; i < 300; i++)); do
    [ -f "$QUELMA_SHEET_LOG" ] && [ "$(grep -c '^POKE' "$QUELMA_SHEET_LOG")" -ge 30 ] && break
    sleep 0.1
done
[ -f "$QUELMA_SHEET_LOG" ] || fail "the stand-in spreadsheet logged nothing"
[ -f "$book" ] || fail "the workbook was not copied beside the data file"
cmp -s "$book" "$INSTALL/Resources/QuelmaForm.xls" || fail "the workbook is not the template"
pokes="$(grep '^POKE' "$QUELMA_SHEET_LOG" | cut -f3,4 | tr '\t' '=' | tr '\n' ' ')"
expected="r3c1=1 r3c2=M5 r3c3=Eve r3c4=0.050 mg/l r3c5=$(printf '%02d' $((YEAR - 2000)))_01_14"
case "$pokes" in
"$expected"*) ;;
*) fail "first pokes: $pokes" ;;
esac
expect_eq "$(grep -c '^POKE' "$QUELMA_SHEET_LOG")" 30 "pokes"
expect_eq "$(grep '^POKE' "$QUELMA_SHEET_LOG" | tail -n1 | cut -f3)" "r5c10" "last cell"
expect_eq "$(grep '^POKE' "$QUELMA_SHEET_LOG" | sed -n 21p | cut -f3,4 | tr '\t' '=')" "r5c1=3" "row 5 first cell"
grep -qiF "CONNECT	$(winepath -w "$book")" "$QUELMA_SHEET_LOG" || fail "no conversation on the workbook"

# "CSV": the save dialog suggests the data file's name with ".csv", beside it.
wd click "$result" 1037
wd wait-window "=Save As" 20000 >/dev/null || fail "no save dialog"
wd click "=Save As" 1
csv="$INSTALL/Data/Quelma$YEAR.csv"
for ((i = 0; i < 100; i++)); do
    [ -s "$csv" ] && break
    sleep 0.1
done
[ -s "$csv" ] || fail "no $csv"
# Every cell as "row<TAB>column<TAB>text", read by Python's csv module.
cells="$(python3 - "$csv" <<'PY'
import csv, sys
with open(sys.argv[1], newline="", encoding="cp1252") as f:
    for r, row in enumerate(csv.reader(f)):
        if len(row) != 10:
            sys.exit("row %d has %d cells" % (r, len(row)))
        for k, cell in enumerate(row):
            print("%d\t%d\t%s" % (r, k, cell))
PY
)" || fail "csv: $cells"
expect_eq "$(grep -c . <<<"$cells")" 40 "CSV cells"
expect_eq "$(grep -P '^0\t' <<<"$cells" | cut -f3 | tr '\n' ' ')" "NO ID Name Result Date Time Mode Low Hi Photo " "CSV headings"
for ((r = 0; r < 3; r++)); do
    for ((k = 0; k < 10; k++)); do
        expect_eq "$(grep -P "^$((r + 1))\t$k\t" <<<"$cells" | cut -f3-)" \
            "$(wd lv-text "$result" 1000 "$r" "$k")" "CSV cell $r,$k"
    done
done
expect_eq "$(grep -P '^2\t2\t' <<<"$cells" | cut -f3-)" 'Carol "CJ", Jr' "the name with a comma and quotes"

# Exit hides the window; the Result command shows it again with its rows.
# The program's window thread may still be held by the closed save dialog: wait for each.
wd click "$result" 1
wait_eq 0 5 "hidden after Exit" wd visible "$result"
wd command "- Quelma" "$CMD_RESULT"
wait_eq 1 5 "shown again" wd visible "$result"
expect_eq "$(wd lv-count "$result" 1000)" 3 "rows kept"

# The second export, disturbed while it pokes.
names="$(wd lv-text "$result" 1000 0 2),$(wd lv-text "$result" 1000 1 2),$(wd lv-text "$result" 1000 2 2)"
wd click "$result" 1032
for ((i = 0; i < 300; i++)); do
    [ "$(grep -c '^POKE' "$QUELMA_SHEET_LOG")" -gt 31 ] && break
    sleep 0.1
done
wd lv-click-column "$result" 1000 2 >/dev/null
wd close-now "- Quelma"
expect_eq "$(wait_exit 60)" 0 "exit code after the export"
expect_eq "$(grep -c '^POKE' "$QUELMA_SHEET_LOG")" 60 "pokes of both exports"
expect_eq "$(grep '^POKE' "$QUELMA_SHEET_LOG" | tail -n 30 | grep -P '\tr[345]c3\t' | cut -f4 | paste -sd,)" \
    "$names" "names of the second export"
echo "PASS"
