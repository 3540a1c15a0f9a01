#!/usr/bin/env bash
# "Print" in the Result window of the real program onto the PDF printers (CUPS with
# cups-pdf, as the demo has them), A4 and US Letter: page 1 of each PDF, read back with
# pdftotext, holds the whole title clear of the page label, all ten headings, and the rows
# with their time and a whole photo file name of a 19-character name.
source "$(dirname "$0")/lib.bash"
command -v pdftotext >/dev/null || fail "pdftotext is missing (scripts/setup installs poppler-utils)"
pdf_dir="$("$QUELMA_ROOT/scripts/pdf-printer")" || fail "no PDF printer"
new_install

# Five records a minute apart, each with a photo; the newest has the longest name.
python3 - "$INSTALL/Data/$DATA_NAME" "$YEAR" <<'PY'
import struct, sys, time
path, year = sys.argv[1], int(sys.argv[2])
names = ["Alice Martin", "Bruno Keller", "Chen Wei", "Dana Novak", "Maximilian Oberholz"]
with open(path, "wb") as f:
    f.write(struct.pack("<iI", len(names), 0x499602d2))
    for n, name in enumerate(names):
        t = int(time.mktime((year, 3, 4, 9, 52 + n, 21, 0, 0, -1)))
        f.write(struct.pack("<10s20s4s6sqBBBBfffB3si", b"M%03d" % (n + 1), name.encode(), b"",
                            b"", t, 1, 0, 0, 0, 0.03, 0.08, 0.065, 1, b"", n))
PY
python3 - "$INSTALL/QUELMA.CFG" <<'PY'
import struct, sys
with open(sys.argv[1], "wb") as f:
    f.write(struct.pack("<iiiiffiii", 0, 0, 0, 0, 0.1, 0.25, 8, 2, 0))
PY

# Prints the list on printer $1 and moves the PDF that came out to $PDF in the test's folder.
print_on() { # printer
    local marker="$E2E_DIR/marker-$1" pdf="" i
    touch "$marker"
    sleep 1 # file times have a one-second grain
    PRINTER="$1" start_quelma
    answer_no_port_search
    wd wait-window "- Quelma" 20000 >/dev/null || fail "no main window"
    wd command "- Quelma" 32775
    wd wait-window "Data\\$DATA_NAME" 10000 >/dev/null || fail "no Result window"
    expect_eq "$(wd lv-count "Data\\$DATA_NAME" 1000)" 5 "rows"
    photo="$(wd lv-text "Data\\$DATA_NAME" 1000 0 9)"
    time_cell="$(wd lv-text "Data\\$DATA_NAME" 1000 0 5)"
    wd click "Data\\$DATA_NAME" 1031
    # wait-window finds the dialog while it is still hidden and without its buttons.
    wait_eq 1 20 "the print dialog shown" wd visible "=Print"
    wd click "=Print" 1
    for ((i = 0; i < 600; i++)); do
        # On a new machine cups-pdf makes the folder with its first job.
        [ -d "$pdf_dir" ] && pdf="$(find "$pdf_dir" -maxdepth 1 -name '*.pdf' -newer "$marker" | head -n1)"
        # cups-pdf writes the file, then closes it; wait until its size settles.
        if [ -n "$pdf" ] && [ -s "$pdf" ]; then
            local size
            size="$(stat -c %s "$pdf")"
            sleep 0.5
            [ "$(stat -c %s "$pdf")" = "$size" ] && break
        fi
        pdf=""
        sleep 0.1
    done
    [ -n "$pdf" ] || fail "no PDF from $1 in $pdf_dir within 60 s"
    PDF="$E2E_DIR/$1.pdf"
    mv "$pdf" "$PDF"
    wd close "- Quelma" >/dev/null
    [ "$(wait_exit 30)" = 0 ] || fail "the program did not end cleanly"
    QUELMA_PID=""
}

check_page_one() { # pdf page-size-name
    local text
    text="$(pdftotext -layout -f 1 -l 1 "$1" -)"
    grep -qi "Page size:.*($2)" <<< "$(pdfinfo "$1")" || fail "$2: page size $(pdfinfo "$1" | grep 'Page size')"
    grep -qE 'Quelma - Alcohol Analyzer Interface +Page = 0' <<<"$text" ||
        fail "$2: title and page label: $(grep -m1 Quelma <<<"$text")"
    grep -qE '(^| )No +ID +Name +Result +Date +Time +Mode +Low +Hi +Photo *$' <<<"$text" ||
        fail "$2: headings: $(grep -m1 'ID' <<<"$text")"
    grep -qF "$photo" <<<"$text" || fail "$2: no whole '$photo' on page 1"
    grep -qE "^ *1 +M005 +Maximilian Oberholz +0.065 %BAC +[0-9_]+ +$time_cell +Normal +0.030 +0.080 +$photo *$" \
        <<<"$text" || fail "$2: first row: $(grep -m1 'M005' <<<"$text")"
    expect_eq "$(grep -cE '^ *[1-5] +M00[1-5] ' <<<"$text")" 5 "$2: rows on page 1"
}

print_on QuelmaPDF
check_page_one "$PDF" A4
print_on QuelmaPDFLetter
check_page_one "$PDF" Letter
echo "PASS"
