#include "storage/data_file.h"

#include "storage/config_file.h"
#include "storage/file_io.h"

#include <cstdio>
#include <cstring>
#include <new>

RecordList RecordTable;
char g_szDataFileName[64];
int g_nDeviceTotal;
MeasureRecord g_CurrentRecord;
int g_SortColumn;
int g_SortAscending;

bool LocalTime(int64_t time, std::tm& out) {
    std::time_t t = static_cast<std::time_t>(time);
#ifdef _WIN32
    return localtime_s(&out, &t) == 0;
#else
    return localtime_r(&t, &out) != nullptr;
#endif
}

std::string DataFileName(std::time_t now) {
    std::tm tm{};
    LocalTime(now, tm);
    char name[32];
    std::snprintf(name, sizeof name, "Quelma%d.dat", tm.tm_year + 1900);
    return name;
}

DataLoad ReadDataFile(const char* path, RecordList& table, file_io::Failure* why) {
    file_io::InputFile in(path);
    if (why)
        *why = in.OpenFailure();
    if (!in.IsOpen())
        return DataLoad::CannotOpen;
    const int64_t size = in.Size();
    int32_t header[2];
    if (size < kDataHeaderSize)
        return DataLoad::Broken;
    // The size promised these bytes: a failing read is the disk's or a lock's, not the file's.
    if (!in.Read(header, sizeof header)) {
        if (why)
            *why = file_io::Failure::Unreadable;
        return DataLoad::CannotOpen;
    }
    const int32_t count = header[0];
    if (header[1] != kDataFileMagic || count < 0 ||
        (size - kDataHeaderSize) / static_cast<int64_t>(sizeof(MeasureRecord)) < count)
        return DataLoad::Broken;
    std::vector<MeasureRecord> records;
    try {
        records.reserve(static_cast<size_t>(count) + kRecordGrowth);
        records.resize(static_cast<size_t>(count));
    } catch (const std::bad_alloc&) {
        return DataLoad::NoMemory;
    }
    if (!in.Read(records.data(), sizeof(MeasureRecord) * records.size())) {
        if (why)
            *why = file_io::Failure::Unreadable;
        return DataLoad::CannotOpen;
    }
    table.records = std::move(records);
    table.capacity = count + kRecordGrowth;
    table.savedCount = count;
    return DataLoad::Loaded;
}

std::string DataFilePath(const char* name) {
    return InstallPath((std::string("Data\\") + name).c_str());
}

bool CreateDataFile(const char* path, bool* taken) {
    const int32_t header[2] = {0, kDataFileMagic};
    const file_io::Created created = file_io::CreateNew(path, header, sizeof header);
    if (taken)
        *taken = created == file_io::Created::Taken;
    return created == file_io::Created::Ok;
}

bool ResetRecordTable(RecordList& table) {
    try {
        table.records.clear();
        table.records.reserve(kRecordGrowth);
    } catch (const std::bad_alloc&) {
        return false;
    }
    table.capacity = kRecordGrowth;
    table.savedCount = 0;
    return true;
}

bool WriteDataFile(const char* path, RecordList& table) {
    file_io::InPlaceWriter out(path);
    if (!out.IsOpen())
        return false;
    const int count = table.Count();
    // Records before savedCount are already in the file with these very bytes.
    int from = table.savedCount;
    if (from < 0 || from > count)
        from = 0;
    bool ok = true;
    if (count > from)
        ok = out.WriteAt(kDataHeaderSize + static_cast<int64_t>(sizeof(MeasureRecord)) * from,
                         table.records.data() + from,
                         sizeof(MeasureRecord) * static_cast<size_t>(count - from)) &&
             out.Flush();
    const int32_t header[2] = {count, kDataFileMagic};
    ok = ok && out.WriteAt(0, header, sizeof header) && out.Flush();
    ok = out.Close() && ok;
    if (ok)
        table.savedCount = count;
    return ok;
}

void AppendToTable(RecordList& table, MeasureRecord record) {
    record.Number = table.Count();
    table.records.push_back(record);
}

AppendResult GrowIfFull(RecordList& table) {
    if (table.Count() < table.capacity)
        return AppendResult::Stored;
    try {
        table.records.reserve(static_cast<size_t>(table.capacity) + kRecordGrowth);
    } catch (const std::bad_alloc&) {
        return AppendResult::GrowFailed;
    }
    table.capacity += kRecordGrowth;
    return AppendResult::Stored;
}

CivilDate SplitDate(int64_t time) {
    std::tm tm{};
    if (!LocalTime(time, tm))
        return {};
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday};
}

int CompareDates(const CivilDate& a, const CivilDate& b) {
    if (a.year != b.year)
        return a.year < b.year ? -1 : 1;
    if (a.month != b.month)
        return a.month < b.month ? -1 : 1;
    if (a.day != b.day)
        return a.day < b.day ? -1 : 1;
    return 0;
}

namespace {

bool IsFileNameChar(unsigned char c) {
    return c >= 0x20 && c != 0x7F && !std::strchr("\\/:*?\"<>|", c);
}

// The Name part of a photo file name: never a path separator, reserved character or a
// name of dots only, so the photo always stays inside Photo\.
std::string SafeNamePart(const MeasureRecord& record) {
    std::string name(record.Name, FieldLength(record.Name));
    bool onlyDots = true;
    for (char& c : name) {
        if (!IsFileNameChar(static_cast<unsigned char>(c)))
            c = '_';
        if (c != '.')
            onlyDots = false;
    }
    if (onlyDots)
        for (char& c : name)
            c = '_';
    return name;
}

} // namespace

std::string PhotoFileName(const MeasureRecord& record) {
    std::tm tm{};
    LocalTime(record.Time, tm);
    char tail[64];
    const bool pm = tm.tm_hour >= 12;
    std::snprintf(tail, sizeof tail, "_%d_%02d_%02d_%s_%02d_%02d_%02d.bmp", tm.tm_year + 1900,
                  tm.tm_mon + 1, tm.tm_mday, pm ? "PM" : "AM", pm ? tm.tm_hour - 12 : tm.tm_hour,
                  tm.tm_min, tm.tm_sec);
    return SafeNamePart(record) + tail;
}
