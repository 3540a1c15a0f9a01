// Writes the seed corpus of the fuzz targets: files made by the program's own writers,
// a few damaged ones, and typical analyzer sessions. The corpus is committed; run this only
// to remake it:   fuzz_seeds tests/fuzz/corpus
#include "camera/frame_format.h"
#include "members/card_record.h"
#include "storage/config_file.h"
#include "storage/data_file.h"
#include "storage/file_io.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

fs::path g_root;

void Save(const char* target, const char* name, const Bytes& bytes) {
    const fs::path dir = g_root / target;
    fs::create_directories(dir);
    if (!file_io::CreateWith((dir / name).string().c_str(), bytes.data(), bytes.size())) {
        std::fprintf(stderr, "cannot write %s/%s\n", target, name);
        std::exit(1);
    }
}

Bytes Load(const fs::path& path) {
    Bytes bytes;
    file_io::ReadAll(path.string().c_str(), bytes);
    return bytes;
}

template <typename T> void Put(Bytes& bytes, size_t at, T value) {
    std::memcpy(bytes.data() + at, &value, sizeof value);
}

// A copy of `bytes` with one 32-bit field changed, as a damaged file would hold it.
void SaveWithInt(const char* target, const char* name, Bytes bytes, size_t at, int32_t value) {
    Put<int32_t>(bytes, at, value);
    Save(target, name, bytes);
}

MeasureRecord Record(const char* id, const char* name, int64_t time, int mode, float value) {
    MeasureRecord r{};
    SetField(r.ID, id);
    SetField(r.Name, name);
    r.Time = time;
    r.Mode = static_cast<uint8_t>(mode);
    r.Unit = 1;
    r.Low = 0.1f;
    r.Hi = 0.25f;
    r.Value = value;
    r.Level = static_cast<uint8_t>(value < 0.1f ? 0 : value < 0.25f ? 1 : 2);
    return r;
}

void DataFiles() {
    const fs::path scratch = g_root / "scratch.dat";
    CreateDataFile(scratch.string().c_str());
    Save("data_file", "new_year", Load(scratch));

    RecordList table;
    ResetRecordTable(table);
    AppendToTable(table, Record("ID0", "NAME0", 1767225600, kModeFast, 0.0f));
    AppendToTable(table, Record("A1234", "Guest", 1772719623, kModeNormal, 0.045f));
    MeasureRecord photo = Record("ID4", "Lee Chan", 1798761599, kModeFast, 0.31f);
    photo.Photo = 1;
    AppendToTable(table, photo);
    WriteDataFile(scratch.string().c_str(), table);
    const Bytes three = Load(scratch);
    Save("data_file", "three_records", three);

    SaveWithInt("data_file", "broken_magic", three, 4, 0x12345678);
    SaveWithInt("data_file", "count_beyond_end", three, 0, 5);
    SaveWithInt("data_file", "negative_count", three, 0, -1);
    Save("data_file", "torn_record", Bytes(three.begin(), three.begin() + 8 + 72 + 40));
    Save("data_file", "header_cut", Bytes(three.begin(), three.begin() + 6));

    // Unterminated texts, codes out of range and a NaN value, as a damaged disk gives them.
    Bytes odd = three;
    std::memset(odd.data() + 8, 'Z', 30);
    odd[8 + 48] = 7;
    odd[8 + 49] = 9;
    odd[8 + 50] = 200;
    odd[8 + 64] = 1;
    Put<float>(odd, 8 + 60, std::numeric_limits<float>::quiet_NaN());
    Save("data_file", "odd_fields", odd);
    fs::remove(scratch);
}

void ConfigFiles() {
    const fs::path scratch = g_root / "QUELMA.CFG";
    AppSettings settings{};
    MemberList members;
    CreateConfigFile(scratch.string().c_str(), 2, settings, members);
    Save("config_file", "new_file", Load(scratch));

    // The Registration dialog's way: one member removed, two added, saved, one removed
    // again: the file keeps its old length beyond the members.
    MemberEntry added{};
    SetField(added.ID, "A1234");
    SetField(added.Name, "Guest");
    AddMemberEntry(members, settings, added);
    SetField(added.ID, "B77");
    SetField(added.Name, "Lee Chan");
    AddMemberEntry(members, settings, added);
    RemoveMemberEntry(members, settings, "ID2");
    SaveMembersFile(scratch.string().c_str(), settings, members);
    RemoveMemberEntry(members, settings, "ID0");
    SaveMembersFile(scratch.string().c_str(), settings, members);
    const Bytes saved = Load(scratch);
    Save("config_file", "members_saved", saved);

    SaveWithInt("config_file", "settings_only", Bytes(saved.begin(), saved.begin() + 36), 32, 0);
    SaveWithInt("config_file", "count_beyond_end", saved, 32, 1000);
    SaveWithInt("config_file", "negative_count", saved, 32, -3);
    Save("config_file", "settings_cut", Bytes(saved.begin(), saved.begin() + 20));
    Bytes odd = saved;
    std::memset(odd.data() + 36, 'Q', 30); // ID and Name without their zeros
    Put<int32_t>(odd, 12, 77);             // Mode
    Put<float>(odd, 16, std::numeric_limits<float>::infinity());
    Put<int32_t>(odd, 24, -5); // Port
    Put<int32_t>(odd, 28, 99); // Speed
    Save("config_file", "odd_fields", odd);
    fs::remove(scratch);
}

Bytes Session(uint8_t flags, float low, float hi, const char* sizes, const std::string& traffic) {
    Bytes bytes(17);
    bytes[0] = flags;
    std::memcpy(&bytes[1], &low, 4);
    std::memcpy(&bytes[5], &hi, 4);
    std::memcpy(&bytes[9], sizes, 8);
    bytes.insert(bytes.end(), traffic.begin(), traffic.end());
    return bytes;
}

void AnalyzerSessions() {
    const std::string normal = "$U/M T/120\r\n$INI 1.20\r\n$WAIT\r\n$STA\r\n$BRE\r\n"
                               "$RES    0.045\r\n$END\r\n";
    const std::string fast = "$U/B T/7\r\n$WAI\r\n$TRI\r\n$BRE\r\n$RES    0.250\r\n$END\r\n";
    const std::string errors = "$U/G\r\n$FLOW\r\n$TIM\r\n$SEN ERR\r\n$CAL\r\n$BAT\r\n$END\r\n";
    Save("analyzer_line", "normal_session",
         Session(1, 0.1f, 0.25f, "\x07\x01\x3f\x02\x10\x00\x05\x09", normal));
    Save("analyzer_line", "fast_session",
         Session(2, 0.1f, 0.25f, "\x00\x00\x00\x00\x00\x00\x00\x00", fast));
    Save("analyzer_line", "error_tokens",
         Session(0, 0.1f, 0.25f, "\x03\x05\x08\x0d\x03\x05\x08\x0d", errors));
    Save("analyzer_line", "odd_numbers",
         Session(0, 0.1f, 0.25f, "\x10\x20\x30\x01\x02\x04\x06\x08",
                 "$U/M T/99999999999\r\n$RES    1e39\r\n$RES   -.5e-3\r\n$RES    +\r\n"
                 "$RES    0x1A\r\n$RES    1e-400\r\n$END\r\n"));
    std::string noise = "$U/B\r\n$INI \x01\x7f\xff\r\n\n\n$\n$RE";
    noise += std::string(300, 'A') + "\n$" + std::string(3, '\0') + "RES\n";
    noise += std::string("$RES\0\0\0\0 7\n", 11);
    Save("analyzer_line", "noise",
         Session(0x83, std::numeric_limits<float>::quiet_NaN(), -1.0f,
                 "\x01\x02\x03\x04\x05\x06\x07\x08", noise));
}

void Cards() {
    CardIdentity identity{};
    SetField(identity.ID, "A1234");
    SetField(identity.Name, "Guest");
    const CardArea valid = BuildCardArea(CardIdentityView(identity));
    Save("card_record", "written_card", Bytes(valid.begin(), valid.end()));
    SetField(identity.ID, "123456789");
    SetField(identity.Name, "Nineteen characters");
    const CardArea full = BuildCardArea(CardIdentityView(identity));
    Bytes withExtra(full.begin(), full.end());
    withExtra.insert(withExtra.end(), {'I', 'D', '9', 0, 0, 0, 0, 0, 0, 0});
    withExtra.insert(withExtra.end(), 24, 'N');
    Save("card_record", "full_fields_and_identity", withExtra);
    Bytes corrupt(valid.begin(), valid.end());
    corrupt[3] ^= 0x20;
    Save("card_record", "bad_crc", corrupt);
    Save("card_record", "blank_card", Bytes(96, 0xFF));
    Save("card_record", "zero_card", Bytes(96, 0));
}

Bytes Frame(int32_t width, int32_t height, uint16_t bits, uint32_t compression, uint32_t image,
            uint32_t colors, uint32_t headerSize = 40) {
    DibHeader h{};
    h.biSize = headerSize;
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = bits;
    h.biCompression = compression;
    h.biSizeImage = image;
    h.biClrUsed = colors;
    Bytes bytes(sizeof h);
    std::memcpy(bytes.data(), &h, sizeof h);
    const uint64_t used =
        static_cast<uint64_t>(image ? image : width * std::abs(height) * bits / 8);
    const uint64_t dest = used + headerSize + 4ull * colors;
    bytes.resize(56);
    std::memcpy(&bytes[40], &used, 8);
    std::memcpy(&bytes[48], &dest, 8);
    return bytes;
}

void Frames() {
    Save("frame_format", "rgb24_640x480", Frame(640, 480, 24, 0, 0, 0));
    Save("frame_format", "rgb16_320x240_sized", Frame(320, 240, 16, 0, 153600, 0));
    Save("frame_format", "palette8_top_down", Frame(160, -120, 8, 0, 0, 256));
    Save("frame_format", "mjpg_v5_header", Frame(640, 480, 24, 0x47504A4D, 38912, 0, 124));
    Save("frame_format", "zero_size", Frame(0, 0, 0, 0, 0, 0, 0));
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds <corpus folder>\n");
        return 2;
    }
    g_root = argv[1];
    fs::create_directories(g_root);
    DataFiles();
    ConfigFiles();
    AnalyzerSessions();
    Cards();
    Frames();
    return 0;
}
