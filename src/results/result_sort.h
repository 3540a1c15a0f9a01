// Sorting the Result list by a clicked column heading.
#pragma once

#include "storage/records.h"

#include <cstdint>
#include <vector>

struct ColumnClick {
    bool sorts = false;   // false: the click is ignored and nothing changes
    int arrowColumn = -1; // where the header shows the sort arrow
};

// Only "ID" to "Mode" (1..6) sort. Each sorting click inverts `sortAscending` and makes
// the clicked column `sortColumn`; "Date" sorts by record number, and its arrow, like the
// one of "Time", goes on "Time".
ColumnClick ClickSortColumn(int column, int& sortColumn, int& sortAscending);

// Sorts the first `rowCount` entries of `rowIndex` (positions into `records`) with the
// record ordering of `column` and direction `ascending`. Not stable.
void SortRowIndex(const MeasureRecord* records, std::vector<int32_t>& rowIndex, int rowCount,
                  int column, int ascending);
