// The Result list's filter: its state, the reading of the filter controls with their
// messages, and the test every record must pass.
#pragma once

#include "storage/config_file.h"
#include "storage/data_file.h"
#include "storage/records.h"

#include <cstdint>
#include <string>
#include <vector>

// Alcohol-level filter kinds.
enum LevelFilterKind {
    kLevelAll = 0,         // no level test
    kLevelNormalAll = 1,   // every Normal-mode record
    kLevelNormalRange = 2, // Normal-mode records with RangeLow <= Value <= RangeHigh
    kLevelFastAll = 3,     // every Fast-mode record
    kLevelFastChoice = 4,  // Fast-mode records of level LevelChoice
};

struct ResultFilter {
    int32_t PeriodFilterOn = 0;
    CivilDate PeriodStart, PeriodEnd;
    int32_t IdFilterOn = 0;
    char FilterId[10] = {};
    int32_t LevelFilter = kLevelAll;
    float RangeLow = 0.0f, RangeHigh = 0.0f;
    int32_t LevelChoice = -1;

    bool AnyActive() const { return PeriodFilterOn || IdFilterOn || LevelFilter != kLevelAll; }
};

bool PassesFilter(const MeasureRecord& record, const ResultFilter& filter);

// Positions of the passing records, in storage order (oldest first). False (index
// unchanged) when memory runs out.
bool ApplyFilter(const MeasureRecord* records, int count, const ResultFilter& filter,
                 std::vector<int32_t>& rowIndex);

// What the filter controls hold when "OK" is pressed.
struct FilterControls {
    bool periodAll = true;
    CivilDate pickerStart, pickerEnd; // local dates of the two pickers
    bool idAll = true;
    std::string idText;
    bool levelAll = true;
    int levelRadio = -1; // first ticked of the four level radios, 0..3; -1 none
    std::string rangeLowText, rangeHighText;
    int comboSelection = -1;
};

enum class FilterCheck { Ok, BadStart, BadEnd, BadId };
// The operator message of a refused filter; "" for Ok.
const char* FilterCheckMessage(FilterCheck check);

// Reads the controls into the filter in the order period, ID, level, stopping at the first
// error; what was read before the error stays stored. `firstDate` and `lastDate` are the
// dates of the first and last record of the shown set.
FilterCheck ReadFilterControls(const FilterControls& controls, const CivilDate& firstDate,
                               const CivilDate& lastDate, const MemberList& members,
                               int memberCount, ResultFilter& filter);

// A range bound as the edit box gives it: at most 9 characters, 0.0 when not a number.
float ParseRangeBound(const std::string& text);
