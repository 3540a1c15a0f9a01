// Writes cut at every byte, as a process killed mid-write would leave them: every file
// must still load with everything stored before that write.
#include "storage/config_file.h"
#include "storage/data_file.h"
#include "storage/file_io.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

struct BudgetReset {
    ~BudgetReset() {
        file_io::SetWriteBudgetForTest(-1);
        file_io::SetDiskFullForTest(false);
    }
};

using test_records::Numbered;

TEST(CrashSafety, DataFileAppendCutAnywhereKeepsEveryStoredRecord) {
    BudgetReset reset;
    TempDir dir;
    const std::string path = dir.File("Quelma2026.dat");
    constexpr int kStored = 5;
    ASSERT_TRUE(CreateDataFile(path.c_str()));
    RecordList table;
    ResetRecordTable(table);
    for (int i = 0; i < kStored; ++i)
        AppendToTable(table, Numbered(i));
    ASSERT_TRUE(WriteDataFile(path.c_str(), table));
    const auto before = ReadBytes(path);

    // One append writes a 72-byte record and the 8-byte header.
    for (int budget = 0; budget <= 90; ++budget) {
        WriteBytes(path, before);
        RecordList live;
        ASSERT_EQ(ReadDataFile(path.c_str(), live), DataLoad::Loaded);
        AppendToTable(live, Numbered(kStored));
        file_io::SetWriteBudgetForTest(budget);
        const bool written = WriteDataFile(path.c_str(), live);
        file_io::SetWriteBudgetForTest(-1);

        RecordList reloaded;
        ASSERT_EQ(ReadDataFile(path.c_str(), reloaded), DataLoad::Loaded) << "cut at " << budget;
        ASSERT_GE(reloaded.Count(), kStored) << "cut at " << budget;
        ASSERT_LE(reloaded.Count(), kStored + 1);
        EXPECT_EQ(std::memcmp(reloaded.data(), table.data(), kStored * sizeof(MeasureRecord)), 0);
        // 72 record bytes and 8 header bytes: from 80 on nothing is cut.
        EXPECT_EQ(written, budget >= 80) << "cut at " << budget;
        if (written) {
            EXPECT_EQ(reloaded.Count(), kStored + 1);
        }
        if (reloaded.Count() == kStored + 1) {
            EXPECT_STREQ(reloaded.records[kStored].ID, "ID5");
        }

        // The next write after a cut one brings the file up to the table.
        if (!written) {
            ASSERT_TRUE(WriteDataFile(path.c_str(), live));
            RecordList caught;
            ASSERT_EQ(ReadDataFile(path.c_str(), caught), DataLoad::Loaded);
            EXPECT_EQ(caught.Count(), kStored + 1);
        }
    }
}

TEST(CrashSafety, ConfigRewriteCutAnywhereLeavesOldOrNewFile) {
    BudgetReset reset;
    TempDir dir;
    const std::string path = dir.File("QUELMA.CFG");
    AppSettings settings{};
    MemberList members;
    ASSERT_TRUE(CreateConfigFile(path.c_str(), 3, settings, members));
    const auto before = ReadBytes(path);

    for (int budget = 0; budget <= 240; budget += 4) {
        WriteBytes(path, before);
        std::remove((path + ".new").c_str());
        AppSettings s{};
        MemberList m;
        ASSERT_TRUE(LoadConfigFile(path.c_str(), s, m));
        RemoveMemberEntry(m, s, "ID1");
        s.Speed = 7;
        file_io::SetWriteBudgetForTest(budget);
        const SaveMembersResult result = SaveMembersFile(path.c_str(), s, m);
        file_io::SetWriteBudgetForTest(-1);

        AppSettings loaded{};
        MemberList loadedMembers;
        ASSERT_TRUE(LoadConfigFile(path.c_str(), loaded, loadedMembers)) << "cut at " << budget;
        const bool old = ReadBytes(path) == before;
        const bool fresh = loaded.MemberCount == 4 && loaded.Speed == 7 &&
                           std::strcmp(loadedMembers.slots[1].ID, "ID2") == 0;
        EXPECT_TRUE(old || fresh) << "cut at " << budget;
        // A budget beyond the whole file (never shorter than the old one) must replace it.
        if (budget > static_cast<int>(before.size())) {
            EXPECT_EQ(result, SaveMembersResult::Saved) << "cut at " << budget;
            EXPECT_TRUE(fresh) << "cut at " << budget;
        }
        if (result == SaveMembersResult::CannotOpen) {
            EXPECT_TRUE(old);
            EXPECT_EQ(s.MemberCount, 4); // the operator's edit is still in memory
        }
    }
}

// A full disk leaves QUELMA.CFG byte for byte and the save says so, however long the new
// content; a new data file is made whole or not at all, never as an empty or cut file.
TEST(CrashSafety, FullDiskLeavesEveryFileAsItWas) {
    BudgetReset reset;
    TempDir dir;
    const std::string path = dir.File("QUELMA.CFG");
    AppSettings s{};
    MemberList m;
    ASSERT_TRUE(CreateConfigFile(path.c_str(), 3, s, m));
    const auto before = ReadBytes(path);
    s.Speed = 7;
    ASSERT_TRUE(AddMemberEntry(m, s, test_records::Member("N100", "Nina")));
    file_io::SetDiskFullForTest(true);
    EXPECT_FALSE(SaveSettingsFile(path.c_str(), s, m));
    EXPECT_EQ(SaveMembersFile(path.c_str(), s, m), SaveMembersResult::CannotOpen);
    EXPECT_EQ(ReadBytes(path), before);
    const std::string data = dir.File("Quelma2026.dat");
    EXPECT_FALSE(CreateDataFile(data.c_str()));
    file_io::SetDiskFullForTest(false);
    EXPECT_FALSE(file_io::Exists(data.c_str()));
    file_io::SetWriteBudgetForTest(4); // killed half-way through the header
    EXPECT_FALSE(CreateDataFile(data.c_str()));
    EXPECT_FALSE(file_io::Exists(data.c_str()));
    EXPECT_FALSE(file_io::Exists((path + ".new").c_str()));
}

// A whole-file save (the result list as CSV) that the disk cuts short is reported as a full
// disk and leaves the old file and no "<path>.new"; a folder that is missing or a name
// taken by a folder are refused without touching anything.
TEST(CrashSafety, WholeFileSaveCutShortKeepsTheOldFile) {
    BudgetReset reset;
    TempDir dir;
    const std::string path = dir.File("list.csv");
    ASSERT_EQ(file_io::SaveWhole(path.c_str(), "old", 3), file_io::Saved::Ok);
    const std::string fresh(5000, 'n');
    for (int budget : {0, 1, 4096, 4999}) {
        file_io::SetWriteBudgetForTest(budget);
        EXPECT_EQ(file_io::SaveWhole(path.c_str(), fresh.data(), fresh.size()),
                  file_io::Saved::DiskFull)
            << budget;
        file_io::SetWriteBudgetForTest(-1);
        EXPECT_EQ(ReadBytes(path), (std::vector<uint8_t>{'o', 'l', 'd'})) << budget;
        EXPECT_FALSE(file_io::Exists((path + ".new").c_str())) << budget;
    }
    ASSERT_EQ(file_io::SaveWhole(path.c_str(), fresh.data(), fresh.size()), file_io::Saved::Ok);
    EXPECT_EQ(ReadBytes(path).size(), 5000u);

    EXPECT_EQ(file_io::SaveWhole(dir.File("none/list.csv").c_str(), "x", 1),
              file_io::Saved::CannotOpen);
    std::filesystem::create_directory(dir.File("taken"));
    EXPECT_EQ(file_io::SaveWhole(dir.File("taken").c_str(), "x", 1), file_io::Saved::Failed);
    EXPECT_FALSE(file_io::Exists(dir.File("taken.new").c_str()));
}

} // namespace
