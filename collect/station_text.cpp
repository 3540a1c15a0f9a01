#include "collect/station_text.h"

#include "collect/rows.h"
#include "storage/data_file.h"

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <iconv.h>
#include <map>
#include <mutex>

namespace {

// Windows-1252 0x80..0x9F; 0 marks the five bytes the code page leaves undefined.
constexpr uint16_t k1252[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// TZ is process-wide: zones are applied one at a time, and the offsets they give are kept
// per day (a day whose start and end agree has one offset throughout).
std::mutex g_zoneMutex;
std::string g_ownZone;
std::map<std::pair<std::string, int64_t>, long> g_dayOffsets;

long OffsetAt(const std::string& zone, int64_t time) {
    setenv("TZ", zone.c_str(), 1);
    tzset();
    const std::time_t t = static_cast<std::time_t>(time);
    std::tm tm{};
    const long offset = localtime_r(&t, &tm) ? tm.tm_gmtoff : 0;
    setenv("TZ", "UTC", 1);
    tzset();
    return offset;
}

unsigned DecodeUtf8(const std::string& s) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    if (s.size() == 1)
        return p[0];
    if (s.size() == 2)
        return (p[0] & 0x1Fu) << 6 | (p[1] & 0x3Fu);
    if (s.size() == 3)
        return (p[0] & 0x0Fu) << 12 | (p[1] & 0x3Fu) << 6 | (p[2] & 0x3Fu);
    return 0;
}

} // namespace

StationText::StationText() {
    for (unsigned c = 0x80; c < 0x100; ++c)
        high_[c - 0x80] = c < 0xA0 && k1252[c - 0x80] ? k1252[c - 0x80] : static_cast<uint16_t>(c);
}

void StationText::UseUtcProcessWide() {
    const char* own = std::getenv("TZ");
    g_ownZone = own ? own : ":/etc/localtime";
    setenv("TZ", "UTC", 1);
    tzset();
}

bool StationText::Set(int codePage, const std::string& timeZone, std::string& error) {
    if (!timeZone.empty()) {
        std::error_code ec;
        const bool known = timeZone.find("..") == std::string::npos &&
                           std::filesystem::is_regular_file("/usr/share/zoneinfo/" + timeZone, ec);
        if (!known) {
            error = "time zone \"" + timeZone + "\" is not known here (see /usr/share/zoneinfo)";
            return false;
        }
    }
    zone_ = timeZone;
    if (codePage == 1252)
        return true;
    iconv_t cd = iconv_open("UTF-8", ("CP" + std::to_string(codePage)).c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        error = "code page " + std::to_string(codePage) + " is not known here";
        return false;
    }
    for (unsigned c = 0x80; c < 0x100; ++c) {
        char in = static_cast<char>(c), out[8];
        char* inp = &in;
        char* outp = out;
        size_t inLeft = 1, outLeft = sizeof out;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        // A byte the code page leaves undefined (or leads a two-byte character) keeps its
        // own code point, as Windows converts it.
        const bool one =
            iconv(cd, &inp, &inLeft, &outp, &outLeft) != static_cast<size_t>(-1) && inLeft == 0;
        if (!one && errno == EINVAL) {
            iconv_close(cd);
            error = "code page " + std::to_string(codePage) + " is no single-byte code page";
            return false;
        }
        const unsigned code = one ? DecodeUtf8(std::string(out, outp)) : 0;
        high_[c - 0x80] = static_cast<uint16_t>(code && code < 0x10000 ? code : c);
    }
    iconv_close(cd);
    return true;
}

std::string StationText::Utf8(std::string_view ansi) const {
    std::string out;
    out.reserve(ansi.size());
    for (unsigned char c : ansi)
        rows::PutUtf8(out, c < 0x80 ? c : high_[c - 0x80]);
    return out;
}

std::string StationText::Utf8FileName(std::string_view name) const {
    return rows::IsUtf8(name) ? std::string(name) : Utf8(name);
}

// The caller holds g_zoneMutex.
int64_t StationText::LocalSeconds(int64_t time) const {
    const std::string& zone = zone_.empty() ? g_ownZone : zone_;
    constexpr int64_t kDay = 86400;
    const int64_t day = time >= 0 ? time / kDay : (time - kDay + 1) / kDay;
    auto it = g_dayOffsets.find({zone, day});
    if (it == g_dayOffsets.end()) {
        const long start = OffsetAt(zone, day * kDay), end = OffsetAt(zone, day * kDay + kDay - 1);
        // A day with a change of offset is looked up second by second; it is not kept.
        if (start != end)
            return time + OffsetAt(zone, time);
        it = g_dayOffsets.emplace(std::make_pair(zone, day), start).first;
    }
    return time + it->second;
}

std::string StationText::PhotoFile(const MeasureRecord& record) const {
    MeasureRecord shifted = record;
    std::string name;
    {
        std::lock_guard<std::mutex> lock(g_zoneMutex);
        shifted.Time = LocalSeconds(record.Time);
        name = PhotoFileName(shifted);
    }
    return Utf8(name);
}

int StationText::LocalYear(int64_t time) const {
    std::unique_lock<std::mutex> lock(g_zoneMutex);
    const std::time_t t = static_cast<std::time_t>(LocalSeconds(time));
    lock.unlock();
    std::tm tm{};
    return gmtime_r(&t, &tm) ? tm.tm_year + 1900 : 0;
}
