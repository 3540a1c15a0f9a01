// What the Backup dialog reads from a data file and shows, and the names it uses.
#include "settings/backup_info.h"
#include "storage/data_file.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ctime>

namespace {

using namespace test_support;

// Records stamped at these times, under this count.
std::vector<uint8_t> DataFile(const std::vector<int64_t>& times, int32_t count) {
    std::vector<MeasureRecord> records(times.size());
    for (size_t i = 0; i < times.size(); ++i)
        records[i].Time = times[i];
    return DataFileBytes(count, kDataFileMagic, records);
}

TEST(BackupInfo, ThreeRecordsGiveSizeAndTheDatesOfFirstAndLast) {
    TempDir dir;
    const std::string path = dir.File("Quelma2026.dat");
    // The last record in file order is not the latest: the duration follows file order.
    WriteBytes(path, DataFile({Local(2026, 1, 2), Local(2026, 3, 9), Local(2026, 2, 1)}, 3));
    DataFileInfo info;
    ASSERT_TRUE(ReadDataFileInfo(path.c_str(), info));
    EXPECT_EQ(info.count, 3);
    EXPECT_EQ(FileSizeText(info), "224");
    EXPECT_EQ(DurationText(info), "2026-01-02 ~ 2026-02-01");
}

TEST(BackupInfo, FileWithoutRecordsShowsNoDuration) {
    TempDir dir;
    const std::string path = dir.File("Quelma2026.dat");
    WriteBytes(path, DataFile({}, 0));
    DataFileInfo info;
    ASSERT_TRUE(ReadDataFileInfo(path.c_str(), info));
    EXPECT_EQ(FileSizeText(info), "8");
    EXPECT_EQ(DurationText(info), "");

    WriteBytes(path, {});
    ASSERT_TRUE(ReadDataFileInfo(path.c_str(), info));
    EXPECT_EQ(FileSizeText(info), "0");
    EXPECT_EQ(DurationText(info), "");
}

TEST(BackupInfo, CountPromisingMoreThanTheFileHoldsReadsNothingBeyondIt) {
    TempDir dir;
    const std::string path = dir.File("Quelma2026.dat");
    for (int32_t count : {5, -1, 0x7FFFFFFF}) {
        WriteBytes(path, DataFile({Local(2026, 1, 2), Local(2026, 1, 3)}, count));
        DataFileInfo info;
        ASSERT_TRUE(ReadDataFileInfo(path.c_str(), info));
        EXPECT_EQ(FileSizeText(info), "152");
        EXPECT_EQ(DurationText(info), "") << count;
    }
}

TEST(BackupInfo, MissingFileCannotBeRead) {
    TempDir dir;
    DataFileInfo info;
    EXPECT_FALSE(ReadDataFileInfo(dir.File("none.dat").c_str(), info));
}

TEST(BackupInfo, SuggestedNameAndTarget) {
    EXPECT_EQ(BackupSuggestion("C:\\Quelma\\Data\\Quelma2026.dat"), "Quelma2026.dat");
    EXPECT_EQ(BackupSuggestion("Quelma2026.dat"), "Quelma2026.dat");
    EXPECT_EQ(BackupTarget("D:\\save\\backup"), "D:\\save\\backup.dat");
    // Accepting the suggestion doubles the extension, as the operator has always seen it.
    EXPECT_EQ(BackupTarget("D:\\Quelma2026.dat"), "D:\\Quelma2026.dat.dat");
}

} // namespace
