#include "results/result_filter.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace {

constexpr size_t kEditChars = 9;

bool SameId(const char (&recordId)[10], const char (&filterId)[10]) {
    const size_t n = FieldLength(recordId);
    return n == FieldLength(filterId) && std::memcmp(recordId, filterId, n) == 0;
}

bool PassesLevel(const MeasureRecord& record, const ResultFilter& filter) {
    switch (filter.LevelFilter) {
    case kLevelNormalAll:
        return record.Mode != kModeFast;
    case kLevelNormalRange:
        return record.Mode != kModeFast && filter.RangeLow <= record.Value &&
               record.Value <= filter.RangeHigh;
    case kLevelFastAll:
        return record.Mode != kModeNormal;
    case kLevelFastChoice:
        return record.Mode != kModeNormal && record.Level == filter.LevelChoice;
    default:
        return true;
    }
}

} // namespace

bool PassesFilter(const MeasureRecord& record, const ResultFilter& filter) {
    if (filter.PeriodFilterOn) {
        const CivilDate d = SplitDate(record.Time);
        if (CompareDates(filter.PeriodStart, d) > 0 || CompareDates(d, filter.PeriodEnd) > 0)
            return false;
    }
    if (filter.IdFilterOn && !SameId(record.ID, filter.FilterId))
        return false;
    return PassesLevel(record, filter);
}

bool ApplyFilter(const MeasureRecord* records, int count, const ResultFilter& filter,
                 std::vector<int32_t>& rowIndex) {
    std::vector<int32_t> passing;
    try {
        passing.reserve(static_cast<size_t>(count > 0 ? count : 0) + kRecordGrowth);
        for (int i = 0; i < count; ++i)
            if (PassesFilter(records[i], filter))
                passing.push_back(i);
    } catch (const std::bad_alloc&) {
        return false;
    }
    rowIndex = std::move(passing);
    return true;
}

const char* FilterCheckMessage(FilterCheck check) {
    switch (check) {
    case FilterCheck::BadStart:
        return "Invalid sorting start time";
    case FilterCheck::BadEnd:
        return "Invalid sorting end time";
    case FilterCheck::BadId:
        return "Not a valid ID";
    default:
        return "";
    }
}

float ParseRangeBound(const std::string& text) {
    const std::string cut = text.substr(0, kEditChars);
    return static_cast<float>(std::strtod(cut.c_str(), nullptr));
}

FilterCheck ReadFilterControls(const FilterControls& controls, const CivilDate& firstDate,
                               const CivilDate& lastDate, const MemberList& members,
                               int memberCount, ResultFilter& filter) {
    if (controls.periodAll) {
        filter.PeriodFilterOn = 0;
    } else {
        filter.PeriodFilterOn = 1;
        filter.PeriodStart = controls.pickerStart;
        filter.PeriodEnd = controls.pickerEnd;
        if (CompareDates(filter.PeriodStart, firstDate) < 0)
            return FilterCheck::BadStart;
        if (CompareDates(filter.PeriodEnd, lastDate) > 0)
            return FilterCheck::BadEnd;
    }

    if (controls.idAll) {
        filter.IdFilterOn = 0;
    } else {
        filter.IdFilterOn = 1;
        SetField(filter.FilterId, controls.idText.substr(0, kEditChars).c_str());
        if (!FindMember(members, filter.FilterId, memberCount))
            return FilterCheck::BadId;
    }

    if (controls.levelAll) {
        filter.LevelFilter = kLevelAll;
    } else {
        // No radio ticked (possible only if the template starts that way): no level test.
        filter.LevelFilter =
            controls.levelRadio >= 0 && controls.levelRadio <= 3 ? controls.levelRadio + 1 : 0;
        if (filter.LevelFilter == kLevelNormalRange) {
            filter.RangeLow = ParseRangeBound(controls.rangeLowText);
            filter.RangeHigh = ParseRangeBound(controls.rangeHighText);
        } else if (filter.LevelFilter == kLevelFastChoice) {
            filter.LevelChoice = controls.comboSelection;
        }
    }
    return FilterCheck::Ok;
}
