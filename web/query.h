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

// Every parameter known to the route, given once, of valid UTF-8 without control characters
// (but tab, which stations keep in names) and at most 100 characters (more than any ID, name or
// station a station holds); otherwise false and `error` says which and why. Quotes, slashes and
// markup are data.
bool Read(const RawParams& raw, const std::set<std::string>& allowed, Params& out,
          std::string& error);

bool IsDate(const std::string& text);
// An account name, which the command line and the log show: letters, digits and a few marks.
bool IsAccountName(const std::string& text);

// The measurement's key, by which a page of the list ends, after the sort's own value:
// its URL parameter, column, and whether it is an integer.
struct KeyPart {
    const char* param;
    const char* column;
    bool integer;
};
extern const std::vector<KeyPart> kKeyParts;

struct Filter {
    std::string from, to, member, level, station;
    std::string sort = "time";
    bool ascending = false;
    // Where the page starts: after this row in the sort order.
    bool hasCursor = false;
    std::string key;
    std::vector<std::string> keyParts; // as kKeyParts
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
// level, result, positive, photo_file, then the cursor (kCursorColumn on). `limit` 0: all.
Sql Measurements(const Filter& f, int limit);
constexpr int kCursorColumn = 14;
// The cursor parameters (k=...&ks=...) of a row of Measurements(), for the next page.
std::string CursorUrl(const pg::Result& r, int row);

} // namespace query
