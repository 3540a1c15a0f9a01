// What a request may ask for, checked before anything reaches the database, and the
// Measurements list's filters turned into one parameterised statement.
#pragma once

#include "collect/pg.h"

#include <map>
#include <set>
#include <string>
#include <vector>

namespace query {

using RawParams = std::multimap<std::string, std::string>;
using Params = std::map<std::string, std::string>;

// Every parameter known to the route, given once, short and of valid UTF-8 without control
// characters; otherwise false and `error` says which and why.
bool Read(const RawParams& raw, const std::set<std::string>& allowed, Params& out,
          std::string& error);

bool IsDate(const std::string& text);
// A member ID or station name: letters, digits and a few marks.
bool IsName(const std::string& text);
// A photo's file name: one name, no folder, ending in .bmp.
bool IsPhotoFile(const std::string& text);

struct Filter {
    std::string from, to, member, level, station;
    std::string sort = "time";
    bool ascending = false;
    // Where the page starts: after this row in the sort order.
    bool hasCursor = false;
    std::string key, keyStation, keyYear, keyGeneration, keyNumber;
};

extern const std::set<std::string> kFilterParams;
bool ParseFilter(const Params& p, Filter& f, std::string& error);
// The filter as URL parameters, without the cursor.
std::string FilterUrl(const Filter& f);

struct Sql {
    std::string text;
    std::vector<pg::Param> params;
};
// Columns: station, year, number, time (display), id, name, card_serial, mode, unit, value,
// level, result, positive, photo_file, cursor key, generation. `limit` 0: all rows.
Sql Measurements(const Filter& f, int limit);

// The page that follows row `row` of a Measurements result: the cursor set in `f`, or as
// URL parameters (not yet escaped for HTML).
void SetCursor(Filter& f, const pg::Result& r, int row);
std::string CursorUrl(const pg::Result& r, int row);

} // namespace query
