// Members, records and local times the tests build their data from. Portable C++ only:
// the native unit tests and the Windows tests share it.
#pragma once

#include "storage/records.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace test_records {

// Seconds since 1970 of a local date and time (noon unless told), in the process's zone.
inline int64_t LocalTime(int y, int mo, int d, int h = 12, int mi = 0, int s = 0) {
    std::tm tm{};
    tm.tm_year = y - 1900;
    tm.tm_mon = mo - 1;
    tm.tm_mday = d;
    tm.tm_hour = h;
    tm.tm_min = mi;
    tm.tm_sec = s;
    tm.tm_isdst = -1;
    return static_cast<int64_t>(std::mktime(&tm));
}

inline MemberEntry Member(const char* id, const char* name) {
    MemberEntry m{};
    SetField(m.ID, id);
    SetField(m.Name, name);
    m.InUse = 1;
    return m;
}

// A Fast record of this class (0, "Low", "Hi"), thresholds 0.020 and 0.050.
inline MeasureRecord Fast(const char* id, const char* name, int level, int64_t time) {
    MeasureRecord r{};
    SetField(r.ID, id);
    SetField(r.Name, name);
    r.Mode = kModeFast;
    r.Level = static_cast<uint8_t>(level);
    r.Value = 0.01f * static_cast<float>(level);
    r.Low = 0.02f;
    r.Hi = 0.05f;
    r.Time = time;
    return r;
}

// A Normal record in this unit (0 %BAC, 1 mg/l, 2 g/l), thresholds 0.030 and 0.080.
inline MeasureRecord Normal(const char* id, const char* name, float value, int unit, int64_t time) {
    MeasureRecord r{};
    SetField(r.ID, id);
    SetField(r.Name, name);
    r.Mode = kModeNormal;
    r.Unit = static_cast<uint8_t>(unit);
    r.Value = value;
    r.Low = 0.03f;
    r.Hi = 0.08f;
    r.Time = time;
    return r;
}

// Record i of a run: "ID<i>", "Name <i>", one second apart from 2026-01-01, numbered i.
inline MeasureRecord Numbered(int i) {
    MeasureRecord r{};
    std::snprintf(r.ID, sizeof r.ID, "ID%d", i);
    std::snprintf(r.Name, sizeof r.Name, "Name %d", i);
    r.Time = 1767225600 + i;
    r.Value = 0.01f * static_cast<float>(i);
    r.Number = i;
    return r;
}

// A data file's bytes: its header (count, marker) and the records, less the last `cut`
// bytes; the count and marker as given, so damaged files are as easy to make as good ones.
inline std::vector<uint8_t> DataFileBytes(int32_t count, int32_t marker,
                                          const std::vector<MeasureRecord>& records,
                                          size_t cut = 0) {
    std::vector<uint8_t> bytes(8);
    std::memcpy(bytes.data(), &count, 4);
    std::memcpy(bytes.data() + 4, &marker, 4);
    const auto* p = reinterpret_cast<const uint8_t*>(records.data());
    bytes.insert(bytes.end(), p, p + records.size() * sizeof(MeasureRecord));
    bytes.resize(bytes.size() - cut);
    return bytes;
}

// Every setting in one line, so one check compares them all:
// "sound=1 card=0 camera=0 mode=0 low=0.100 hi=0.250 port=11 speed=2 members=5".
inline std::string SettingsText(const AppSettings& s) {
    char text[160];
    std::snprintf(text, sizeof text,
                  "sound=%d card=%d camera=%d mode=%d low=%.3f hi=%.3f port=%d speed=%d members=%d",
                  s.UseSound, s.UseIdCard, s.UseWebCam, s.Mode, static_cast<double>(s.Low),
                  static_cast<double>(s.Hi), s.Port, s.Speed, s.MemberCount);
    return text;
}

// The stored fields of a record but its time and card serial in one line:
// "M001/Alice mode=1 level=0 unit=1 value=0.045 low=0.030 hi=0.080 photo=0 number=2".
inline std::string RecordText(const MeasureRecord& r) {
    char text[160];
    std::snprintf(text, sizeof text,
                  "%.10s/%.20s mode=%d level=%d unit=%d value=%.3f low=%.3f hi=%.3f photo=%d "
                  "number=%d",
                  r.ID, r.Name, r.Mode, r.Level, r.Unit, static_cast<double>(r.Value),
                  static_cast<double>(r.Low), static_cast<double>(r.Hi), r.Photo, r.Number);
    return text;
}

} // namespace test_records
