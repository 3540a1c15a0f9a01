#include "results/result_sort.h"

#include "storage/ordering.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>
#include <cmath>

ColumnClick ClickSortColumn(int column, int& sortColumn, int& sortAscending) {
    if (column < 1 || column > 6)
        return {};
    sortAscending = sortAscending == 0 ? 1 : 0;
    sortColumn = column;
    return {true, column == 4 ? 5 : column};
}

namespace {

// A text field cut at its terminator and padded with zeros compares with memcmp exactly as
// the record ordering compares it (byte-wise unsigned, shorter prefix first). Sorting these
// keys beside their positions keeps a year of records well inside the time an operator
// waits for a heading click.
template <size_t N>
void SortByText(const MeasureRecord* records, std::vector<int32_t>& rowIndex, int rowCount,
                char const (MeasureRecord::*field)[N], int ascending) {
    struct Keyed {
        std::array<unsigned char, N> key;
        int32_t position;
    };
    std::vector<Keyed> keyed(static_cast<size_t>(rowCount));
    for (int i = 0; i < rowCount; ++i) {
        Keyed& k = keyed[static_cast<size_t>(i)];
        const auto& text = records[rowIndex[static_cast<size_t>(i)]].*field;
        const size_t n = FieldLength(text);
        k.key.fill(0);
        std::memcpy(k.key.data(), text, n);
        k.position = rowIndex[static_cast<size_t>(i)];
    }
    std::sort(keyed.begin(), keyed.end(), [ascending](const Keyed& a, const Keyed& b) {
        const int c = std::memcmp(a.key.data(), b.key.data(), N);
        return ascending ? c < 0 : c > 0;
    });
    for (int i = 0; i < rowCount; ++i)
        rowIndex[static_cast<size_t>(i)] = keyed[static_cast<size_t>(i)].position;
}

} // namespace

void SortRowIndex(const MeasureRecord* records, std::vector<int32_t>& rowIndex, int rowCount,
                  int column, int ascending) {
    rowCount = std::min(rowCount, static_cast<int>(rowIndex.size()));
    if (rowCount <= 1)
        return;
    try {
        if (column == 1)
            return SortByText(records, rowIndex, rowCount, &MeasureRecord::ID, ascending);
        if (column == 2)
            return SortByText(records, rowIndex, rowCount, &MeasureRecord::Name, ascending);
    } catch (const std::bad_alloc&) {
        // No room for the keys: the slower sort below needs none.
    }
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
