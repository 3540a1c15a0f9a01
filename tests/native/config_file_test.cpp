#include "storage/config_file.h"
#include "storage/ordering.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

namespace {

using namespace test_support;

// A scratch folder with QUELMA.CFG at `path`, and the settings and members a test loads.
class ConfigFile : public ::testing::Test {
  protected:
    // QUELMA.CFG as the first start writes it: defaults with this port, five placeholders.
    void Create(int port) { ASSERT_TRUE(CreateConfigFile(path.c_str(), port, s, m)); }

    TempDir dir;
    const std::string path = dir.File("QUELMA.CFG");
    AppSettings s{};
    MemberList m;
};

TEST_F(ConfigFile, NewFileHoldsDefaultsAndFivePlaceholders) {
    Create(11);

    const auto bytes = ReadBytes(path);
    ASSERT_EQ(bytes.size(), 236u);
    AppSettings onDisk;
    std::memcpy(&onDisk, bytes.data(), 36);
    EXPECT_EQ(SettingsText(onDisk),
              "sound=1 card=0 camera=0 mode=0 low=0.100 hi=0.250 port=11 speed=2 members=5");
    for (int i = 0; i < 5; ++i) {
        MemberEntry e;
        std::memcpy(&e, bytes.data() + 36 + 40 * i, 40);
        EXPECT_EQ(std::string(e.ID), "ID" + std::to_string(i));
        EXPECT_EQ(std::string(e.Name), "NAME" + std::to_string(i));
        EXPECT_EQ(e.InUse, 1);
    }
    EXPECT_EQ(m.Capacity(), 55);
    EXPECT_EQ(m.slots[5].InUse, 0);
    EXPECT_EQ(m.slots[54].ID[0], 0);
}

TEST_F(ConfigFile, RoundTripIsByteExact) {
    Create(0);
    s.Mode = 1;
    s.Low = 0.05f;
    s.Speed = 7;
    ASSERT_TRUE(SaveSettingsFile(path.c_str(), s, m));
    const auto written = ReadBytes(path);

    AppSettings s2{};
    MemberList m2;
    ASSERT_TRUE(LoadConfigFile(path.c_str(), s2, m2));
    EXPECT_EQ(std::memcmp(&s, &s2, sizeof s), 0);
    ASSERT_TRUE(SaveSettingsFile(path.c_str(), s2, m2));
    EXPECT_EQ(ReadBytes(path), written);
}

TEST_F(ConfigFile, EmptyMemberListLoadsFiftyFreeSlots) {
    s = DefaultSettings(0);
    s.MemberCount = 0;
    std::vector<uint8_t> bytes(36);
    std::memcpy(bytes.data(), &s, 36);
    WriteBytes(path, bytes);
    ASSERT_TRUE(LoadConfigFile(path.c_str(), s, m));
    EXPECT_EQ(s.MemberCount, 0);
    EXPECT_EQ(m.Capacity(), 50);
}

TEST_F(ConfigFile, DamagedMemberCountKeepsTheMembersPresent) {
    Create(0);
    auto bytes = ReadBytes(path);
    ASSERT_EQ(bytes.size(), 236u);
    bytes.resize(216); // last member cut in half
    // The first member's texts fill their fields without a terminator.
    std::memset(bytes.data() + 36, 'I', 10);
    std::memset(bytes.data() + 46, 'N', 20);
    for (int32_t count : {-7, 1000}) {
        std::memcpy(bytes.data() + 32, &count, 4);
        WriteBytes(path, bytes);
        AppSettings loaded{};
        MemberList members;
        ASSERT_TRUE(LoadConfigFile(path.c_str(), loaded, members)) << count;
        EXPECT_EQ(loaded.MemberCount, 4) << count;
        EXPECT_STREQ(members.slots[3].ID, "ID3");
        EXPECT_EQ(std::string(members.slots[0].ID), std::string(9, 'I'));
        EXPECT_EQ(std::string(members.slots[0].Name), std::string(19, 'N'));
        EXPECT_EQ(members.Capacity(), 54);
    }
}

// Start-up creates the file only when it is missing or empty; the table stays as it was.
TEST_F(ConfigFile, ShortFileOrMissingFileDoesNotLoad) {
    s = DefaultSettings(4);
    m.slots.assign(3, Member("KEEP", "Kept"));
    file_io::Failure why = file_io::Failure::None;
    EXPECT_EQ(ReadConfigFile(dir.File("none.cfg").c_str(), s, m, &why), ConfigLoad::CannotOpen);
    EXPECT_EQ(why, file_io::Failure::Missing);
    WriteBytes(dir.File("empty.cfg"), {});
    EXPECT_EQ(ReadConfigFile(dir.File("empty.cfg").c_str(), s, m), ConfigLoad::Empty);
    WriteBytes(dir.File("short.cfg"), std::vector<uint8_t>(35, 1));
    EXPECT_EQ(ReadConfigFile(dir.File("short.cfg").c_str(), s, m), ConfigLoad::Broken);
    EXPECT_EQ(s.Port, 4);
    EXPECT_EQ(m.Capacity(), 3);
    EXPECT_FALSE(SaveSettingsFile(dir.File("none.cfg").c_str(), s, m));
}

// A save the file took but that cannot be read back keeps the members it wrote, so the
// next save writes them again instead of "ID0"/"NM0" placeholders.
TEST_F(ConfigFile, FailedReloadKeepsTheWrittenMembers) {
    Create(0);
    ASSERT_TRUE(RemoveMemberEntry(m, s, "ID1"));
    const std::vector<MemberEntry> written = {m.slots[0], m.slots[2], m.slots[3], m.slots[4]};

    EXPECT_FALSE(ReloadMembers(dir.File("unreadable.cfg").c_str(), s, m, written));
    ASSERT_EQ(s.MemberCount, 4);
    ASSERT_EQ(m.Capacity(), 54);
    EXPECT_STREQ(m.slots[1].ID, "ID2");
    EXPECT_EQ(m.slots[3].InUse, 1);
    EXPECT_EQ(m.slots[4].InUse, 0);

    ASSERT_EQ(SaveMembersFile(path.c_str(), s, m), SaveMembersResult::Saved);
    const char* expected[] = {"ID0", "ID2", "ID3", "ID4"};
    for (int i = 0; i < 4; ++i)
        EXPECT_STREQ(m.slots[i].ID, expected[i]);
}

// No file can be created beside it (a folder only an administrator may write): the file is
// rewritten in place, its old tail kept, and nothing is left beside it.
TEST_F(ConfigFile, RewriteLandsInPlaceWhenNoReplacementCanBeCreated) {
    Create(0);
    std::filesystem::create_directory(path + ".new");
    ASSERT_TRUE(RemoveMemberEntry(m, s, "ID0"));
    s.Speed = 6;
    ASSERT_EQ(SaveMembersFile(path.c_str(), s, m), SaveMembersResult::Saved);
    EXPECT_EQ(ReadBytes(path).size(), 236u);
    EXPECT_EQ(s.Speed, 6);
    EXPECT_EQ(s.MemberCount, 4);
    EXPECT_STREQ(m.slots[0].ID, "ID1");
    EXPECT_FALSE(std::filesystem::is_regular_file(path + ".new"));
}

TEST_F(ConfigFile, SaveMembersWritesInUseSlotsInOrderAndKeepsOldTail) {
    Create(0);
    // Delete the second member, add one: it takes the freed slot.
    ASSERT_TRUE(RemoveMemberEntry(m, s, "ID1"));
    ASSERT_TRUE(AddMemberEntry(m, s, Member("NEW", "Newcomer")));
    EXPECT_STREQ(m.slots[1].ID, "NEW");
    ASSERT_TRUE(RemoveMemberEntry(m, s, "ID3"));
    EXPECT_EQ(s.MemberCount, 4);

    ASSERT_EQ(SaveMembersFile(path.c_str(), s, m), SaveMembersResult::Saved);
    EXPECT_EQ(ReadBytes(path).size(), 236u); // never truncated
    ASSERT_EQ(s.MemberCount, 4);
    const char* expected[] = {"ID0", "NEW", "ID2", "ID4"};
    for (int i = 0; i < 4; ++i)
        EXPECT_STREQ(m.slots[i].ID, expected[i]);
    EXPECT_EQ(m.Capacity(), 54);
}

TEST_F(ConfigFile, SaveMembersPadsWithPlaceholdersWhenTooFewInUse) {
    Create(0);
    m.slots[2].InUse = 0;
    m.slots[4].InUse = 0;
    ASSERT_EQ(SaveMembersFile(path.c_str(), s, m), SaveMembersResult::Saved);
    EXPECT_EQ(s.MemberCount, 5);
    EXPECT_STREQ(m.slots[2].ID, "ID3");
    EXPECT_STREQ(m.slots[3].ID, "ID0");
    EXPECT_STREQ(m.slots[3].Name, "NM0");
    EXPECT_STREQ(m.slots[4].Name, "NM0");
}

TEST_F(ConfigFile, SaveMembersNeedsAnExistingFile) {
    s = DefaultSettings(0);
    EXPECT_EQ(SaveMembersFile(dir.File("gone.cfg").c_str(), s, m), SaveMembersResult::CannotOpen);
}

TEST_F(ConfigFile, FiftyFirstMemberGrowsTheTable) {
    s = DefaultSettings(0);
    s.MemberCount = 0;
    m.slots.assign(50, MemberEntry{});
    for (int i = 0; i < 51; ++i)
        ASSERT_TRUE(AddMemberEntry(m, s, Member(std::to_string(i).c_str(), "x")));
    EXPECT_EQ(m.Capacity(), 100);
    EXPECT_EQ(s.MemberCount, 51);
    EXPECT_STREQ(m.slots[50].ID, "50");
}

TEST_F(ConfigFile, FindMemberLooksOnlyAtTheFirstN) {
    m.slots = {Member("A", "a"), Member("B", "b"), Member("C", "c")};
    EXPECT_TRUE(FindMember(m, "B", 3));
    EXPECT_FALSE(FindMember(m, "C", 2));
    EXPECT_FALSE(FindMember(m, "b", 3));
}

TEST_F(ConfigFile, InstallPathRefusesWhatWouldNotFitAPathBuffer) {
    char saved[sizeof g_szInstallDir];
    std::memcpy(saved, g_szInstallDir, sizeof saved);
    const std::string dir = "C:\\" + std::string(245, 'q') + "\\"; // 249 characters
    std::snprintf(g_szInstallDir, sizeof g_szInstallDir, "%s", dir.c_str());
    EXPECT_EQ(InstallPath("QUELMA.CFG"), dir + "QUELMA.CFG"); // 259 + terminator
    EXPECT_EQ(InstallPath("QUELMA.CFGX"), "");
    EXPECT_EQ(InstallPath("Data\\Quelma2026.dat"), "");
    std::memcpy(g_szInstallDir, saved, sizeof saved);
}

TEST(PortSearch, ParsesThePortNumberAfterCom) {
    int index = -5;
    EXPECT_TRUE(ParseComPortName("COM12", &index));
    EXPECT_EQ(index, 11);
    EXPECT_TRUE(ParseComPortName("COM0", &index));
    EXPECT_EQ(index, 0);
    EXPECT_TRUE(ParseComPortName("COM", &index));
    EXPECT_EQ(index, 0);
    EXPECT_TRUE(ParseComPortName("xxCOM 3", &index));
    EXPECT_EQ(index, 2);
    // "CCOM": the second C breaks the match and is not taken as a new start.
    index = -5;
    EXPECT_FALSE(ParseComPortName("CCOM4", &index));
    EXPECT_EQ(index, -5);
    EXPECT_FALSE(ParseComPortName("12345678COM1", &index)); // "COM" ends past the tenth
    EXPECT_TRUE(ParseComPortName("1234567COM1", &index));
    EXPECT_EQ(index, 0);
    EXPECT_FALSE(ParseComPortName("", &index));
}

TEST(MemberOrder, ByIdAndNameBothDirections) {
    MemberEntry a = Member("A1", "Zed"), b = Member("B", "Amy"), hi = Member("\xE9", "x");
    EXPECT_LT(CompareMembers(a, b, 1, 1), 0);
    EXPECT_GT(CompareMembers(a, b, 1, 0), 0);
    EXPECT_GT(CompareMembers(a, b, 2, 1), 0);
    EXPECT_LT(CompareMembers(a, b, 2, 0), 0);
    EXPECT_EQ(CompareMembers(a, a, 2, 0), 0);
    EXPECT_EQ(CompareMembers(a, b, 0, 1), 0);
    EXPECT_GT(CompareMembers(hi, a, 1, 1), 0); // bytes compare unsigned
    MemberEntry prefix = Member("A", "n");
    EXPECT_LT(CompareMembers(prefix, a, 1, 1), 0);
}

} // namespace
