#include "results/other_data_file.h"

#include "storage/file_io.h"

#include <cstdint>
#include <new>
#include <stdexcept>

OtherFileRead ReadOtherDataFile(const char* path, std::vector<MeasureRecord>& records) {
    file_io::InputFile file(path);
    if (!file.IsOpen())
        return file.OpenFailure() == file_io::Failure::Missing ? OtherFileRead::CannotOpen
                                                               : OtherFileRead::Unreadable;
    const int64_t size = file.Size();
    if (size == 0)
        return OtherFileRead::Empty;
    int32_t header[2];
    if (!file.Read(header, sizeof header))
        return size >= 0 && size < kDataHeaderSize ? OtherFileRead::Damaged
                                                   : OtherFileRead::Unreadable;
    const int32_t count = header[0];
    if (count == 0)
        return OtherFileRead::Empty;
    if (count < 0 || size < 0)
        return count < 0 ? OtherFileRead::Damaged : OtherFileRead::Unreadable;
    const int64_t held = (size - kDataHeaderSize) / static_cast<int64_t>(sizeof(MeasureRecord));
    // Fewer records than promised, or far more than a data file of this count ever holds:
    // not a data file to read, and not one to read whole into memory.
    if (held < count || held > static_cast<int64_t>(count) + kRecordGrowth)
        return OtherFileRead::Damaged;
    try {
        std::vector<MeasureRecord> loaded;
        loaded.reserve(static_cast<size_t>(count) + kRecordGrowth);
        loaded.resize(static_cast<size_t>(count));
        if (!file.Read(loaded.data(), sizeof(MeasureRecord) * loaded.size()))
            return OtherFileRead::Unreadable;
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
    case OtherFileRead::Unreadable:
        return std::string("Data file : ") + path + " cannot be read";
    case OtherFileRead::NoMemory:
        return std::string("Not enough memory to read data file : ") + path;
    default:
        return "";
    }
}
