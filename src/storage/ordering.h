// Orderings of the sorted lists: records by column key, members by ID or Name.
#pragma once

#include "storage/records.h"

// Sort key 1 ID, 2 Name (bytes as unsigned), 3 Value, 4 Number, 5 and 6 Time; other keys
// compare equal. Negated when `ascending` is 0.
int CompareRecords(const MeasureRecord& a, const MeasureRecord& b, int column, int ascending);
// Column 1 ID, 2 Name; other columns compare equal. Negated when `ascending` is 0.
int CompareMembers(const MemberEntry& a, const MemberEntry& b, int column, int ascending);
