// Loading and writing the data file from the program: only a missing file is offered for
// creation, a failed write keeps the record for the next one, and the first write of a new
// year still goes to the old year's file before the program asks to be restarted.
#include "app/stored_files.h"
#include "framework/handles.h"
#include "wine/registration_world.h"

using namespace dialog_world;

namespace {

MeasureRecord Record(const char* id) {
    MeasureRecord r{};
    SetField(r.ID, id);
    SetField(r.Name, "Alice");
    r.Time = static_cast<int64_t>(std::time(nullptr));
    return r;
}

std::string YearFileName(int yearsBack) {
    std::time_t now = std::time(nullptr);
    std::tm local = *std::localtime(&now);
    char name[32];
    std::snprintf(name, sizeof name, "Quelma%d.dat", local.tm_year + 1900 - yearsBack);
    return name;
}

class DataFileWrites : public DialogWorldTest {
  protected:
    void SetUp() override {
        DialogWorldTest::SetUp();
        ASSERT_TRUE(ResetRecordTable(RecordTable));
    }
    void TearDown() override {
        ResetRecordTable(RecordTable);
        DialogWorldTest::TearDown();
    }
    static bool TakeThreadClose() {
        MSG msg;
        return PeekMessageA(&msg, nullptr, WM_CLOSE, WM_CLOSE, PM_REMOVE) != 0;
    }
};

TEST_F(DataFileWrites, StartUpOffersToCreateOnlyAMissingFile) {
    const std::string path = DataPath();
    fw::UniqueHandle held(
        CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held.Valid());
    EXPECT_FALSE(LoadDataFile());
    held.Reset();
    EXPECT_EQ(ReadWholeFile(path).size(), 8u);
    fs::remove(path);
    fs::create_directory(path);
    EXPECT_FALSE(LoadDataFile());
    fs::remove(path);
    answer = IDNO;
    EXPECT_FALSE(LoadDataFile());
    EXPECT_FALSE(fs::exists(path));
    std::ofstream(path).close(); // a creation that never finished: no byte, asked like none
    answer = IDYES;
    EXPECT_TRUE(LoadDataFile());
    EXPECT_EQ(ReadWholeFile(path).size(), 8u);
    ASSERT_EQ(messages.size(), 4u);
    EXPECT_EQ(messages[3], "Data file open fail. Create new one ?");
    EXPECT_EQ(messages[0].rfind(path + " is in use by another program.", 0), 0u) << messages[0];
    EXPECT_EQ(messages[1].rfind(path + " cannot be opened: access denied.", 0), 0u) << messages[1];
    EXPECT_EQ(messages[2], "Data file open fail. Create new one ?");
}

TEST_F(DataFileWrites, AFailedWriteIsCaughtUpByTheNextOne) {
    const std::string path = DataPath();
    // Another program holding the file without sharing it makes the write fail.
    HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    AppendToTable(RecordTable, Record("M001"));
    EXPECT_FALSE(WriteDataFile());
    EXPECT_EQ(messages, std::vector<std::string>{"Data file open fail"});
    CloseHandle(held);
    EXPECT_EQ(ReadWholeFile(path).size(), 8u);

    AppendToTable(RecordTable, Record("M002"));
    EXPECT_TRUE(WriteDataFile());
    RecordList reloaded;
    ASSERT_EQ(ReadDataFile(path.c_str(), reloaded), DataLoad::Loaded);
    ASSERT_EQ(reloaded.Count(), 2);
    EXPECT_STREQ(reloaded.records[0].ID, "M001");
    EXPECT_STREQ(reloaded.records[1].ID, "M002");
    EXPECT_FALSE(TakeThreadClose());
}

TEST_F(DataFileWrites, NewYearStoresInTheOldFileThenAsksForARestart) {
    SetField(g_szDataFileName, YearFileName(1).c_str());
    const std::string path = DataPath();
    std::ofstream(path, std::ios::binary).write("\0\0\0\0\xd2\x02\x96\x49", 8);

    AppendToTable(RecordTable, Record("M001"));
    EXPECT_TRUE(WriteDataFile());
    EXPECT_EQ(messages, std::vector<std::string>{"It is New year, a data file per a year \r\n"
                                                 "Restart program and create a new data file."});
    EXPECT_TRUE(TakeThreadClose()); // to the main window; none here, so to the thread
    RecordList reloaded;
    ASSERT_EQ(ReadDataFile(path.c_str(), reloaded), DataLoad::Loaded);
    ASSERT_EQ(reloaded.Count(), 1);
    EXPECT_STREQ(reloaded.records[0].ID, "M001");
}

} // namespace
