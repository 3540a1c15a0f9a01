#include "results/csv_text.h"
#include "results/print_layout.h"
#include "results/workbook_path.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A 600-dpi page: 4800 x 6600 drawing area, font 100 high and 40 wide.
PrintMetrics A4() {
    PrintMetrics m;
    EXPECT_EQ(MeasurePrintPage(100, 40, 4800, 6600, m), PrintSetup::Ok);
    return m;
}

std::string Cell(int row, int column) {
    return std::to_string(row) + ":" + std::to_string(column);
}

std::vector<PrintOp> TextsAt(const std::vector<PrintOp>& ops, int y) {
    std::vector<PrintOp> line;
    for (const PrintOp& op : ops)
        if (op.kind == PrintOp::Text && op.y == y)
            line.push_back(op);
    return line;
}

TEST(PrintLayout, MetricsFromTheFontAndArea) {
    const PrintMetrics m = A4();
    EXPECT_EQ(m.PrintLineHeight, 100);
    EXPECT_EQ(m.PrintCharWidth, 40);
    EXPECT_EQ(m.PrintLineChars, 120);
    EXPECT_EQ(m.RowsPerPage, 56);

    PrintMetrics small;
    EXPECT_EQ(MeasurePrintPage(100, 40, 4800, 1099, small), PrintSetup::PageTooSmall);
    EXPECT_EQ(MeasurePrintPage(100, 40, 4800, 1100, small), PrintSetup::Ok);
    EXPECT_EQ(small.RowsPerPage, 1);
    EXPECT_EQ(MeasurePrintPage(0, 40, 4800, 6600, small), PrintSetup::NoFont);
    EXPECT_EQ(MeasurePrintPage(100, 0, 4800, 6600, small), PrintSetup::NoFont);
    EXPECT_STRNE(PrintSetupMessage(PrintSetup::PageTooSmall), "");
}

TEST(PrintLayout, PageCountForExactAndOverfullPages) {
    PrintMetrics m;
    ASSERT_EQ(MeasurePrintPage(10, 5, 600, 500, m), PrintSetup::Ok);
    ASSERT_EQ(m.RowsPerPage, 40);
    EXPECT_EQ(LastPrintPage(0, m), 0);
    EXPECT_EQ(LastPrintPage(40, m), 1); // page 1 carries headings only
    EXPECT_EQ(LastPrintPage(41, m), 1);

    auto rowsOn = [&](int items) {
        std::vector<int> perPage;
        int cursor = 0;
        for (int page = 0; page <= LastPrintPage(items, m); ++page) {
            const auto ops = LayoutPrintPage(m, page, cursor, items, Cell);
            perPage.push_back(static_cast<int>((ops.size() - 14) / 10));
        }
        return perPage;
    };
    EXPECT_EQ(rowsOn(0), (std::vector<int>{0}));
    EXPECT_EQ(rowsOn(40), (std::vector<int>{40, 0}));
    EXPECT_EQ(rowsOn(41), (std::vector<int>{40, 1}));
}

TEST(PrintLayout, HeadOfEveryPage) {
    const PrintMetrics m = A4(); // LH 100, CW 40, M 12, margin 120
    int cursor = 0;
    const auto ops = LayoutPrintPage(m, 0, cursor, 0, Cell);
    ASSERT_EQ(ops.size(), 14u);
    EXPECT_EQ(ops[0].text, "Quelma - Alcohol Analyzer Interface");
    EXPECT_EQ(ops[0].x, 120);
    EXPECT_EQ(ops[0].y, 500);
    EXPECT_EQ(ops[1].text, "Page = 0");
    EXPECT_EQ(ops[1].x, 40 * (120 - 8 - 3));
    EXPECT_EQ(ops[1].y, 500);

    std::vector<PrintOp> rules;
    for (const PrintOp& op : ops)
        if (op.kind == PrintOp::Rule)
            rules.push_back(op);
    ASSERT_EQ(rules.size(), 2u);
    EXPECT_EQ(rules[0].y, 648);
    EXPECT_EQ(rules[1].y, 848);
    for (const PrintOp& rule : rules) {
        EXPECT_EQ(rule.x, 120);
        EXPECT_EQ(rule.x1, 118 * 40 - 1);
    }

    const auto headings = TextsAt(ops, 700);
    const char* names[] = {"No",   "ID",   "Name", "Result", "Date",
                           "Time", "Mode", "Low",  "Hi",     "Photo"};
    const int offsets[] = {0, 7, 17, 37, 49, 59, 69, 78, 86, 95};
    ASSERT_EQ(headings.size(), 10u);
    for (int n = 0; n < 10; ++n) {
        EXPECT_EQ(headings[n].text, names[n]);
        EXPECT_EQ(headings[n].x, 120 + offsets[n] * 40);
    }

    // A two-digit page number moves the label one character left.
    cursor = 0;
    EXPECT_EQ(LayoutPrintPage(m, 12, cursor, 0, Cell)[1].x, 40 * (120 - 9 - 3));
}

TEST(PrintLayout, RowsContinueAcrossPagesInListOrder) {
    PrintMetrics m;
    ASSERT_EQ(MeasurePrintPage(10, 5, 600, 130, m), PrintSetup::Ok);
    ASSERT_EQ(m.RowsPerPage, 3);
    int cursor = 0;
    LayoutPrintPage(m, 0, cursor, 5, Cell);
    EXPECT_EQ(cursor, 3);
    const auto ops = LayoutPrintPage(m, 1, cursor, 5, Cell);
    EXPECT_EQ(cursor, 5);
    const auto first = TextsAt(ops, 90);
    ASSERT_EQ(first.size(), 10u);
    EXPECT_EQ(first[0].text, "3:0");
    EXPECT_EQ(first[9].text, "3:9");
    EXPECT_EQ(first[9].x, 15 + 95 * 5);
    EXPECT_EQ(TextsAt(ops, 100)[3].text, "4:3");
    EXPECT_TRUE(TextsAt(ops, 110).empty());

    // Long cells are cut to 255 characters, never dropped.
    cursor = 0;
    const auto longOps =
        LayoutPrintPage(m, 0, cursor, 1, [](int, int) { return std::string(300, 'x'); });
    EXPECT_EQ(TextsAt(longOps, 90)[2].text.size(), 255u);
}

// A4 and Letter at 300 and 600 dpi, without and with the longest photo name a record can
// have (19-character name): the font chosen leaves every column, the whole photo name and
// the whole title on the page, and the title clear of the page label.
TEST(PrintLayout, FontNarrowEnoughForTheLongestRowAndTheTitle) {
    const std::string photo = std::string(19, 'N') + "_2026_12_08_AM_09_52_21.bmp";
    EXPECT_EQ(PrintLineCharsNeeded(0), 3 + 95 + 5 + 2); // the "Photo" heading still fits
    EXPECT_EQ(PrintLineCharsNeeded(photo.size()), 3 + 95 + 46 + 2);
    EXPECT_EQ(PrintLineCharsNeeded(1000), 3 + 95 + 255 + 2);

    const int widths[] = {2480, 2550, 4960, 5100}; // A4 and Letter, 300 and 600 dpi
    for (int width : widths) {
        for (const std::string& name : {std::string(), photo}) {
            const int needed = PrintLineCharsNeeded(name.size());
            const int cw = PrintCharWidthFor(width, needed, width / 20); // a big default font
            ASSERT_GT(cw, 0);
            PrintMetrics m;
            ASSERT_EQ(MeasurePrintPage(cw * 2, cw, width, 3500, m), PrintSetup::Ok);
            int cursor = 0;
            const auto ops = LayoutPrintPage(m, 99999, cursor, 1, [&](int, int column) {
                return column == 9 ? name : std::string("x");
            });
            const PrintOp& title = ops[0];
            const PrintOp& label = ops[1];
            EXPECT_LT(title.x + static_cast<int>(title.text.size()) * cw, label.x) << width;
            EXPECT_LE(label.x + static_cast<int>(label.text.size()) * cw, width);
            const int ruleEnd = ops[2].x1;
            for (const PrintOp& op : ops) {
                if (op.kind == PrintOp::Text) {
                    EXPECT_LE(op.x + static_cast<int>(op.text.size()) * cw, ruleEnd + 1)
                        << width << " " << op.text;
                }
            }
        }
    }
    // Never larger than the printer's own font; nothing fits a page narrower than a pixel a
    // character.
    EXPECT_EQ(PrintCharWidthFor(4800, 105, 40), 40);
    EXPECT_EQ(PrintCharWidthFor(4800, 105, 0), 45);
    EXPECT_EQ(PrintCharWidthFor(104, 105, 40), 0);
    EXPECT_STRNE(PrintSetupMessage(PrintSetup::PageTooNarrow), "");

    // The height asked for next shrinks in proportion, and always shrinks.
    EXPECT_EQ(SmallerPrintFontHeight(100, 60, 48), 80);
    EXPECT_EQ(SmallerPrintFontHeight(100, 49, 48), 97);
    EXPECT_EQ(SmallerPrintFontHeight(100, 101, 100), 99);
    EXPECT_EQ(SmallerPrintFontHeight(100, 0, 48), 99);
}

TEST(WorkbookPath, NamedAfterTheShownDataFile) {
    EXPECT_EQ(WorkbookPath("Quelma C:\\Quelma\\Data\\Quelma2008.dat"),
              "C:\\Quelma\\Data\\Quelma2008.xls");
    // Blanks after the first one stay part of the path.
    EXPECT_EQ(WorkbookPath("Quelma C:\\My Files\\Quelma2025.DAT"), "C:\\My Files\\Quelma2025.xls");
    // Only the file name's extension goes: dots in folder names stay.
    EXPECT_EQ(WorkbookPath("Quelma D:\\Quelma-1.0\\Data\\Quelma2026.dat"),
              "D:\\Quelma-1.0\\Data\\Quelma2026.xls");
    EXPECT_EQ(WorkbookPath("Quelma C:\\Users\\j.smith\\Quelma\\Data\\old.2025.DAT"),
              "C:\\Users\\j.smith\\Quelma\\Data\\old.2025.xls");
    EXPECT_EQ(WorkbookPath("C:\\Data\\Quelma2026.dat"), "C:\\Data\\Quelma2026.xls");
    EXPECT_EQ(WorkbookPath("Quelma C:\\Data\\book"), "C:\\Data\\book.xls");
    EXPECT_EQ(WorkbookPath("Quelma "), "");
    EXPECT_EQ(WorkbookPath("Quelma .dat"), "");
    // A DDE topic holds at most 255 characters: a longer name is refused, never cut.
    EXPECT_EQ(WorkbookPath("Quelma C:\\" + std::string(249, 'a') + ".dat"), "");
    EXPECT_EQ(WorkbookPath("Quelma C:\\" + std::string(248, 'a') + ".dat").size(), 255u);
}

// The list as CSV: the headings, then the rows; only fields that need it are quoted.
TEST(CsvText, HeadingsThenRowsQuotedAsNeeded) {
    const std::string text = ResultListCsv(2, [](int row, int column) -> std::string {
        if (row == 0 && column == 2)
            return "Doe, \"Jo\"";
        if (row == 1 && column == 2)
            return "two\nlines";
        if (column == 9)
            return "";
        return std::to_string(row) + "." + std::to_string(column);
    });
    EXPECT_EQ(text, "NO,ID,Name,Result,Date,Time,Mode,Low,Hi,Photo\r\n"
                    "0.0,0.1,\"Doe, \"\"Jo\"\"\",0.3,0.4,0.5,0.6,0.7,0.8,\r\n"
                    "1.0,1.1,two lines,1.3,1.4,1.5,1.6,1.7,1.8,\r\n");
    EXPECT_EQ(ResultListCsv(0, nullptr), "NO,ID,Name,Result,Date,Time,Mode,Low,Hi,Photo\r\n");
    EXPECT_EQ(CsvField("0.065 %BAC"), "0.065 %BAC");
    EXPECT_EQ(CsvField("\""), "\"\"\"\"");
    EXPECT_EQ(CsvField("a\rb"), "\"a\rb\"");
    EXPECT_EQ(CsvField("\xC4ngstr\xF6m"), "\xC4ngstr\xF6m"); // ANSI bytes pass as they are

    // An ID, name or photo name a spreadsheet would run as a formula is written as text;
    // other columns and texts stay as they are.
    for (const char* lead : {"=", "+", "-", "@"}) {
        const std::string cell = lead + std::string("x");
        std::string expected;
        for (int k = 0; k < 10; ++k)
            expected += (k ? "," : "") + CsvField(k == 1 || k == 2 || k == 9 ? "'" + cell : cell);
        const std::string csv = ResultListCsv(1, [&cell](int, int) { return cell; });
        EXPECT_EQ(csv.substr(csv.find("\r\n") + 2), expected + "\r\n") << int(lead[0]);
    }
}

TEST(CsvText, FileSuggestedBesideTheShownDataFile) {
    EXPECT_EQ(CsvPathForTitle("Quelma C:\\Quelma\\Data\\Quelma2026.dat"),
              "C:\\Quelma\\Data\\Quelma2026.csv");
    // Unlike the workbook, a dot in a folder name stays.
    EXPECT_EQ(CsvPathForTitle("Quelma D:\\site.v2\\My Data\\old.2025.DAT"),
              "D:\\site.v2\\My Data\\old.2025.csv");
    EXPECT_EQ(CsvPathForTitle("Quelma D:\\site.v2\\book"), "D:\\site.v2\\book.csv");
    EXPECT_EQ(CsvPathForTitle("Quelma C:\\Data\\"), "");
    EXPECT_EQ(CsvPathForTitle("Quelma C:\\Data\\.dat"), "");
    EXPECT_EQ(CsvPathForTitle("Quelma C:\\" + std::string(256, 'a') + ".dat"), "");

    EXPECT_EQ(CsvSaveMessage(file_io::Saved::Ok, "x.csv"), "");
    EXPECT_EQ(CsvSaveMessage(file_io::Saved::DiskFull, "x.csv"),
              "The disk is full: x.csv was not saved");
    EXPECT_EQ(CsvSaveMessage(file_io::Saved::CannotOpen, "x.csv"), "Cannot write the file x.csv");
}

TEST(WorkbookPath, CellItemsStartAtSheetRowThree) {
    EXPECT_EQ(CellItemName(0, 0), "r3c1");
    EXPECT_EQ(CellItemName(2, 9), "r5c10");
    EXPECT_EQ(CellItemName(99999, 4), "r100002c5");
}

} // namespace
