#include "storage/data_file.h"
#include "storage/file_io.h"
#include "storage/ordering.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

namespace {

using namespace test_support;

MeasureRecord Record(const char* id, const char* name, float value, int64_t time) {
    MeasureRecord r{};
    SetField(r.ID, id);
    SetField(r.Name, name);
    r.Value = value;
    r.Time = time;
    return r;
}

TEST(DataFile, NewFileIsEightBytesAndLoadsEmpty) {
    TempDir dir;
    const std::string path = dir.File("Quelma2026.dat");
    ASSERT_TRUE(CreateDataFile(path.c_str()));
    EXPECT_EQ(ReadBytes(path), (std::vector<uint8_t>{0, 0, 0, 0, 0xD2, 0x02, 0x96, 0x49}));
    RecordList table;
    ASSERT_EQ(ReadDataFile(path.c_str(), table), DataLoad::Loaded);
    EXPECT_EQ(table.Count(), 0);
    EXPECT_EQ(table.capacity, 300);

    // Created only where no file holds anything: a file that came back meanwhile stays.
    WriteBytes(path, {1, 2, 3});
    bool taken = false;
    EXPECT_FALSE(CreateDataFile(path.c_str(), &taken));
    EXPECT_TRUE(taken);
    EXPECT_EQ(ReadBytes(path), (std::vector<uint8_t>{1, 2, 3}));
    WriteBytes(path, {});
    EXPECT_TRUE(CreateDataFile(path.c_str()));
    EXPECT_EQ(ReadBytes(path).size(), 8u);
}

TEST(DataFile, AppendsWriteEveryRecordAndGrowBy300) {
    TempDir dir;
    const std::string path = dir.File("Quelma2026.dat");
    ASSERT_TRUE(CreateDataFile(path.c_str()));
    RecordList table;
    ASSERT_TRUE(ResetRecordTable(table));
    for (int i = 0; i < 300; ++i) {
        AppendToTable(table, Record("ID", "Name", 0.01f * i, 1700000000 + i));
        ASSERT_TRUE(WriteDataFile(path.c_str(), table));
        ASSERT_EQ(GrowIfFull(table), AppendResult::Stored);
    }
    EXPECT_EQ(table.capacity, 600);
    EXPECT_EQ(ReadBytes(path).size(), 21608u);

    RecordList loaded;
    ASSERT_EQ(ReadDataFile(path.c_str(), loaded), DataLoad::Loaded);
    ASSERT_EQ(loaded.Count(), 300);
    EXPECT_EQ(loaded.capacity, 600);
    EXPECT_EQ(loaded.records[0].Number, 0);
    EXPECT_EQ(loaded.records[299].Number, 299);
    EXPECT_EQ(std::memcmp(loaded.data(), table.data(), 300 * sizeof(MeasureRecord)), 0);
}

TEST(DataFile, RecordBytesRoundTripExactly) {
    TempDir dir;
    const std::string path = dir.File("d.dat");
    ASSERT_TRUE(CreateDataFile(path.c_str()));
    RecordList table;
    ResetRecordTable(table);
    MeasureRecord r = Record("123456789", "Nineteen characters", 0.045f, -5);
    r.Mode = 1;
    r.Unit = 2;
    r.Level = 2;
    r.Photo = 1;
    r.CardSerial[0] = 0xAB;
    AppendToTable(table, r);
    ASSERT_TRUE(WriteDataFile(path.c_str(), table));
    const auto bytes = ReadBytes(path);
    ASSERT_EQ(bytes.size(), 80u);
    EXPECT_EQ(std::memcmp(bytes.data() + 8, table.data(), 72), 0);
    EXPECT_EQ(bytes[8 + 48], 1);    // Mode
    EXPECT_EQ(bytes[8 + 50], 2);    // Unit
    EXPECT_EQ(bytes[8 + 64], 1);    // Photo
    EXPECT_EQ(bytes[8 + 40], 0xFB); // Time -5, little-endian 64-bit
}

TEST(DataFile, FailedWriteIsCaughtUpByTheNextOne) {
    TempDir dir;
    const std::string path = dir.File("d.dat");
    RecordList table;
    ResetRecordTable(table);
    AppendToTable(table, Record("A", "a", 1, 1));
    EXPECT_FALSE(WriteDataFile(path.c_str(), table)); // the file must exist: never created here
    EXPECT_TRUE(ReadBytes(path).empty());
    ASSERT_TRUE(CreateDataFile(path.c_str()));
    AppendToTable(table, Record("B", "b", 2, 2));
    // The records reach the disk before the header that counts them, each pushed through.
    std::vector<std::string> calls;
    file_io::RecordCallsForTest(&calls);
    const bool written = WriteDataFile(path.c_str(), table);
    file_io::RecordCallsForTest(nullptr);
    ASSERT_TRUE(written);
    EXPECT_EQ(calls,
              (std::vector<std::string>{"write " + std::to_string(2 * sizeof(MeasureRecord)),
                                        "flush", "sync", "write 8", "flush", "sync", "flush"}));
    RecordList loaded;
    ASSERT_EQ(ReadDataFile(path.c_str(), loaded), DataLoad::Loaded);
    ASSERT_EQ(loaded.Count(), 2);
    EXPECT_STREQ(loaded.records[0].ID, "A");
}

TEST(DataFile, DamagedFilesAreBroken) {
    TempDir dir;
    const std::string path = dir.File("d.dat");
    RecordList table;
    // Only a missing file (or folder) may be offered for creation.
    for (const std::string& missing : {path, dir.File("gone/d.dat")}) {
        file_io::Failure why = file_io::Failure::None;
        EXPECT_EQ(ReadDataFile(missing.c_str(), table, &why), DataLoad::CannotOpen);
        EXPECT_EQ(why, file_io::Failure::Missing) << missing;
    }

    std::vector<uint8_t> header = {1, 0, 0, 0, 0xD2, 0x02, 0x96, 0x48};
    header.resize(8 + 72);
    WriteBytes(path, header);
    EXPECT_EQ(ReadDataFile(path.c_str(), table), DataLoad::Broken); // wrong magic

    header[7] = 0x49;
    header.resize(8 + 71);
    WriteBytes(path, header);
    EXPECT_EQ(ReadDataFile(path.c_str(), table), DataLoad::Broken); // shorter than its count

    header.resize(8 + 72);
    header[3] = 0x80; // negative count
    WriteBytes(path, header);
    EXPECT_EQ(ReadDataFile(path.c_str(), table), DataLoad::Broken);

    WriteBytes(path, {0xD2, 0x02});
    EXPECT_EQ(ReadDataFile(path.c_str(), table), DataLoad::Broken);

    // Longer than its count: the extra bytes are ignored, as after an interrupted write.
    header[3] = 0;
    header.resize(8 + 72 + 40, 0xEE);
    WriteBytes(path, header);
    EXPECT_EQ(ReadDataFile(path.c_str(), table), DataLoad::Loaded);
    EXPECT_EQ(table.Count(), 1);
}

TEST(DataFile, NameFollowsTheLocalYear) {
    EXPECT_EQ(DataFileName(static_cast<std::time_t>(Local(2026, 3, 5, 12, 0, 0))),
              "Quelma2026.dat");
    EXPECT_EQ(DataFileName(static_cast<std::time_t>(Local(2026, 12, 31, 23, 59, 59))),
              "Quelma2026.dat");
    EXPECT_EQ(DataFileName(static_cast<std::time_t>(Local(2027, 1, 1, 0, 0, 0))), "Quelma2027.dat");
}

TEST(PhotoName, AmPmHoursFromLocalTime) {
    MeasureRecord r = Record("1", "Guest", 0, Local(2026, 3, 5, 14, 7, 3));
    EXPECT_EQ(PhotoFileName(r), "Guest_2026_03_05_PM_02_07_03.bmp");
    r.Time = Local(2026, 3, 5, 12, 5, 9);
    EXPECT_EQ(PhotoFileName(r), "Guest_2026_03_05_PM_00_05_09.bmp");
    r.Time = Local(2026, 3, 5, 0, 5, 9);
    EXPECT_EQ(PhotoFileName(r), "Guest_2026_03_05_AM_00_05_09.bmp");
}

TEST(PhotoName, NameNeverLeavesThePhotoFolder) {
    const int64_t t = Local(2026, 3, 5, 9, 0, 0);
    const std::string tail = "_2026_03_05_AM_09_00_00.bmp";
    EXPECT_EQ(PhotoFileName(Record("1", "..\\..\\win", 0, t)), ".._.._win" + tail);
    EXPECT_EQ(PhotoFileName(Record("1", "a/b:c*d?e\"f<g>h|i", 0, t)), "a_b_c_d_e_f_g_h_i" + tail);
    EXPECT_EQ(PhotoFileName(Record("1", "..", 0, t)), "__" + tail);
    EXPECT_EQ(PhotoFileName(Record("1", "tab\there\x01", 0, t)), "tab_here_" + tail);
    EXPECT_EQ(PhotoFileName(Record("1", "Jos\xE9", 0, t)), "Jos\xE9" + tail); // ANSI letters stay
    MeasureRecord full = Record("1", "", 0, t);
    std::memset(full.Name, 'N', sizeof full.Name); // no terminator inside the field
    EXPECT_EQ(PhotoFileName(full), std::string(20, 'N') + tail);
}

TEST(SplitDate, LocalCalendarDate) {
    CivilDate d = SplitDate(Local(2026, 1, 2, 0, 30, 0));
    EXPECT_EQ(d.year, 2026);
    EXPECT_EQ(d.month, 1);
    EXPECT_EQ(d.day, 2);
    EXPECT_LT(CompareDates({2026, 1, 2}, {2026, 2, 1}), 0);
    EXPECT_GT(CompareDates({2027, 1, 1}, {2026, 12, 31}), 0);
    EXPECT_EQ(CompareDates({2026, 5, 5}, {2026, 5, 5}), 0);
}

TEST(RecordOrder, AllKeysBothDirections) {
    MeasureRecord a = Record("A", "Zoe", 0.1f, 100), b = Record("B", "Al", 0.2f, 50);
    a.Number = 7;
    b.Number = 3;
    struct Case {
        int key, ascending;
        int expected; // sign of compare(a, b)
    } cases[] = {{1, 1, -1}, {1, 0, 1},  {2, 1, 1},  {2, 0, -1}, {3, 1, -1},
                 {3, 0, 1},  {4, 1, 1},  {4, 0, -1}, {5, 1, 1},  {5, 0, -1},
                 {6, 1, 1},  {6, 0, -1}, {0, 1, 0},  {7, 0, 0},  {9, 1, 0}};
    for (const Case& c : cases) {
        const int r = CompareRecords(a, b, c.key, c.ascending);
        EXPECT_EQ((r > 0) - (r < 0), c.expected) << "key " << c.key << " asc " << c.ascending;
    }
    EXPECT_EQ(CompareRecords(a, a, 3, 1), 0);
    MeasureRecord late = Record("A", "a", 0, int64_t(1) << 40);
    EXPECT_GT(CompareRecords(late, a, 5, 1), 0); // 64-bit times
}

} // namespace
