#include "results/result_filter.h"
#include "results_test_records.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace results_test;

namespace {

std::vector<int32_t> Filtered(const std::vector<MeasureRecord>& records,
                              const ResultFilter& filter) {
    std::vector<int32_t> index = {99}; // replaced, not appended to
    EXPECT_TRUE(ApplyFilter(records.data(), static_cast<int>(records.size()), filter, index));
    return index;
}

// Around midnight, so a filter that compared times instead of local dates would fail.
std::vector<MeasureRecord> ThreeDays() {
    return {Fast("A1", "Ann", 0, Local(2026, 3, 4, 23, 59, 59)),
            Normal("B2", "Bob", 0.1f, 2, Local(2026, 3, 5, 0, 0, 0)),
            Fast("A1", "Ann", 2, Local(2026, 3, 5, 23, 59, 59)),
            Normal("C3", "Cy", 0.25f, 2, Local(2026, 3, 6, 0, 0, 1))};
}

// A filter of the local dates from..to.
ResultFilter Period(CivilDate from, CivilDate to) {
    ResultFilter f;
    f.PeriodFilterOn = 1;
    f.PeriodStart = from;
    f.PeriodEnd = to;
    return f;
}

TEST(ResultFilter, PeriodIsInclusiveByLocalDateAndKeepsStorageOrder) {
    const auto records = ThreeDays();
    EXPECT_EQ(Filtered(records, Period({2026, 3, 5}, {2026, 3, 5})), (std::vector<int32_t>{1, 2}));
    EXPECT_EQ(Filtered(records, Period({2026, 3, 4}, {2026, 3, 6})),
              (std::vector<int32_t>{0, 1, 2, 3}));
    // A start later than the end is accepted and matches nothing.
    EXPECT_TRUE(Filtered(records, Period({2026, 3, 6}, {2026, 3, 4})).empty());
    // Years and months weigh before days.
    EXPECT_EQ(Filtered(records, Period({2025, 12, 31}, {2026, 3, 4})), (std::vector<int32_t>{0}));
}

TEST(ResultFilter, IdMustMatchExactly) {
    auto records = ThreeDays();
    std::memset(records[3].ID, 'A', sizeof records[3].ID); // unterminated "AAAAAAAAAA"
    ResultFilter f;
    f.IdFilterOn = 1;
    SetField(f.FilterId, "A1");
    EXPECT_EQ(Filtered(records, f), (std::vector<int32_t>{0, 2}));
    SetField(f.FilterId, "a1");
    EXPECT_TRUE(Filtered(records, f).empty());
    SetField(f.FilterId, "A");
    EXPECT_TRUE(Filtered(records, f).empty());
    SetField(f.FilterId, "AAAAAAAAA");
    EXPECT_TRUE(Filtered(records, f).empty());
}

TEST(ResultFilter, LevelKinds) {
    auto records = ThreeDays();
    // A damaged record's mode is neither Fast nor Normal: every level kind lets it pass.
    MeasureRecord odd = Fast("D4", "Di", 2, Local(2026, 3, 6));
    odd.Mode = 7;
    odd.Value = 0.1f;
    records.push_back(odd);
    ResultFilter f;
    f.LevelFilter = kLevelNormalAll;
    EXPECT_EQ(Filtered(records, f), (std::vector<int32_t>{1, 3, 4}));
    f.LevelFilter = kLevelFastAll;
    EXPECT_EQ(Filtered(records, f), (std::vector<int32_t>{0, 2, 4}));

    // The bounds go through the same float32 the record holds: 0.100 passes 0.1f.
    f.LevelFilter = kLevelNormalRange;
    f.RangeLow = ParseRangeBound("0.100");
    f.RangeHigh = ParseRangeBound("0.100");
    EXPECT_EQ(Filtered(records, f), (std::vector<int32_t>{1, 4}));
    // Fast records never pass a range, even one holding their (zero) value.
    f.RangeLow = -1.0f;
    f.RangeHigh = 1.0f;
    EXPECT_EQ(Filtered(records, f), (std::vector<int32_t>{1, 3, 4}));

    f.LevelFilter = kLevelFastChoice;
    f.LevelChoice = 2;
    EXPECT_EQ(Filtered(records, f), (std::vector<int32_t>{2, 4}));
    f.LevelChoice = -1; // nothing chosen in the combo box
    EXPECT_TRUE(Filtered(records, f).empty());
}

TEST(ResultFilter, TestsCombine) {
    const auto records = ThreeDays();
    ResultFilter f = Period({2026, 3, 5}, {2026, 3, 6});
    f.IdFilterOn = 1;
    SetField(f.FilterId, "A1");
    f.LevelFilter = kLevelFastAll;
    EXPECT_EQ(Filtered(records, f), (std::vector<int32_t>{2}));
    ResultFilter none;
    EXPECT_FALSE(none.AnyActive());
    EXPECT_EQ(Filtered(records, none).size(), 4u);
}

class FilterControlsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        members.slots.resize(50);
        for (auto& slot : members.slots)
            MakeFreeSlot(slot);
        SetField(members.slots[0].ID, "A1");
        SetField(members.slots[1].ID, "B2");
        SetField(members.slots[2].ID, "C3"); // beyond the member count
    }
    FilterCheck Read(const FilterControls& c) {
        return ReadFilterControls(c, first, last, members, 2, filter);
    }
    MemberList members;
    CivilDate first{2026, 3, 4}, last{2026, 3, 6};
    ResultFilter filter;
};

TEST_F(FilterControlsTest, PeriodOutsideTheDataIsRefusedStartFirst) {
    FilterControls c;
    c.periodAll = false;
    c.pickerStart = {2026, 3, 3};
    c.pickerEnd = {2026, 3, 7};
    EXPECT_EQ(Read(c), FilterCheck::BadStart);
    EXPECT_STREQ(FilterCheckMessage(FilterCheck::BadStart), "Invalid sorting start time");
    EXPECT_EQ(filter.PeriodFilterOn, 1); // stored before the message
    c.pickerStart = {2026, 3, 4};
    EXPECT_EQ(Read(c), FilterCheck::BadEnd);
    EXPECT_STREQ(FilterCheckMessage(FilterCheck::BadEnd), "Invalid sorting end time");
    c.pickerEnd = {2026, 3, 6};
    EXPECT_EQ(Read(c), FilterCheck::Ok);
    // Reversed bounds inside the data pass the check.
    c.pickerStart = {2026, 3, 6};
    c.pickerEnd = {2026, 3, 4};
    EXPECT_EQ(Read(c), FilterCheck::Ok);
}

TEST_F(FilterControlsTest, IdMustBeARegisteredMember) {
    FilterControls c;
    c.idAll = false;
    c.idText = "C3";
    c.levelAll = false;
    c.levelRadio = 0;
    filter.LevelFilter = kLevelFastAll;
    EXPECT_EQ(Read(c), FilterCheck::BadId);
    EXPECT_STREQ(FilterCheckMessage(FilterCheck::BadId), "Not a valid ID");
    EXPECT_EQ(filter.IdFilterOn, 1);
    EXPECT_EQ(filter.LevelFilter, kLevelFastAll); // level not read after the error
    c.idText = "B2";
    EXPECT_EQ(Read(c), FilterCheck::Ok);
    EXPECT_STREQ(filter.FilterId, "B2");
    EXPECT_EQ(filter.LevelFilter, kLevelNormalAll);
    // Only 9 characters reach the filter.
    c.idText = "B2XXXXXXXXXXXX";
    EXPECT_EQ(Read(c), FilterCheck::BadId);
    EXPECT_STREQ(filter.FilterId, "B2XXXXXXX");
}

TEST_F(FilterControlsTest, LevelControls) {
    FilterControls c;
    c.levelAll = false;
    c.levelRadio = 1;
    c.rangeLowText = "0.05";
    c.rangeHighText = "abc";
    EXPECT_EQ(Read(c), FilterCheck::Ok);
    EXPECT_EQ(filter.LevelFilter, kLevelNormalRange);
    EXPECT_FLOAT_EQ(filter.RangeLow, 0.05f);
    EXPECT_EQ(filter.RangeHigh, 0.0f);
    c.levelRadio = 3;
    c.comboSelection = -1;
    EXPECT_EQ(Read(c), FilterCheck::Ok);
    EXPECT_EQ(filter.LevelFilter, kLevelFastChoice);
    EXPECT_EQ(filter.LevelChoice, -1);
    c.levelAll = true;
    EXPECT_EQ(Read(c), FilterCheck::Ok);
    EXPECT_FALSE(filter.AnyActive());
    EXPECT_EQ(ParseRangeBound("0.1234567891"), 0.1234567f);
}

} // namespace
