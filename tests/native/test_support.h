// What the native unit tests share: members, records and local times (Berlin's, so that
// dates around midnight and the summer-time change are the same on every machine), and a
// scratch folder.
#pragma once

#include "temp_dir.h"
#include "test_records.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace test_support {

using namespace test_records;

inline void UseBerlinTime() {
    setenv("TZ", "Europe/Berlin", 1);
    tzset();
}

class BerlinTime : public ::testing::Environment {
  public:
    void SetUp() override { UseBerlinTime(); }
};
inline ::testing::Environment* const kBerlinTime =
    ::testing::AddGlobalTestEnvironment(new BerlinTime);

// A local date and time in Berlin, noon unless told; safe before the environment is set up.
inline int64_t Local(int y, int mo, int d, int h = 12, int mi = 0, int s = 0) {
    UseBerlinTime();
    return LocalTime(y, mo, d, h, mi, s);
}

} // namespace test_support
