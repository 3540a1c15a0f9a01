#include "storage/ordering.h"

#include <cstdint>

namespace {

// Times and numbers come from files and may be anything: a difference could overflow.
int Order(int64_t a, int64_t b) {
    return a < b ? -1 : (a > b ? 1 : 0);
}

int CompareText(const char* a, size_t na, const char* b, size_t nb) {
    for (size_t i = 0;; ++i) {
        unsigned char ca = i < na ? static_cast<unsigned char>(a[i]) : 0;
        unsigned char cb = i < nb ? static_cast<unsigned char>(b[i]) : 0;
        if (ca != cb)
            return ca < cb ? -1 : 1;
        if (ca == 0)
            return 0;
    }
}

template <size_t N> int CompareField(const char (&a)[N], const char (&b)[N]) {
    return CompareText(a, FieldLength(a), b, FieldLength(b));
}

} // namespace

int CompareRecords(const MeasureRecord& a, const MeasureRecord& b, int column, int ascending) {
    int result;
    switch (column) {
    case 1:
        result = CompareField(a.ID, b.ID);
        break;
    case 2:
        result = CompareField(a.Name, b.Name);
        break;
    case 3:
        result = a.Value > b.Value ? 1 : (a.Value == b.Value ? 0 : -1);
        break;
    case 4:
        result = Order(a.Number, b.Number);
        break;
    case 5:
    case 6:
        result = Order(a.Time, b.Time);
        break;
    default:
        return 0;
    }
    return ascending ? result : -result;
}

int CompareMembers(const MemberEntry& a, const MemberEntry& b, int column, int ascending) {
    int result;
    if (column == 1)
        result = CompareField(a.ID, b.ID);
    else if (column == 2)
        result = CompareField(a.Name, b.Name);
    else
        return 0;
    return ascending ? result : -result;
}
