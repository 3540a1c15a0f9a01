#include "web/query.h"

#include "web/html.h"

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <string_view>

namespace query {

namespace {
constexpr size_t kMaxParam = 100;

bool Digits(std::string_view text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}
} // namespace

bool Read(const RawParams& raw, const std::set<std::string>& allowed, Params& out,
          std::string& error) {
    for (const auto& [key, value] : raw) {
        const std::string shown = html::ValidUtf8(key) && key.size() <= 20 ? key : "?";
        if (!allowed.count(key)) {
            error = "unknown parameter \"" + shown + "\"";
            return false;
        }
        if (out.count(key)) {
            error = "parameter \"" + shown + "\" given twice";
            return false;
        }
        if (value.size() > kMaxParam) {
            error = "parameter \"" + shown + "\" is longer than " + std::to_string(kMaxParam) +
                    " bytes";
            return false;
        }
        if (!html::ValidUtf8(value)) {
            error = "parameter \"" + shown + "\" is not UTF-8 text";
            return false;
        }
        for (unsigned char c : value)
            if (c < 0x20 || c == 0x7F) {
                error = "parameter \"" + shown + "\" holds a control character";
                return false;
            }
        out[key] = value;
    }
    return true;
}

bool IsDate(const std::string& text) {
    const std::string_view t = text;
    if (t.size() != 10 || t[4] != '-' || t[7] != '-' || !Digits(t.substr(0, 4)) ||
        !Digits(t.substr(5, 2)) || !Digits(t.substr(8, 2)))
        return false;
    const std::chrono::year_month_day day{std::chrono::year(std::stoi(text.substr(0, 4))),
                                          std::chrono::month(std::stoul(text.substr(5, 2))),
                                          std::chrono::day(std::stoul(text.substr(8, 2)))};
    return day.ok() && day.year() >= std::chrono::year(1900);
}

bool IsName(const std::string& text) {
    if (text.empty() || text.size() > 64 || text.find("..") != std::string::npos)
        return false;
    for (unsigned char c : text)
        if (!(std::isalnum(c) || c >= 0x80 ||
              std::string_view(" -_.:#()").find(static_cast<char>(c)) != std::string_view::npos))
            return false;
    return true;
}

bool IsPhotoFile(const std::string& text) {
    if (text.size() < 5 || text.size() > 100 || text[0] == '.' ||
        text.find_first_of("/\\") != std::string::npos || text.find("..") != std::string::npos)
        return false;
    std::string tail = text.substr(text.size() - 4);
    for (char& c : tail)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return tail == ".bmp";
}

const std::set<std::string> kFilterParams = {"from", "to", "member", "level", "station", "sort",
                                             "dir",  "k",  "ks",     "ky",    "kg",      "kn"};

namespace {

bool IsInteger(const std::string& text, size_t maxDigits) {
    const std::string_view t = text;
    return t.size() <= maxDigits && Digits(t.substr(t.starts_with('-') ? 1 : 0));
}

bool IsNumber(const std::string& text) {
    // As the database writes a real: -1.5, 0.25, 1e-05, 3.4e+38.
    if (text.empty() || text.size() > 30)
        return false;
    char* end = nullptr;
    std::strtod(text.c_str(), &end);
    return end == text.c_str() + text.size() &&
           text.find_first_not_of("0123456789.-+e") == std::string::npos;
}

std::string Get(const Params& p, const std::string& key) {
    auto it = p.find(key);
    return it == p.end() ? std::string() : it->second;
}

// The sort key of each sort, as the indexes hold it.
std::string KeyExpression(const std::string& sort) {
    if (sort == "id")
        return "id";
    if (sort == "name")
        return "name";
    if (sort == "value")
        return "value";
    return "coalesce(time, '-infinity')";
}

} // namespace

bool ParseFilter(const Params& p, Filter& f, std::string& error) {
    f.from = Get(p, "from");
    f.to = Get(p, "to");
    f.member = Get(p, "member");
    f.level = Get(p, "level");
    f.station = Get(p, "station");
    if (!f.from.empty() && !IsDate(f.from))
        error = "\"from\" must be a date like 2026-03-01";
    else if (!f.to.empty() && !IsDate(f.to))
        error = "\"to\" must be a date like 2026-03-31";
    else if (!f.member.empty() && !IsName(f.member))
        error = "\"member\" must be a member ID of letters, digits and - _ . : # ( )";
    else if (!f.station.empty() && !IsName(f.station))
        error = "\"station\" must be a station name of letters, digits and - _ . : # ( )";
    else if (!f.level.empty() && f.level != "positive" && f.level != "negative" && f.level != "0" &&
             f.level != "Low" && f.level != "Hi")
        error = "\"level\" must be positive, negative, 0, Low or Hi";
    if (!error.empty())
        return false;
    if (p.count("sort")) {
        f.sort = Get(p, "sort");
        if (f.sort != "time" && f.sort != "id" && f.sort != "name" && f.sort != "value") {
            error = "\"sort\" must be time, id, name or value";
            return false;
        }
    }
    const std::string dir = Get(p, "dir");
    if (!dir.empty() && dir != "asc" && dir != "desc") {
        error = "\"dir\" must be asc or desc";
        return false;
    }
    f.ascending = dir == "asc";
    const int cursorParts = static_cast<int>(p.count("k") + p.count("ks") + p.count("ky") +
                                             p.count("kg") + p.count("kn"));
    if (cursorParts == 0)
        return true;
    f.key = Get(p, "k");
    f.keyStation = Get(p, "ks");
    f.keyYear = Get(p, "ky");
    f.keyGeneration = Get(p, "kg");
    f.keyNumber = Get(p, "kn");
    const bool keyOk = f.sort == "time"    ? f.key == "-infinity" || IsInteger(f.key, 18)
                       : f.sort == "value" ? IsNumber(f.key)
                                           : f.key.size() <= 64;
    if (cursorParts != 5 || !keyOk || !IsName(f.keyStation) || !IsInteger(f.keyYear, 6) ||
        !IsInteger(f.keyGeneration, 9) || !IsInteger(f.keyNumber, 9)) {
        error = "the page position (k, ks, ky, kg, kn) is not one this list gave";
        return false;
    }
    f.hasCursor = true;
    return true;
}

std::string FilterUrl(const Filter& f) {
    std::string url;
    auto add = [&](const char* key, const std::string& value) {
        if (!value.empty())
            url += std::string(url.empty() ? "" : "&") + key + "=" + html::UrlEncode(value);
    };
    add("from", f.from);
    add("to", f.to);
    add("member", f.member);
    add("level", f.level);
    add("station", f.station);
    add("sort", f.sort == "time" ? "" : f.sort);
    add("dir", f.ascending ? "asc" : "");
    return url;
}

Sql Measurements(const Filter& f, int limit) {
    Sql sql;
    const std::string key = KeyExpression(f.sort);
    auto param = [&](std::string value) {
        sql.params.push_back(pg::Text(std::move(value)));
        return "$" + std::to_string(sql.params.size());
    };
    std::vector<std::string> where;
    if (!f.from.empty())
        where.push_back("coalesce(time, '-infinity') >= " + param(f.from) + "::date");
    if (!f.to.empty())
        where.push_back("coalesce(time, '-infinity') < " + param(f.to) + "::date + 1");
    if (!f.member.empty())
        where.push_back("id = " + param(f.member));
    if (!f.station.empty())
        where.push_back("station = " + param(f.station));
    if (f.level == "positive")
        where.push_back("positive");
    else if (f.level == "negative")
        where.push_back("NOT positive");
    else if (!f.level.empty())
        where.push_back("level = " + param(f.level));
    if (f.hasCursor) {
        std::string k = param(f.key);
        if (f.sort == "time")
            k = "(CASE WHEN " + k +
                " = '-infinity' THEN '-infinity'::timestamptz ELSE "
                "timestamptz 'epoch' + " +
                k + "::bigint * interval '1 microsecond' END)";
        else if (f.sort == "value")
            k += "::real";
        where.push_back("(" + key + ", station, year, generation, number) " +
                        (f.ascending ? ">" : "<") + " (" + k + ", " + param(f.keyStation) + ", " +
                        param(f.keyYear) + "::integer, " + param(f.keyGeneration) + "::integer, " +
                        param(f.keyNumber) + "::integer)");
    }
    const std::string dir = f.ascending ? " ASC" : " DESC";
    sql.text = "SELECT station, year, number, to_char(time, 'YYYY-MM-DD HH24:MI:SS'), id, name, "
               "card_serial, mode, unit, value, level, result, positive, photo_file, " +
               std::string(f.sort == "time" ? "CASE WHEN time IS NULL THEN '-infinity' ELSE "
                                              "(extract(epoch FROM time) * 1000000)::bigint::text "
                                              "END"
                                            : key + "::text") +
               " AS cursor_key, generation FROM quelma.measurements";
    for (size_t i = 0; i < where.size(); ++i)
        sql.text += (i ? " AND " : " WHERE ") + where[i];
    sql.text += " ORDER BY " + key + dir + ", station" + dir + ", year" + dir + ", generation" +
                dir + ", number" + dir;
    if (limit > 0)
        sql.text += " LIMIT " + std::to_string(limit);
    return sql;
}

void SetCursor(Filter& f, const pg::Result& r, int row) {
    f.hasCursor = true;
    f.key = pg::Value(r, row, 14);
    f.keyStation = pg::Value(r, row, 0);
    f.keyYear = pg::Value(r, row, 1);
    f.keyGeneration = pg::Value(r, row, 15);
    f.keyNumber = pg::Value(r, row, 2);
}

std::string CursorUrl(const pg::Result& r, int row) {
    Filter f;
    SetCursor(f, r, row);
    return "k=" + html::UrlEncode(f.key) + "&ks=" + html::UrlEncode(f.keyStation) +
           "&ky=" + f.keyYear + "&kg=" + f.keyGeneration + "&kn=" + f.keyNumber;
}

} // namespace query
