// Inputs the fuzz targets found faults with (tests/fuzz), fed again as the bytes they were.
#include "camera/frame_format.h"
#include "results/result_rows.h"
#include "storage/data_file.h"
#include "storage/ordering.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

namespace {

template <typename T> void Put(std::vector<uint8_t>& bytes, size_t at, T value) {
    std::memcpy(bytes.data() + at, &value, sizeof value);
}

// Another year's file whose records carry times far apart: their difference does not fit
// in 64 bits. Sorting by the time headings used to subtract them.
TEST(FuzzFindings, TimesOfDamagedRecordsSortWithoutOverflow) {
    const int64_t times[] = {-3689348591483549952, 8391162085098127360,
                             std::numeric_limits<int64_t>::min(),
                             std::numeric_limits<int64_t>::max(), 0};
    const int count = static_cast<int>(std::size(times));
    std::vector<uint8_t> bytes(kDataHeaderSize + sizeof(MeasureRecord) * count, 0);
    Put<int32_t>(bytes, 0, count);
    Put<int32_t>(bytes, 4, 0x12345678); // the File button does not check the marker
    for (int i = 0; i < count; ++i) {
        const size_t at = kDataHeaderSize + sizeof(MeasureRecord) * i;
        Put<int64_t>(bytes, at + offsetof(MeasureRecord, Time), times[i]);
        Put<int32_t>(bytes, at + offsetof(MeasureRecord, Number), i);
    }
    TempDir dir;
    WriteBytes(dir.File("old.dat"), bytes);

    const RecordList table;
    ResultRows rows(table);
    std::string message;
    ASSERT_EQ(rows.ShowFile(dir.File("old.dat").c_str(), "none", message),
              ResultRows::Shown::OtherFile);
    int column = 0, ascending = 0;
    rows.ClickColumn(5, column, ascending); // ascending
    std::vector<int64_t> shown;
    for (int row = 0; row < rows.RowCount(); ++row)
        shown.push_back(rows.RecordOfRow(row)->Time);
    EXPECT_EQ(shown,
              (std::vector<int64_t>{std::numeric_limits<int64_t>::min(), -3689348591483549952, 0,
                                    8391162085098127360, std::numeric_limits<int64_t>::max()}));

    const MeasureRecord* records = rows.Records();
    EXPECT_EQ(CompareRecords(records[2], records[3], 6, 1), -1);
    EXPECT_EQ(CompareRecords(records[3], records[2], 6, 0), -1);
    EXPECT_EQ(CompareRecords(records[3], records[3], 5, 1), 0);
}

// A driver format whose width x height x bits wraps around 64 bits to a plausible image
// size: the frame would be saved with a header promising far more than its bytes.
TEST(FuzzFindings, FrameSizeThatWrapsIsRefused) {
    const uint8_t format[40] = {0x28, 0, 0, 0, 0x01, 0, 0, 0x40, 0x4F, 0x7B, 0x5C, 0x05, 1, 0,
                                191,  0, 0, 0, 0,    0, 0, 0,    0,    0,    0,    0,    0, 0,
                                0,    0, 0, 0, 0,    0, 0, 0,    0,    0,    0,    0};
    DibHeader header;
    std::memcpy(&header, format, sizeof header);
    ASSERT_EQ(header.biWidth, 0x40000001);
    ASSERT_EQ(header.biHeight, 89946959);
    EXPECT_FALSE(FrameLayoutOf(header).Valid());

    // A frame just inside the limit still passes.
    DibHeader atLimit = header;
    atLimit.biWidth = 1024;
    atLimit.biHeight = -1024;
    atLimit.biBitCount = 2040; // 1024 x 1024 x 255 bytes
    const FrameLayout layout = FrameLayoutOf(atLimit);
    ASSERT_TRUE(layout.Valid());
    EXPECT_EQ(layout.imageSize, 1024u * 1024 * 255);
}

} // namespace
