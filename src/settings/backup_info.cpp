#include "settings/backup_info.h"

#include "storage/data_file.h"

#include <cstdio>
#include <fstream>

namespace {

bool ReadAt(std::ifstream& in, int64_t offset, void* data, size_t size) {
    in.clear();
    in.seekg(static_cast<std::streamoff>(offset), std::ios::beg);
    in.read(static_cast<char*>(data), static_cast<std::streamsize>(size));
    return in.gcount() == static_cast<std::streamsize>(size);
}

} // namespace

bool ReadDataFileInfo(const char* path, DataFileInfo& info) {
    info = DataFileInfo{};
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    in.seekg(0, std::ios::end);
    const std::streamoff end = in.tellg();
    info.size = end < 0 ? 0 : static_cast<int64_t>(end);

    int32_t header[2] = {};
    if (!ReadAt(in, 0, header, sizeof header))
        return true;
    info.count = header[0];
    if (info.count <= 0)
        return true;
    const int64_t lastOffset =
        kDataHeaderSize + static_cast<int64_t>(sizeof(MeasureRecord)) * (info.count - 1);
    info.hasRecords = ReadAt(in, kDataHeaderSize, &info.first, sizeof info.first) &&
                      ReadAt(in, lastOffset, &info.last, sizeof info.last);
    return true;
}

std::string FileSizeText(const DataFileInfo& info) {
    return std::to_string(info.size);
}

std::string DurationText(const DataFileInfo& info) {
    if (!info.hasRecords)
        return "";
    const CivilDate a = SplitDate(info.first.Time);
    const CivilDate b = SplitDate(info.last.Time);
    char text[96];
    std::snprintf(text, sizeof text, "%d-%02d-%02d ~ %d-%02d-%02d", a.year, a.month, a.day, b.year,
                  b.month, b.day);
    return text;
}

std::string BackupSuggestion(const std::string& path) {
    const size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string BackupTarget(const std::string& chosen) {
    return chosen + ".dat";
}
