#include "results/record_cells.h"
#include "results_test_records.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace results_test;

namespace {

std::string Cell(const MeasureRecord& r, int column, LowHiRule rule = LowHiRule::Always,
                 int row = 0) {
    char text[kCellTextSize];
    const size_t n = FormatRecordCell(r, row, column, rule, text, sizeof text);
    EXPECT_EQ(n, std::strlen(text));
    return text;
}

TEST(RecordCells, FastAndNormalRowsShowTheirResultDateTimeAndMode) {
    const int64_t t = Local(2026, 3, 5, 14, 7, 3);
    const MeasureRecord fast = Fast("A1", "Ann", 2, t);
    const MeasureRecord normal = Normal("B22", "Bob", 0.021f, 2, t);

    EXPECT_EQ(Cell(fast, 0, LowHiRule::Always, 0), "1");
    EXPECT_EQ(Cell(fast, 0, LowHiRule::Always, 41), "42");
    EXPECT_EQ(Cell(fast, 1), "A1");
    EXPECT_EQ(Cell(fast, 2), "Ann");
    EXPECT_EQ(Cell(fast, 3), "Hi");
    EXPECT_EQ(Cell(normal, 3), "0.021 g/l");
    EXPECT_EQ(Cell(normal, 4), "26_03_05");
    EXPECT_EQ(Cell(normal, 5), "14_07_03");
    EXPECT_EQ(Cell(fast, 6), "Fast");
    EXPECT_EQ(Cell(normal, 6), "Normal");
}

TEST(RecordCells, LowAndHiFollowTheRowWriter) {
    const MeasureRecord fast = Fast("A1", "Ann", 0, Local(2026, 1, 2));
    const MeasureRecord normal = Normal("B2", "Bob", 0.5f, 1, Local(2026, 1, 2));
    EXPECT_EQ(Cell(normal, 7, LowHiRule::Always), "0.030");
    EXPECT_EQ(Cell(normal, 8, LowHiRule::Always), "0.080");
    EXPECT_EQ(Cell(normal, 7, LowHiRule::FastOnly), "");
    EXPECT_EQ(Cell(normal, 8, LowHiRule::FastOnly), "");
    EXPECT_EQ(Cell(fast, 7, LowHiRule::FastOnly), "0.020");
    EXPECT_EQ(Cell(fast, 8, LowHiRule::FastOnly), "0.050");
}

TEST(RecordCells, PhotoCellOnlyWhenTheRecordHasAPhoto) {
    MeasureRecord r = Fast("A1", "Ann", 1, Local(2026, 3, 5, 14, 7, 3));
    EXPECT_EQ(Cell(r, 9), "");
    r.Photo = 1;
    EXPECT_EQ(Cell(r, 9), "Ann_2026_03_05_PM_02_07_03.bmp");
    r.Photo = 2;
    EXPECT_EQ(Cell(r, 9), "");
}

TEST(RecordCells, DamagedFieldsStayInsideTheirCellAndBuffer) {
    MeasureRecord r{};
    std::memset(r.ID, 'I', sizeof r.ID);     // no terminator
    std::memset(r.Name, 'N', sizeof r.Name); // runs into CardSerial
    r.Mode = 7;
    r.Unit = 9;
    r.Level = 200;
    r.Value = 3.0e38f;
    r.Time = INT64_MAX;
    EXPECT_EQ(Cell(r, 1), std::string(10, 'I'));
    EXPECT_EQ(Cell(r, 2), std::string(20, 'N'));
    EXPECT_EQ(Cell(r, 3).substr(0, 3), "300");
    EXPECT_EQ(Cell(r, 4), "");
    EXPECT_EQ(Cell(r, 5), "");
    EXPECT_EQ(Cell(r, 6), "");
    EXPECT_EQ(Cell(r, 10), "");
    EXPECT_EQ(Cell(r, -1), "");

    // A small buffer gets the start of the text, terminated.
    char small[4];
    EXPECT_EQ(FormatRecordCell(r, 0, 2, LowHiRule::Always, small, sizeof small), 3u);
    EXPECT_STREQ(small, "NNN");
    EXPECT_EQ(FormatRecordCell(r, 0, 3, LowHiRule::Always, small, sizeof small), 3u);
    EXPECT_STREQ(small, "300");
}

TEST(RecordCells, ColumnsAndWidths) {
    const char* headings[] = {"NO",   "ID",   "Name", "Result", "Date",
                              "Time", "Mode", "Low",  "Hi",     "Photo"};
    for (int i = 0; i < kRecordColumnCount; ++i)
        EXPECT_STREQ(kRecordColumns[i].heading, headings[i]);
    // ID edit 110 px wide / 22.0: 5 px per unit; "Photo" 45 units.
    EXPECT_EQ(ColumnWidth(kRecordColumns[9].widthFactor, 110 / 22.0f), 226);
    EXPECT_EQ(ColumnWidth(7, 100 / 21.0f), 34); // 33.33 truncated, plus 1
}

} // namespace
