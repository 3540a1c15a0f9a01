#include "results/result_sort.h"

#include "storage/ordering.h"

#include <algorithm>
#include <cmath>

ColumnClick ClickSortColumn(int column, int& sortColumn, int& sortAscending) {
    if (column < 1 || column > 6)
        return {};
    sortAscending = sortAscending == 0 ? 1 : 0;
    sortColumn = column;
    return {true, column == 4 ? 5 : column};
}

void SortRowIndex(const MeasureRecord* records, std::vector<int32_t>& rowIndex, int rowCount,
                  int column, int ascending) {
    rowCount = std::min(rowCount, static_cast<int>(rowIndex.size()));
    if (rowCount <= 1)
        return;
    // A damaged file can hold a NaN value, which the float comparison would order
    // inconsistently; std::sort may then run past the range. NaNs sort as the smallest.
    auto less = [&](int32_t a, int32_t b) {
        const MeasureRecord& ra = records[a];
        const MeasureRecord& rb = records[b];
        if (column == 3 && (std::isnan(ra.Value) || std::isnan(rb.Value))) {
            const int na = std::isnan(ra.Value) ? 0 : 1;
            const int nb = std::isnan(rb.Value) ? 0 : 1;
            return ascending ? na < nb : nb < na;
        }
        return CompareRecords(ra, rb, column, ascending) < 0;
    };
    std::sort(rowIndex.begin(), rowIndex.begin() + rowCount, less);
}
