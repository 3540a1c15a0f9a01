// How a station's bytes become the database's text: its Windows code page for names, and its
// time zone for the photo file names the program made from record times.
#pragma once

#include "storage/records.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

class StationText {
  public:
    // Windows-1252 in the collector's own zone.
    StationText();
    // False with `error` set when the code page or the zone is not known here.
    bool Set(int codePage, const std::string& timeZone, std::string& error);

    std::string Utf8(std::string_view ansi) const;
    // A name as the folder gave it: kept when it is UTF-8 (a share mounted with a UTF-8
    // character set), else read in the station's code page.
    std::string Utf8FileName(std::string_view name) const;
    // The photo file name the program made for the record, in UTF-8.
    std::string PhotoFile(const MeasureRecord& record) const;
    // The station's local calendar year of a record time.
    int LocalYear(int64_t time) const;
    const std::string& TimeZone() const { return zone_; }

    // Called once before any thread starts: the collector's own zone is remembered and the
    // process works in UTC, so that each station's zone can be applied to a time.
    static void UseUtcProcessWide();

  private:
    int64_t LocalSeconds(int64_t time) const;

    std::array<uint16_t, 128> high_{};
    std::string zone_; // empty: the collector's own
};
