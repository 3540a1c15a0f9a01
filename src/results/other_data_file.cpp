#include "results/other_data_file.h"

#include "storage/file_io.h"

#include <cstdint>
#include <cstring>
#include <new>
#include <stdexcept>

OtherFileRead ReadOtherDataFile(const char* path, std::vector<MeasureRecord>& records) {
    std::vector<uint8_t> bytes;
    switch (file_io::ReadAll(path, bytes)) {
    case file_io::Read::Ok:
        break;
    case file_io::Read::CannotOpen:
        return OtherFileRead::CannotOpen;
    default:
        // ReadAll fails on a read error or when the file does not fit in memory.
        return OtherFileRead::NoMemory;
    }
    if (bytes.empty())
        return OtherFileRead::Empty;
    if (bytes.size() < static_cast<size_t>(kDataHeaderSize))
        return OtherFileRead::Damaged;
    int32_t count;
    std::memcpy(&count, bytes.data(), sizeof count);
    if (count == 0)
        return OtherFileRead::Empty;
    if (count < 0)
        return OtherFileRead::Damaged;
    const size_t held = (bytes.size() - kDataHeaderSize) / sizeof(MeasureRecord);
    if (held < static_cast<size_t>(count))
        return OtherFileRead::Damaged;
    try {
        std::vector<MeasureRecord> loaded(static_cast<size_t>(count));
        loaded.reserve(static_cast<size_t>(count) + kRecordGrowth);
        std::memcpy(loaded.data(), bytes.data() + kDataHeaderSize,
                    sizeof(MeasureRecord) * loaded.size());
        records = std::move(loaded);
    } catch (const std::bad_alloc&) {
        return OtherFileRead::NoMemory;
    } catch (const std::length_error&) {
        return OtherFileRead::NoMemory;
    }
    return OtherFileRead::Loaded;
}

std::string OtherFileMessage(OtherFileRead result, const char* path) {
    switch (result) {
    case OtherFileRead::Damaged:
        return std::string("Data file : ") + path + " is damaged";
    case OtherFileRead::NoMemory:
        return std::string("Not enough memory to read data file : ") + path;
    default:
        return "";
    }
}
