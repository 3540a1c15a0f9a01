// The Measure dialog's record list without the window: which record each row shows, its
// number, and the "Low"/"Hi" rule of the writer that formatted the row last.
#include "measure/measure_rows.h"
#include "native/results_test_records.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using results_test::Fast;
using results_test::Local;
using results_test::Normal;

namespace {

RecordList Table(const std::vector<MeasureRecord>& records) {
    RecordList table;
    table.records.reserve(records.size() + kRecordGrowth);
    for (const MeasureRecord& r : records)
        AppendToTable(table, r);
    table.capacity = static_cast<int>(records.size()) + kRecordGrowth;
    return table;
}

// Columns 0 (NO), 1 (ID), 7 (Low) and 8 (Hi) of every row, as "NO ID Low Hi".
std::vector<std::string> Rows(const MeasureRows& rows) {
    std::vector<std::string> out;
    for (int r = 0; r < rows.RowCount(); ++r)
        out.push_back(rows.CellString(r, 0) + " " + rows.CellString(r, 1) + " " +
                      rows.CellString(r, 7) + " " + rows.CellString(r, 8));
    return out;
}

using Lines = std::vector<std::string>;

const int64_t kNoon = Local(2026, 3, 5, 12);

TEST(MeasureListCells, ResultDateTimeAndPhotoCells) {
    MeasureRecord hi = Fast("F1", "Ann", 2, Local(2026, 3, 5, 14, 7, 3));
    MeasureRecord normal = Normal("N1", "Bo", 0.021f, 2, kNoon);
    normal.Photo = 0;
    MeasureRecord photo = Normal("P1", "Cy Dee", 0.5f, 0, Local(2026, 3, 5, 9, 8, 7));
    photo.Photo = 1;
    RecordList table = Table({hi, normal, photo});
    MeasureRows rows(table);
    rows.Fill();

    // Newest first: photo, normal, hi.
    EXPECT_EQ(rows.CellString(2, 3), "Hi");
    EXPECT_EQ(rows.CellString(2, 4), "26_03_05");
    EXPECT_EQ(rows.CellString(2, 5), "14_07_03");
    EXPECT_EQ(rows.CellString(2, 6), "Fast");
    EXPECT_EQ(rows.CellString(1, 3), "0.021 g/l");
    EXPECT_EQ(rows.CellString(1, 6), "Normal");
    EXPECT_EQ(rows.CellString(1, 9), "");
    EXPECT_EQ(rows.CellString(0, 2), "Cy Dee");
    EXPECT_EQ(rows.CellString(0, 9), "Cy Dee_2026_03_05_AM_09_08_07.bmp");
    EXPECT_EQ(rows.CellString(0, 10), "");
    EXPECT_EQ(rows.CellString(3, 0), "");
    EXPECT_EQ(rows.CellString(-1, 1), "");
}

TEST(MeasureListCells, CellsAreCutToTheBuffer) {
    RecordList table = Table({Normal("123456789", "Nineteen characters", 0.045f, 1, kNoon)});
    MeasureRows rows(table);
    rows.Fill();
    char small[6];
    EXPECT_EQ(rows.CellText(0, 2, small, sizeof small), 5u);
    EXPECT_STREQ(small, "Ninet");
    EXPECT_EQ(rows.CellText(0, 3, nullptr, 10), 0u);
    EXPECT_EQ(rows.CellString(0, 3), "0.045 mg/l");
}

TEST(MeasureListRows, EmptyTableHasNoRows) {
    RecordList table = Table({});
    MeasureRows rows(table);
    rows.Fill();
    EXPECT_EQ(rows.RowCount(), 0);
    EXPECT_EQ(rows.RecordAt(0), -1);
    rows.Refresh();
    EXPECT_EQ(rows.RowCount(), 0);
}

TEST(MeasureListRows, FillShowsNewestFirstWithLowAndHiEverywhere) {
    RecordList table = Table({Normal("A", "a", 0.01f, 0, kNoon), Fast("B", "b", 1, kNoon),
                              Normal("C", "c", 0.02f, 1, kNoon)});
    MeasureRows rows(table);
    rows.Fill();
    EXPECT_EQ(Rows(rows), (Lines{"1 C 0.030 0.080", "2 B 0.020 0.050", "3 A 0.030 0.080"}));
    EXPECT_EQ(rows.RecordAt(0), 2);
    EXPECT_EQ(rows.RecordAt(2), 0);
}

TEST(MeasureListRows, StoredResultRenumbersAndHidesNormalThresholds) {
    RecordList table = Table({Normal("A", "a", 0.01f, 0, kNoon), Fast("B", "b", 1, kNoon),
                              Normal("C", "c", 0.02f, 1, kNoon)});
    MeasureRows rows(table);
    rows.Fill();

    AppendToTable(table, Normal("D", "d", 0.03f, 2, kNoon));
    rows.InsertTop();
    // Between the insert and the rewrite (the file write may show a message meanwhile),
    // the new row carries the new count and its thresholds; the others keep their texts.
    EXPECT_EQ(Rows(rows),
              (Lines{"4 D 0.030 0.080", "1 C 0.030 0.080", "2 B 0.020 0.050", "3 A 0.030 0.080"}));
    rows.Refresh();
    EXPECT_EQ(Rows(rows), (Lines{"1 D  ", "2 C  ", "3 B 0.020 0.050", "4 A  "}));

    // A further result: only the new row shows both, until the rewrite.
    AppendToTable(table, Fast("E", "e", 0, kNoon));
    rows.InsertTop();
    EXPECT_EQ(rows.CellString(0, 0), "5");
    EXPECT_EQ(rows.CellString(1, 0), "1");
    EXPECT_EQ(rows.CellString(1, 7), "");
    rows.Refresh();
    EXPECT_EQ(Rows(rows), (Lines{"1 E 0.020 0.050", "2 D  ", "3 C  ", "4 B 0.020 0.050", "5 A  "}));
}

TEST(MeasureListRows, TwoResultsBeforeARewriteEachKeepTheirNumber) {
    // A result handled while the file write's message is open inserts again before the
    // rewrite of the first.
    RecordList table = Table({Normal("A", "a", 0.01f, 0, kNoon)});
    MeasureRows rows(table);
    rows.Fill();
    rows.Refresh();
    AppendToTable(table, Normal("B", "b", 0.01f, 0, kNoon));
    rows.InsertTop();
    AppendToTable(table, Normal("C", "c", 0.01f, 0, kNoon));
    rows.InsertTop();
    EXPECT_EQ(Rows(rows), (Lines{"3 C 0.030 0.080", "2 B 0.030 0.080", "1 A  "}));
    // An insert without a new record adds no row.
    rows.InsertTop();
    EXPECT_EQ(rows.RowCount(), 3);
}

TEST(MeasureListRows, RowsFollowATableThatMoved) {
    RecordList table = Table({Fast("A", "a", 0, kNoon)});
    MeasureRows rows(table);
    rows.Fill();
    for (int i = 0; i < 1000; ++i) {
        AppendToTable(table, Fast("N", "n", 2, kNoon));
        table.records.shrink_to_fit(); // move the records on every append
        rows.InsertTop();
        rows.Refresh();
    }
    EXPECT_EQ(rows.RowCount(), 1001);
    EXPECT_EQ(rows.CellString(1000, 1), "A");
    EXPECT_EQ(rows.CellString(1000, 0), "1001");
    EXPECT_EQ(rows.CellString(0, 3), "Hi");
}

} // namespace
