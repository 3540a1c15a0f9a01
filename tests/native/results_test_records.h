// Records and a fixed local zone for the result list tests.
#pragma once

#include "storage/data_file.h"
#include "storage/records.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace results_test {

// Dates and times below are local to this zone.
class BerlinZone : public ::testing::Environment {
  public:
    void SetUp() override {
        setenv("TZ", "Europe/Berlin", 1);
        tzset();
    }
};

inline int64_t Local(int y, int mo, int d, int h = 12, int mi = 0, int s = 0) {
    setenv("TZ", "Europe/Berlin", 1);
    tzset();
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

inline MeasureRecord Fast(const char* id, const char* name, int level, int64_t time) {
    MeasureRecord r{};
    SetField(r.ID, id);
    SetField(r.Name, name);
    r.Mode = kModeFast;
    r.Level = static_cast<uint8_t>(level);
    r.Low = 0.02f;
    r.Hi = 0.05f;
    r.Time = time;
    return r;
}

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

} // namespace results_test
