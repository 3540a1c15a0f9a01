// The member table as the Registration dialog changes it: rows, duplicate checks, the row a
// Delete refers to, sorting among the slots in use, and what a save after that writes.
#include "members/member_rows.h"
#include "storage/config_file.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<std::string> RowList(MemberList& members, const AppSettings& settings) {
    std::vector<std::string> out;
    for (const MemberRowText& row : MemberRows(members, settings))
        out.push_back(row.id + "/" + row.name);
    return out;
}

// A fresh file with the five placeholder members, loaded as start-up leaves it.
struct Registry {
    TempDir dir;
    std::string path = dir.File("QUELMA.CFG");
    AppSettings settings{};
    MemberList members;
    Registry() { EXPECT_TRUE(CreateConfigFile(path.c_str(), 0, settings, members)); }
};

std::vector<std::string> FileMembers(const std::string& path) {
    const std::vector<uint8_t> bytes = ReadBytes(path);
    AppSettings s;
    std::memcpy(&s, bytes.data(), sizeof s);
    std::vector<std::string> out;
    for (int i = 0; i < s.MemberCount; ++i) {
        MemberEntry e;
        std::memcpy(&e, bytes.data() + 36 + 40 * i, 40);
        out.push_back(std::string(e.ID) + "/" + e.Name + (e.InUse == 1 ? "" : "!"));
    }
    return out;
}

TEST(MemberTableEdits, FreedSlotIsReusedSoTheNewMemberShowsWhereTheOldOneWas) {
    Registry r;
    ASSERT_TRUE(RemoveMemberEntry(r.members, r.settings, "ID1"));
    EXPECT_EQ(r.settings.MemberCount, 4);
    EXPECT_EQ(RowList(r.members, r.settings),
              (std::vector<std::string>{"ID0/NAME0", "ID2/NAME2", "ID3/NAME3", "ID4/NAME4"}));

    ASSERT_TRUE(AddMemberEntry(r.members, r.settings, MakeMemberEntry("M9", "Nina")));
    EXPECT_EQ(r.settings.MemberCount, 5);
    const auto rows = RowList(r.members, r.settings);
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[1], "M9/Nina") << "row 2 is the reused slot";
    EXPECT_EQ(r.members.Capacity(), 55) << "a free slot was there, nothing grew";
}

TEST(MemberTableEdits, FiftyFirstMemberFromAnEmptyListGrowsTheTableByFifty) {
    TempDir dir;
    const std::string path = dir.File("QUELMA.CFG");
    AppSettings empty{};
    WriteBytes(path, std::vector<uint8_t>(reinterpret_cast<uint8_t*>(&empty),
                                          reinterpret_cast<uint8_t*>(&empty) + sizeof empty));
    AppSettings s{};
    MemberList m;
    ASSERT_TRUE(LoadConfigFile(path.c_str(), s, m));
    ASSERT_EQ(m.Capacity(), 50);
    for (int i = 0; i < 51; ++i) {
        const std::string n = std::to_string(i);
        ASSERT_TRUE(AddMemberEntry(m, s, MakeMemberEntry("ID" + n, "Name" + n)));
    }
    EXPECT_EQ(m.Capacity(), 100);
    EXPECT_EQ(s.MemberCount, 51);
    const auto rows = RowList(m, s);
    ASSERT_EQ(rows.size(), 51u);
    EXPECT_EQ(rows[50], "ID50/Name50");
    EXPECT_EQ(m.slots[51].InUse, 0);
    EXPECT_EQ(m.slots[99].ID[0], 0);
}

TEST(MemberTableEdits, SaveAfterEditsWritesTheMembersInSlotOrderWithoutHoles) {
    Registry r;
    ASSERT_TRUE(RemoveMemberEntry(r.members, r.settings, "ID1"));
    ASSERT_TRUE(RemoveMemberEntry(r.members, r.settings, "ID3"));
    ASSERT_TRUE(AddMemberEntry(r.members, r.settings, MakeMemberEntry("NEW", "Newcomer")));
    // The removed member keeps its texts in the free slot; it must not reach the file.
    EXPECT_STREQ(r.members.slots[3].ID, "ID3");

    ASSERT_EQ(SaveMembersFile(r.path.c_str(), r.settings, r.members), SaveMembersResult::Saved);
    EXPECT_EQ(FileMembers(r.path),
              (std::vector<std::string>{"ID0/NAME0", "NEW/Newcomer", "ID2/NAME2", "ID4/NAME4"}));
    EXPECT_EQ(r.settings.MemberCount, 4);
    EXPECT_EQ(r.members.Capacity(), 54) << "reloaded: the members, then 50 free slots";
    EXPECT_EQ(RowList(r.members, r.settings),
              (std::vector<std::string>{"ID0/NAME0", "NEW/Newcomer", "ID2/NAME2", "ID4/NAME4"}));
}

TEST(MemberTableEdits, RemovingByIdAloneTakesTheFirstInUseSlot) {
    Registry r;
    EXPECT_FALSE(RemoveMemberEntry(r.members, r.settings, "NOPE"));
    EXPECT_EQ(r.settings.MemberCount, 5);
    ASSERT_TRUE(RemoveMemberEntry(r.members, r.settings, "ID2"));
    EXPECT_FALSE(RemoveMemberEntry(r.members, r.settings, "ID2")) << "a freed slot is not found";
    EXPECT_EQ(r.settings.MemberCount, 4);
    // A repeated ID (the old "ID0"/"NM0" padding): the Name tells the chosen row's slot.
    SetField(r.members.slots[4].ID, "ID3");
    ASSERT_TRUE(RemoveMemberEntry(r.members, r.settings, "ID3", "NAME4"));
    EXPECT_EQ(r.members.slots[3].InUse, 1);
    EXPECT_EQ(r.members.slots[4].InUse, 0);
}

TEST(MemberTableEdits, SortingReordersOnlyTheSlotsInUse) {
    Registry r;
    ASSERT_TRUE(RemoveMemberEntry(r.members, r.settings, "ID1"));
    SortMembersInUse(r.members, r.settings, 2, 0);
    EXPECT_EQ(RowList(r.members, r.settings),
              (std::vector<std::string>{"ID4/NAME4", "ID3/NAME3", "ID2/NAME2", "ID0/NAME0"}));
    EXPECT_EQ(r.members.slots[1].InUse, 0) << "the free slot stays free and in place";
    EXPECT_STREQ(r.members.slots[1].ID, "ID1");
    EXPECT_STREQ(r.members.slots[0].ID, "ID4");

    SortMembersInUse(r.members, r.settings, 1, 1);
    EXPECT_EQ(RowList(r.members, r.settings),
              (std::vector<std::string>{"ID0/NAME0", "ID2/NAME2", "ID3/NAME3", "ID4/NAME4"}));
    // Column 0 compares everything equal: the order stays.
    SortMembersInUse(r.members, r.settings, 0, 0);
    EXPECT_EQ(RowList(r.members, r.settings)[0], "ID0/NAME0");
}

TEST(MemberChecks, EditTextsAreCutToTheFieldWidths) {
    const MemberEntry e = MakeMemberEntry("ABCDEFGHIJKL", "NameThatIsMuchTooLongForIt");
    EXPECT_STREQ(e.ID, "ABCDEFGHI");
    EXPECT_STREQ(e.Name, "NameThatIsMuchTooLo");
    EXPECT_EQ(e.InUse, 1);
}

TEST(MemberChecks, DuplicatesAreFoundRowByRowInListOrder) {
    const std::vector<MemberRowText> rows = {{"A1", "Ann"}, {"B2", "Bob"}, {"", ""}};
    EXPECT_EQ(FindClash(rows, "B2", "Zed"), MemberClash::SameId);
    EXPECT_EQ(FindClash(rows, "C3", "Bob"), MemberClash::SameName);
    // Row 1's name comes before row 2's ID.
    EXPECT_EQ(FindClash(rows, "B2", "Ann"), MemberClash::SameName);
    EXPECT_EQ(FindClash(rows, "a1", "ann"), MemberClash::None) << "case-sensitive";
    EXPECT_EQ(FindClash(rows, "", "New"), MemberClash::SameId) << "empty texts count";
    EXPECT_EQ(FindClash({}, "", ""), MemberClash::None);
    // The check sees the cut text: a long ID equal to an existing one in its first 9.
    const MemberEntry cut = MakeMemberEntry("M00100000XYZ", "Other");
    EXPECT_EQ(FindClash({{"M00100000", "Dora"}}, cut.ID, cut.Name), MemberClash::SameId);
}

TEST(MemberChecks, DeleteNeedsIdAndNameOfOneRow) {
    const std::vector<MemberRowText> rows = {{"A1", "Ann"}, {"B2", "Bob"}, {"B2", "Bea"}};
    EXPECT_EQ(FindMemberRow(rows, "B2", "Bea"), 2);
    EXPECT_EQ(FindMemberRow(rows, "B2", "Bob"), 1);
    EXPECT_EQ(FindMemberRow(rows, "A1", "Bob"), -1);
    EXPECT_EQ(FindMemberRow(rows, "a1", "Ann"), -1);
}

} // namespace
