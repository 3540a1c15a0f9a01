#include "results/result_rows.h"
#include "results_test_records.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

using namespace results_test;

namespace {

std::vector<int> Order(const ResultRows& rows) {
    std::vector<int> order;
    for (int r = 0; r < rows.RowCount(); ++r)
        order.push_back(rows.RecordAt(r));
    return order;
}

// Keys chosen so every column orders the four records differently.
RecordList SortTable() {
    RecordList table;
    ResetRecordTable(table);
    AppendToTable(table, Normal("B", "delta", 0.30f, 2, Local(2026, 2, 1, 9)));
    AppendToTable(table, Fast("AB", "alpha", 1, Local(2026, 1, 1, 9)));
    AppendToTable(table, Normal("\xC4", "Charly", 0.10f, 2, Local(2026, 4, 1, 9)));
    AppendToTable(table, Normal("A", "bravo", 0.20f, 2, Local(2026, 3, 1, 9)));
    table.records[1].Value = 0.25f; // Fast records sort by Value too
    return table;
}

TEST(ResultRows, LoadShowsNewestFirstAndResetsTheFilter) {
    RecordList table = SortTable();
    ResultRows rows(table);
    rows.Filter().LevelFilter = kLevelFastAll;
    ASSERT_TRUE(rows.LoadTable());
    EXPECT_EQ(Order(rows), (std::vector<int>{3, 2, 1, 0}));
    EXPECT_TRUE(rows.ShowingAll());
    EXPECT_FALSE(rows.Filter().AnyActive());
    EXPECT_EQ(rows.ArrowColumn(), -1);
    EXPECT_EQ(rows.FirstDate().month, 2);
    EXPECT_EQ(rows.LastDate().month, 3);
    EXPECT_EQ(rows.FirstTime(), table.records[0].Time);
    EXPECT_EQ(rows.CellString(0, 0), "1");
    EXPECT_EQ(rows.CellString(0, 1), "A");
    EXPECT_EQ(rows.CellString(4, 1), ""); // past the rows
    EXPECT_EQ(rows.CellString(-1, 1), "");
    // Only inserted: Normal rows show no Low/Hi until a rewrite.
    EXPECT_EQ(rows.CellString(0, 7), "");
    EXPECT_EQ(rows.CellString(2, 7), "0.020");
    EXPECT_EQ(rows.LongestCell(2), 6u); // "Charly"

    RecordList empty;
    ResetRecordTable(empty);
    ResultRows none(empty);
    EXPECT_FALSE(none.LoadTable());
    EXPECT_EQ(none.RowCount(), 0);
}

TEST(ResultRows, OkFiltersOldestFirstThenReloadsNewestFirst) {
    RecordList table = SortTable();
    ResultRows rows(table);
    ASSERT_TRUE(rows.LoadTable());
    EXPECT_EQ(rows.ApplyChosenFilter(), ResultRows::Applied::Unchanged);

    rows.Filter().PeriodFilterOn = 1;
    rows.Filter().PeriodStart = {2026, 1, 1};
    rows.Filter().PeriodEnd = rows.LastDate();
    EXPECT_EQ(rows.ApplyChosenFilter(), ResultRows::Applied::Filtered);
    EXPECT_EQ(Order(rows), (std::vector<int>{0, 1, 3}));
    EXPECT_FALSE(rows.ShowingAll());
    EXPECT_EQ(rows.CellString(0, 7), "0.030"); // rewritten rows show Low/Hi
    EXPECT_EQ(rows.LongestCell(2), 5u);        // only the rows shown count

    // A record stored while filtered does not enter the rows...
    AppendToTable(table, Fast("N", "new", 0, Local(2026, 5, 1)));
    EXPECT_FALSE(rows.AppendNewRecords());
    EXPECT_EQ(rows.RowCount(), 3);
    EXPECT_EQ(rows.LastDate().month, 5) << "a period may not end on the new record's day";
    // ...until everything is shown again.
    rows.Filter() = ResultFilter();
    EXPECT_EQ(rows.ApplyChosenFilter(), ResultRows::Applied::Reloaded);
    EXPECT_EQ(Order(rows), (std::vector<int>{4, 3, 2, 1, 0}));
    EXPECT_TRUE(rows.ShowingAll());
}

TEST(ResultRows, AppendedRecordsGoOnTopAndSurviveTheTableMoving) {
    RecordList table = SortTable();
    ResultRows rows(table);
    ASSERT_TRUE(rows.LoadTable());
    EXPECT_FALSE(rows.AppendNewRecords());
    for (int i = 0; i < 400; ++i) { // past the reserved capacity: the records move
        AppendToTable(table, Normal("X", "x", 0.01f * i, 2, Local(2026, 6, 1)));
        GrowIfFull(table);
    }
    ASSERT_TRUE(rows.AppendNewRecords());
    // The period filter's bounds follow the records the list now holds.
    EXPECT_EQ(rows.LastDate().month, 6);
    EXPECT_EQ(rows.RowCount(), 404);
    EXPECT_EQ(rows.RecordAt(0), 403);
    EXPECT_EQ(rows.RecordAt(403), 0);
    EXPECT_EQ(rows.RecordOfRow(0), &table.records[403]);
    EXPECT_EQ(rows.CellString(0, 3), "3.990 g/l");
    EXPECT_EQ(rows.CellString(0, 7), "0.030");
}

struct SortCase {
    int column;
    std::vector<int> ascending;
};

TEST(ResultRows, EveryKeySortsBothWays) {
    RecordList table = SortTable();
    // ID/Name compare bytes unsigned: "\xC4" after every ASCII text; "Charly" before
    // "alpha" (upper case first); a shorter prefix first.
    const SortCase cases[] = {
        {1, {3, 1, 0, 2}}, // "A" "AB" "B" "\xC4"
        {2, {2, 1, 3, 0}}, // "Charly" "alpha" "bravo" "delta"
        {3, {2, 3, 1, 0}}, // 0.10 0.20 0.25 0.30
        {4, {0, 1, 2, 3}}, // Number
        {5, {1, 0, 3, 2}}, // Time
        {6, {1, 0, 3, 2}}, // "Mode" sorts by time too
    };
    for (const SortCase& c : cases) {
        ResultRows rows(table);
        ASSERT_TRUE(rows.LoadTable());
        int column = 0, ascending = 0;
        const ColumnClick first = rows.ClickColumn(c.column, column, ascending);
        ASSERT_TRUE(first.sorts);
        EXPECT_EQ(ascending, 1);
        EXPECT_EQ(Order(rows), c.ascending) << "column " << c.column;
        EXPECT_EQ(rows.ArrowColumn(), c.column == 4 ? 5 : c.column);
        EXPECT_EQ(rows.RowWriter(), LowHiRule::Always);
        rows.ClickColumn(c.column, column, ascending);
        EXPECT_EQ(ascending, 0);
        const std::vector<int> descending(c.ascending.rbegin(), c.ascending.rend());
        EXPECT_EQ(Order(rows), descending) << "column " << c.column;
        EXPECT_EQ(column, c.column);
    }
}

TEST(ResultRows, IgnoredColumnsAndTheSharedDirection) {
    RecordList table = SortTable();
    ResultRows rows(table);
    ASSERT_TRUE(rows.LoadTable());
    int column = 2, ascending = 1; // as the member selection dialog leaves it
    for (int ignored : {0, 7, 8, 9, -1, 10}) {
        EXPECT_FALSE(rows.ClickColumn(ignored, column, ascending).sorts);
        EXPECT_EQ(ascending, 1);
        EXPECT_EQ(column, 2);
    }
    EXPECT_EQ(Order(rows), (std::vector<int>{3, 2, 1, 0}));
    rows.ClickColumn(5, column, ascending); // first click after it: descending
    EXPECT_EQ(Order(rows), (std::vector<int>{2, 3, 0, 1}));
    rows.ClickColumn(1, column, ascending); // another column continues the alternation
    EXPECT_EQ(ascending, 1);
    EXPECT_EQ(Order(rows), (std::vector<int>{3, 1, 0, 2}));
    // A filter removes the arrow.
    rows.Filter().LevelFilter = kLevelNormalAll;
    rows.ApplyChosenFilter();
    EXPECT_EQ(rows.ArrowColumn(), -1);
}

TEST(ResultRows, NanValuesSortWithoutBreakingTheOrder) {
    RecordList table;
    ResetRecordTable(table);
    for (int i = 0; i < 200; ++i) {
        const float v = i % 3 == 0 ? std::numeric_limits<float>::quiet_NaN() : 0.001f * (i % 17);
        AppendToTable(table, Normal("X", "x", v, 2, 1700000000 + i));
    }
    ResultRows rows(table);
    ASSERT_TRUE(rows.LoadTable());
    int column = 0, ascending = 0;
    rows.ClickColumn(3, column, ascending);
    ASSERT_EQ(rows.RowCount(), 200);
    int nans = 0;
    float previous = -1.0f;
    for (int r = 0; r < 200; ++r) {
        const float v = rows.RecordOfRow(r)->Value;
        if (std::isnan(v)) {
            EXPECT_EQ(r, nans++) << "NaNs come first";
            continue;
        }
        EXPECT_LE(previous, v);
        previous = v;
    }
    EXPECT_EQ(nans, 67);

    // Descending turns the whole order round: the NaNs go last.
    rows.ClickColumn(3, column, ascending);
    ASSERT_EQ(ascending, 0);
    previous = 1.0f;
    for (int r = 0; r < 200; ++r) {
        const float v = rows.RecordOfRow(r)->Value;
        if (r >= 200 - 67) {
            EXPECT_TRUE(std::isnan(v)) << "row " << r;
            continue;
        }
        EXPECT_GE(previous, v) << "row " << r;
        previous = v;
    }
}

void WriteDataFileBytes(const std::string& path, int32_t count, int32_t marker,
                        const std::vector<MeasureRecord>& records, size_t cut = 0) {
    WriteBytes(path, DataFileBytes(count, marker, records, cut));
}

TEST(ResultRows, AnotherFileIsShownAndTheTableComesBack) {
    TempDir dir;
    RecordList table = SortTable();
    ResultRows rows(table);
    ASSERT_TRUE(rows.LoadTable());
    const std::string other = dir.File("Quelma2025.dat");
    // The marker is not checked: another build's files still open.
    WriteDataFileBytes(
        other, 2, 42,
        {Fast("Y1", "y", 1, Local(2025, 1, 1)), Normal("Y2", "z", 0.5f, 0, Local(2025, 2, 1))});
    std::string message;
    const std::string current = dir.File("Quelma2026.dat");
    ASSERT_EQ(rows.ShowFile(other.c_str(), current.c_str(), message), ResultRows::Shown::OtherFile);
    EXPECT_FALSE(rows.ShowsTable());
    EXPECT_EQ(rows.RecordCount(), 2);
    EXPECT_EQ(rows.CellString(0, 1), "Y2");
    EXPECT_EQ(rows.CellString(0, 8), ""); // no rewrite after "File"
    EXPECT_EQ(rows.FirstDate().year, 2025);

    // Sorting and filtering now work on that file's records.
    int column = 0, ascending = 0;
    rows.ClickColumn(1, column, ascending);
    EXPECT_EQ(rows.CellString(0, 1), "Y1");
    rows.Filter().LevelFilter = kLevelNormalAll;
    rows.ApplyChosenFilter();
    EXPECT_EQ(Order(rows), (std::vector<int>{1}));

    // New measurements do not enter another year's list.
    AppendToTable(table, Fast("N", "n", 0, Local(2026, 5, 1)));
    EXPECT_FALSE(rows.AppendNewRecords());

    // The current year's file, named in another case, brings the table back.
    std::string upper = current;
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(rows.ShowFile(upper.c_str(), current.c_str(), message), ResultRows::Shown::Table);
    EXPECT_TRUE(rows.ShowsTable());
    EXPECT_EQ(rows.RowCount(), 5);
    EXPECT_EQ(rows.ShowFile(current.c_str(), current.c_str(), message),
              ResultRows::Shown::Unchanged);
}

TEST(ResultRows, DamagedOrEmptyFilesKeepThePreviousSet) {
    TempDir dir;
    RecordList table = SortTable();
    ResultRows rows(table);
    ASSERT_TRUE(rows.LoadTable());
    const std::string good = dir.File("good.dat");
    WriteDataFileBytes(good, 1, kDataFileMagic, {Fast("G", "g", 0, Local(2025, 1, 1))});
    std::string message;
    ASSERT_EQ(rows.ShowFile(good.c_str(), "C:\\x.dat", message), ResultRows::Shown::OtherFile);

    struct Bad {
        const char* name;
        int32_t count;
        size_t cut;
        bool silent;
    };
    const Bad cases[] = {
        {"short.dat", 3, 0, false}, // count promises more records than present
        {"cut.dat", 2, 1, false},   // last record one byte short
        {"negative.dat", -1, 0, false},
        {"huge.dat", 0x7FFFFFFF, 0, false}, // more than memory could hold
        {"empty.dat", 0, 0, true},
    };
    for (const Bad& b : cases) {
        const std::string path = dir.File(b.name);
        WriteDataFileBytes(path, b.count, kDataFileMagic,
                           {Fast("D", "d", 0, 0), Fast("D", "d", 0, 0)}, b.cut);
        EXPECT_EQ(rows.ShowFile(path.c_str(), "C:\\x.dat", message), ResultRows::Shown::Refused)
            << b.name;
        EXPECT_EQ(message.empty(), b.silent) << b.name;
        if (!b.silent) {
            EXPECT_EQ(message, "Data file : " + path + " is damaged");
        }
        EXPECT_EQ(rows.CellString(0, 1), "G") << b.name;
    }
    const std::string stub = dir.File("stub.dat");
    WriteBytes(stub, {1, 0, 0});
    EXPECT_EQ(rows.ShowFile(stub.c_str(), "C:\\x.dat", message), ResultRows::Shown::Refused);
    EXPECT_FALSE(message.empty());
    WriteBytes(stub, {});
    EXPECT_EQ(rows.ShowFile(stub.c_str(), "C:\\x.dat", message), ResultRows::Shown::Refused);
    EXPECT_TRUE(message.empty());
    EXPECT_EQ(rows.ShowFile(dir.File("missing.dat").c_str(), "C:\\x.dat", message),
              ResultRows::Shown::Refused);
    EXPECT_TRUE(message.empty());
    // Far more records than the count promises: refused before being read whole.
    const std::string padded = dir.File("padded.dat");
    WriteDataFileBytes(padded, 1, kDataFileMagic, std::vector<MeasureRecord>(302));
    EXPECT_EQ(rows.ShowFile(padded.c_str(), "C:\\x.dat", message), ResultRows::Shown::Refused);
    EXPECT_EQ(message, "Data file : " + padded + " is damaged");
    // A file that opens but cannot be read (here a folder) is said to be unreadable.
    const std::string folder = dir.Path().string();
    EXPECT_EQ(rows.ShowFile(folder.c_str(), "C:\\x.dat", message), ResultRows::Shown::Refused);
    EXPECT_EQ(message, "Data file : " + folder + " cannot be read");
    EXPECT_EQ(rows.RecordCount(), 1);
}

} // namespace
