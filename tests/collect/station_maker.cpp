// Makes a station's install folder with the program's own writers, for the collector's tests
// and benchmark: QUELMA.CFG with members, Data\Quelma<year>.dat with records appended the
// way the Measure dialog appends them, and a photo file for records taken with the camera.
//   station_maker DIR [--members N] [--year Y --records N [--photos K] [--photo-size WxH]
//                 [--start EPOCH] [--step SECONDS] [--seed S]]
// Record n (its number in the file) follows a cycle of five: Fast 0.05 ("0"), Fast 0.3
// ("Hi"), Fast 0.15 ("Low"), Normal exactly at Low, Normal just below Low with a leftover
// level of 2; so numbers 1, 2 and 3 of each five are positive. Low 0.1, Hi 0.25.
#include "camera/frame_format.h"
#include "storage/config_file.h"
#include "storage/data_file.h"
#include "storage/file_io.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Args {
    std::string dir;
    int members = -1;
    int year = 0, records = 0, photos = 0, width = 64, height = 48, seed = 0;
    int64_t start = 0, step = 3600;
};

int Usage() {
    std::fprintf(stderr, "usage: station_maker DIR [--members N] [--year Y --records N "
                         "[--photos K] [--photo-size WxH] [--start EPOCH] [--step S] "
                         "[--seed S]]\n");
    return 2;
}

// Member 1 has a name with the characters a careless import would break.
MemberEntry Member(int i) {
    MemberEntry m{};
    char text[32];
    std::snprintf(text, sizeof text, "M%03d", i);
    SetField(m.ID, text);
    if (i == 1)
        SetField(m.Name, "Zo\xe9 \x80 back\\tab\t");
    else
        std::snprintf(m.Name, sizeof m.Name, "Member %d", i);
    m.InUse = 1;
    return m;
}

bool WriteMembers(const std::string& path, int count) {
    AppSettings settings{};
    MemberList members;
    if (!LoadConfigFile(path.c_str(), settings, members) &&
        !CreateConfigFile(path.c_str(), 0, settings, members))
        return false;
    settings.MemberCount = 0;
    for (MemberEntry& slot : members.slots)
        MakeFreeSlot(slot);
    for (int i = 0; i < count; ++i)
        if (!AddMemberEntry(members, settings, Member(i)))
            return false;
    return SaveMembersFile(path.c_str(), settings, members) == SaveMembersResult::Saved;
}

MeasureRecord Record(const AppSettings& settings, const MemberList& members, int number,
                     const Args& a) {
    static const float kValues[5] = {0.05f, 0.3f, 0.15f, 0.1f, 0.099f};
    MeasureRecord r{};
    const int count = settings.MemberCount > 0 ? settings.MemberCount : 1;
    const MemberEntry m = settings.MemberCount > 0
                              ? members.slots[static_cast<size_t>(number % count)]
                              : Member(number % count);
    std::memcpy(r.ID, m.ID, sizeof r.ID);
    std::memcpy(r.Name, m.Name, sizeof r.Name);
    for (int k = 0; k < 4; ++k)
        r.CardSerial[k] = static_cast<uint8_t>(number * 31 + a.seed * 7 + k);
    r.Time = a.start + a.step * number;
    const int kind = number % 5;
    r.Mode = kind < 3 ? kModeFast : kModeNormal;
    r.Low = 0.1f;
    r.Hi = 0.25f;
    r.Value = kValues[kind];
    r.Level = kind == 4 ? 2 : r.Value < r.Low ? 0 : r.Value < r.Hi ? 1 : 2;
    r.Unit = static_cast<uint8_t>(number % 3);
    return r;
}

bool WritePhoto(const std::string& dir, const MeasureRecord& r, const Args& a) {
    DibHeader h{};
    h.biSize = kDibHeaderSize;
    h.biWidth = a.width;
    h.biHeight = a.height;
    h.biPlanes = 1;
    h.biBitCount = 24;
    const FrameLayout layout = FrameLayoutOf(h);
    if (!layout.Valid())
        return false;
    const auto fileHeader = BmpFileHeader(layout);
    std::vector<uint8_t> bytes(fileHeader.begin(), fileHeader.end());
    bytes.resize(kBmpFileHeaderSize + layout.total);
    std::memcpy(bytes.data() + kBmpFileHeaderSize, &h, sizeof h);
    // Noise, as incompressible as a real photo.
    uint32_t x = static_cast<uint32_t>(r.Number * 2654435761u + a.seed + 1);
    for (size_t i = kBmpFileHeaderSize + layout.ImageOffset(); i < bytes.size(); ++i) {
        x ^= x << 13, x ^= x >> 17, x ^= x << 5;
        bytes[i] = static_cast<uint8_t>(x);
    }
    const std::string path = (fs::path(dir) / "Photo" / PhotoFileName(r)).string();
    return file_io::CreateWith(path.c_str(), bytes.data(), bytes.size());
}

bool AppendRecords(const Args& a) {
    const std::string cfg = (fs::path(a.dir) / kConfigFileName).string();
    AppSettings settings{};
    MemberList members;
    LoadConfigFile(cfg.c_str(), settings, members);
    const std::string path = (fs::path(a.dir) / "Data" / DataFileName(a.start)).string();
    RecordList table;
    if (!file_io::Exists(path.c_str()) && !CreateDataFile(path.c_str()))
        return false;
    if (ReadDataFile(path.c_str(), table) != DataLoad::Loaded)
        return false;
    int photos = a.photos;
    for (int i = 0; i < a.records; ++i) {
        MeasureRecord r = Record(settings, members, table.Count(), a);
        r.Number = table.Count();
        r.Photo = photos > 0 ? 1 : 0;
        if (photos-- > 0 && !WritePhoto(a.dir, r, a))
            return false;
        AppendToTable(table, r);
        GrowIfFull(table);
    }
    return WriteDataFile(path.c_str(), table);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return Usage();
    Args a;
    a.dir = argv[1];
    for (int i = 2; i + 1 < argc; i += 2) {
        const std::string opt = argv[i];
        const char* v = argv[i + 1];
        if (opt == "--members")
            a.members = std::atoi(v);
        else if (opt == "--year")
            a.year = std::atoi(v);
        else if (opt == "--records")
            a.records = std::atoi(v);
        else if (opt == "--photos")
            a.photos = std::atoi(v);
        else if (opt == "--photo-size" && std::sscanf(v, "%dx%d", &a.width, &a.height) == 2)
            continue;
        else if (opt == "--start")
            a.start = std::atoll(v);
        else if (opt == "--step")
            a.step = std::atoll(v);
        else if (opt == "--seed")
            a.seed = std::atoi(v);
        else
            return Usage();
    }
    std::error_code ec;
    fs::create_directories(fs::path(a.dir) / "Data", ec);
    fs::create_directories(fs::path(a.dir) / "Photo", ec);
    const std::string cfg = (fs::path(a.dir) / kConfigFileName).string();
    if ((a.members >= 0 || !file_io::Exists(cfg.c_str())) &&
        !WriteMembers(cfg, a.members >= 0 ? a.members : 5)) {
        std::fprintf(stderr, "station_maker: cannot write %s\n", cfg.c_str());
        return 1;
    }
    if (a.year && !a.start) {
        std::tm tm{};
        tm.tm_year = a.year - 1900;
        tm.tm_mday = 1;
        tm.tm_isdst = -1;
        a.start = static_cast<int64_t>(std::mktime(&tm));
    }
    if (a.records > 0 && !AppendRecords(a)) {
        std::fprintf(stderr, "station_maker: cannot write the data file in %s\n", a.dir.c_str());
        return 1;
    }
    return 0;
}
