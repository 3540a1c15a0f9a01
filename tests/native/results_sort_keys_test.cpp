// Sorting by "ID" and "Name" with padded keys must give exactly the record ordering, also for
// the odd bytes a damaged or foreign file can hold in a text field.
#include "results/result_sort.h"
#include "storage/ordering.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

namespace {

std::vector<MeasureRecord> OddTexts() {
    std::mt19937 random(7);
    std::vector<MeasureRecord> records(3000);
    for (size_t i = 0; i < records.size(); ++i) {
        MeasureRecord& r = records[i];
        // Bytes after the terminator are garbage; some fields use every byte (no
        // terminator); some hold bytes above 0x7f; many share prefixes.
        for (char& c : r.ID)
            c = static_cast<char>(random() % 256);
        for (char& c : r.Name)
            c = static_cast<char>(random() % 256);
        const size_t idLength = random() % 12, nameLength = random() % 23;
        if (idLength < sizeof r.ID)
            r.ID[idLength] = 0;
        if (nameLength < sizeof r.Name)
            r.Name[nameLength] = 0;
        if (i % 3 == 0)
            std::memcpy(r.Name, "Kim", 3);
        if (i % 5 == 0)
            std::memcpy(r.ID, "M0", 2);
        r.Number = static_cast<int32_t>(i);
    }
    return records;
}

TEST(ResultSortKeys, TextColumnsFollowTheRecordOrdering) {
    const std::vector<MeasureRecord> records = OddTexts();
    for (int column : {1, 2}) {
        for (int ascending : {1, 0}) {
            std::vector<int32_t> index(records.size() + 10, -1);
            for (size_t i = 0; i < records.size(); ++i)
                index[i] = static_cast<int32_t>(records.size() - 1 - i);
            SortRowIndex(records.data(), index, static_cast<int>(records.size()), column,
                         ascending);
            for (size_t i = 1; i < records.size(); ++i)
                ASSERT_LE(CompareRecords(records[index[i - 1]], records[index[i]], column,
                                         ascending),
                          0)
                    << "column " << column << " row " << i;
            // Still a permutation, and entries beyond the rows are left alone.
            std::vector<bool> seen(records.size());
            for (size_t i = 0; i < records.size(); ++i)
                seen[static_cast<size_t>(index[i])] = true;
            EXPECT_EQ(std::count(seen.begin(), seen.end(), false), 0);
            EXPECT_EQ(index[records.size()], -1);
        }
    }
}

TEST(ResultSortKeys, OnlyTheFirstRowsAreSorted) {
    std::vector<MeasureRecord> records(4);
    const char* names[] = {"Dora", "Ann", "Cleo", "Bea"};
    for (int i = 0; i < 4; ++i)
        SetField(records[i].Name, names[i]);
    std::vector<int32_t> index = {0, 1, 2, 3};
    SortRowIndex(records.data(), index, 3, 2, 1);
    EXPECT_EQ(index, (std::vector<int32_t>{1, 2, 0, 3}));
}

} // namespace
