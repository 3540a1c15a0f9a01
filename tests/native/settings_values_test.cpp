// The Setting dialog's conversions, the combo fallback, the dialog initialisation data and
// what applying a stored copy has to do.
#include "settings/dialog_init_data.h"
#include "settings/setting_values.h"
#include "storage/config_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

SettingForm Form(int port, int speed, const char* low, const char* hi) {
    SettingForm f;
    f.portSelection = port;
    f.speedSelection = speed;
    f.low = low;
    f.hi = hi;
    return f;
}

TEST(SettingValues, ThresholdsShowThreeDecimalsAndReadTheLeadingNumber) {
    // Typed 0.0500, stored as float, shown the next time as 0.050.
    EXPECT_EQ(ThresholdText(ParseThreshold("0.0500")), "0.050");
    EXPECT_EQ(ThresholdText(ParseThreshold("abc")), "0.000");
    EXPECT_EQ(ParseThreshold("abc"), 0.0f);
    EXPECT_FLOAT_EQ(ParseThreshold("0.25mg"), 0.25f);
    EXPECT_FLOAT_EQ(ParseThreshold("-0.5"), -0.5f) << "no range test";
    EXPECT_FLOAT_EQ(ParseThreshold(" 1.5"), 1.5f);
    EXPECT_EQ(ParseThreshold(""), 0.0f);
    // Only nine characters are read: the tenth digit does not count.
    EXPECT_FLOAT_EQ(ParseThreshold("0.12345678999"), 0.1234567f);
    EXPECT_EQ(ThresholdText(0.1f), "0.100");
    EXPECT_EQ(ThresholdText(0.25f), "0.250");
    EXPECT_EQ(ThresholdText(0.0005f), "0.001");
}

TEST(SettingValues, ComboWithoutSelectionKeepsTheOldIndexWithinRange) {
    EXPECT_EQ(ChosenIndex(4, 0, kPortCount), 4);
    EXPECT_EQ(ChosenIndex(-1, 7, kPortCount), 7) << "typed into the edit: old index kept";
    EXPECT_EQ(ChosenIndex(-1, 20, kStorablePortCount), 20) << "COM21: not listed, but kept";
    EXPECT_EQ(ChosenIndex(-1, 21, kStorablePortCount), 0) << "an index no port has is not kept";
    EXPECT_EQ(ChosenIndex(-1, -3, kSpeedCount), 0);
    EXPECT_EQ(ChosenIndex(8, 5, kSpeedCount), 5);
}

TEST(SettingValues, OkStoresNormalModeAndKeepsTheMemberCount) {
    AppSettings work = DefaultSettings(3);
    work.Mode = kModeFast;
    work.MemberCount = 12;
    SettingForm f = Form(4, 7, "0.0500", "abc");
    f.useWebCam = true;
    f.useIdCard = false;
    f.useSound = true;
    StoreSettingForm(f, work);
    EXPECT_EQ(work.Mode, kModeNormal);
    EXPECT_EQ(work.Port, 4);
    EXPECT_EQ(work.Speed, 7);
    EXPECT_EQ(ThresholdText(work.Low), "0.050");
    EXPECT_EQ(work.Hi, 0.0f);
    EXPECT_EQ(work.UseWebCam, 1);
    EXPECT_EQ(work.UseIdCard, 0);
    EXPECT_EQ(work.UseSound, 1);
    EXPECT_EQ(work.MemberCount, 12);

    StoreSettingForm(Form(-1, -1, "0.3", "0.1"), work);
    EXPECT_EQ(work.Port, 4);
    EXPECT_EQ(work.Speed, 7);
    EXPECT_FLOAT_EQ(work.Low, 0.3f) << "Low may exceed Hi";
    EXPECT_EQ(work.UseWebCam, 0);
}

TEST(SettingChanges, CameraFollowsTheSwitchOnlyWhileTheMeasureDialogExists) {
    AppSettings now = DefaultSettings(0);
    AppSettings work = now;
    work.UseWebCam = 1;
    EXPECT_EQ(PlanSettingChange(now, work, true, -1).camera, CameraChange::Start);
    EXPECT_EQ(PlanSettingChange(now, work, false, -1).camera, CameraChange::None);
    EXPECT_EQ(PlanSettingChange(work, now, true, -1).camera, CameraChange::Stop);
    EXPECT_EQ(PlanSettingChange(now, now, true, -1).camera, CameraChange::None);
}

TEST(SettingChanges, ReaderOpensOnlyWhenSwitchedOnWithoutAnOpenReader) {
    AppSettings off = DefaultSettings(0);
    AppSettings on = off;
    on.UseIdCard = 1;
    EXPECT_TRUE(PlanSettingChange(off, on, false, -1).openCardReader);
    EXPECT_FALSE(PlanSettingChange(off, on, false, 0).openCardReader) << "already open";
    EXPECT_FALSE(PlanSettingChange(on, on, false, -1).openCardReader) << "not a change";
    EXPECT_FALSE(PlanSettingChange(on, off, false, 3).openCardReader) << "off leaves it";
}

std::vector<uint8_t> Record(int control, int message, const std::string& text) {
    std::vector<uint8_t> r = {static_cast<uint8_t>(control), static_cast<uint8_t>(control >> 8),
                              static_cast<uint8_t>(message), static_cast<uint8_t>(message >> 8)};
    const auto n = static_cast<uint32_t>(text.size() + 1);
    for (int i = 0; i < 4; ++i)
        r.push_back(static_cast<uint8_t>(n >> (8 * i)));
    r.insert(r.end(), text.begin(), text.end());
    r.push_back(0);
    return r;
}

TEST(DialogInitData, RecordsGiveTheItemsInOrder) {
    std::vector<uint8_t> data = Record(1020, 0x0403, "Normal");
    for (const char* t : {"COM1", "COM20"}) {
        const auto r = Record(1021, 0x0403, t);
        data.insert(data.end(), r.begin(), r.end());
    }
    data.push_back(0);
    data.push_back(0);
    std::vector<DialogInitItem> items;
    ASSERT_TRUE(ParseDialogInitData(data.data(), data.size(), items));
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].controlId, 1020);
    EXPECT_EQ(items[0].message, kDialogInitComboAddString);
    EXPECT_EQ(items[0].text, "Normal");
    EXPECT_EQ(items[2].controlId, 1021);
    EXPECT_EQ(items[2].text, "COM20");
}

TEST(DialogInitData, DamagedDataKeepsTheWholeRecordsAndReadsNothingBeyond) {
    std::vector<uint8_t> data = Record(1022, 0x0403, "1200");
    std::vector<uint8_t> second = Record(1022, 0x0403, "2400");
    second[4] = 200; // a byte count that runs past the end
    data.insert(data.end(), second.begin(), second.end());
    std::vector<DialogInitItem> items;
    EXPECT_FALSE(ParseDialogInitData(data.data(), data.size(), items));
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].text, "1200");

    // A text without its zero byte ends with its record.
    std::vector<uint8_t> bare = {0xFE, 0x03, 0x03, 0x04, 3, 0, 0, 0, 'a', 'b', 'c', 0, 0};
    items.clear();
    EXPECT_TRUE(ParseDialogInitData(bare.data(), bare.size(), items));
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].text, "abc");

    // Cut inside a record header, or missing the closing zero id.
    items.clear();
    EXPECT_FALSE(ParseDialogInitData(bare.data(), 5, items));
    EXPECT_TRUE(items.empty());
    items.clear();
    EXPECT_TRUE(ParseDialogInitData(bare.data(), 0, items));
}

} // namespace
