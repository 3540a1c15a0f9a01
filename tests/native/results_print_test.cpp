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

TEST(WorkbookPath, NamedAfterTheShownDataFile) {
    EXPECT_EQ(WorkbookPath("Quelma C:\\Quelma\\Data\\Quelma2008.dat"),
              "C:\\Quelma\\Data\\Quelma2008.xls");
    // Blanks after the first one stay part of the path.
    EXPECT_EQ(WorkbookPath("Quelma C:\\My Files\\Quelma2025.DAT"), "C:\\My Files\\Quelma2025.xls");
    // A folder with a dot cuts the path there.
    EXPECT_EQ(WorkbookPath("Quelma D:\\site.v2\\Data\\Quelma2026.dat"), "D:\\site.xls");
    EXPECT_EQ(WorkbookPath("C:\\Data\\Quelma2026.dat"), "C:\\Data\\Quelma2026.xls");
    EXPECT_EQ(WorkbookPath("Quelma C:\\Data\\book"), "C:\\Data\\book.xls");
    EXPECT_EQ(WorkbookPath("Quelma "), "");
    EXPECT_EQ(WorkbookPath("Quelma .dat"), "");
    EXPECT_EQ(WorkbookPath("Quelma C:\\" + std::string(253, 'a')), "");
    EXPECT_EQ(WorkbookPath("Quelma C:\\" + std::string(251, 'a')).size(), 258u);
}

TEST(WorkbookPath, CellItemsStartAtSheetRowThree) {
    EXPECT_EQ(CellItemName(0, 0), "r3c1");
    EXPECT_EQ(CellItemName(2, 9), "r5c10");
    EXPECT_EQ(CellItemName(99999, 4), "r100002c5");
}

} // namespace
