#include "web/query.h"

#include "web/html.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <string_view>

namespace query {

namespace {
constexpr size_t kMaxParamChars = 100;

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
        if (!html::ValidUtf8(value)) {
            error = "parameter \"" + shown + "\" is not UTF-8 text";
            return false;
        }
        const auto chars = std::count_if(value.begin(), value.end(),
                                         [](unsigned char c) { return (c & 0xC0) != 0x80; });
        if (static_cast<size_t>(chars) > kMaxParamChars) {
            error = "parameter \"" + shown + "\" is longer than " + std::to_string(kMaxParamChars) +
                    " characters";
            return false;
        }
        for (unsigned char c : value)
            if ((c < 0x20 && c != '\t') || c == 0x7F) {
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

bool IsAccountName(const std::string& text) {
    if (text.empty() || text.size() > 64 || text.find("..") != std::string::npos)
        return false;
    for (unsigned char c : text)
        if (!(std::isalnum(c) || c >= 0x80 ||
              std::string_view(" -_.:#()").find(static_cast<char>(c)) != std::string_view::npos))
            return false;
    return html::ValidUtf8(text);
}

const std::vector<KeyPart> kKeyParts = {{"ks", "station", false},
                                        {"ky", "year", true},
                                        {"kg", "generation", true},
                                        {"kn", "number", true}};

const std::set<std::string> kFilterParams = [] {
    std::set<std::string> names = {"from", "to", "member", "level", "station", "sort", "dir", "k"};
    for (const KeyPart& part : kKeyParts)
        names.insert(part.param);
    return names;
}();

namespace {

bool IsInteger(const std::string& text, size_t maxDigits) {
    const std::string_view t = text;
    return t.size() <= maxDigits && Digits(t.substr(t.starts_with('-') ? 1 : 0));
}

bool IsNumber(const std::string& text) {
    // As the database writes a real: -1.5, 0.25, 1e-05, 3.4e+38, NaN, -Infinity.
    if (text == "NaN" || text == "Infinity" || text == "-Infinity")
        return true;
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
    size_t given = p.count("k");
    for (const KeyPart& part : kKeyParts)
        given += p.count(part.param);
    if (given == 0)
        return true;
    f.key = Get(p, "k");
    bool ok =
        given == kKeyParts.size() + 1 &&
        (f.sort == "time"    ? f.key == "-infinity" || f.key == "infinity" || IsInteger(f.key, 18)
         : f.sort == "value" ? IsNumber(f.key)
                             : true);
    for (const KeyPart& part : kKeyParts) {
        f.keyParts.push_back(Get(p, part.param));
        ok = ok && (part.integer ? IsInteger(f.keyParts.back(), 9) : !f.keyParts.back().empty());
    }
    if (!ok) {
        error = "the page position is not one this list gave";
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
    const std::string dir = f.ascending ? " ASC" : " DESC";
    std::string columns = key, values, keyColumns, order = key + dir;
    for (const KeyPart& part : kKeyParts) {
        columns += std::string(", ") + part.column;
        keyColumns += std::string(", ") + part.column + "::text AS cursor_" + part.param;
        order += std::string(", ") + part.column + dir;
    }
    if (f.hasCursor) {
        std::string k = param(f.key);
        if (f.sort == "time")
            k = "(CASE WHEN " + k + " IN ('-infinity', 'infinity') THEN " + k +
                "::timestamptz ELSE timestamptz 'epoch' + " + k +
                "::bigint * interval '1 microsecond' END)";
        else if (f.sort == "value")
            k += "::real";
        values = k;
        for (size_t i = 0; i < kKeyParts.size(); ++i)
            values += ", " + param(f.keyParts[i]) + (kKeyParts[i].integer ? "::integer" : "");
        where.push_back("(" + columns + ") " + (f.ascending ? ">" : "<") + " (" + values + ")");
    }
    sql.text = "SELECT station, year, number, to_char(time, 'YYYY-MM-DD HH24:MI:SS'), id, name, "
               "card_serial, mode, unit, value, level, result, positive, photo_file, " +
               std::string(f.sort == "time" ? "CASE WHEN time IS NULL THEN '-infinity' WHEN "
                                              "isfinite(time) THEN (extract(epoch FROM time) * "
                                              "1000000)::bigint::text ELSE time::text END"
                                            : key + "::text") +
               " AS cursor_key" + keyColumns + " FROM quelma.measurements";
    for (size_t i = 0; i < where.size(); ++i)
        sql.text += (i ? " AND " : " WHERE ") + where[i];
    sql.text += " ORDER BY " + order;
    if (limit > 0)
        sql.text += " LIMIT " + std::to_string(limit);
    return sql;
}

std::string CursorUrl(const pg::Result& r, int row) {
    std::string url = "k=" + html::UrlEncode(pg::Value(r, row, kCursorColumn));
    for (size_t i = 0; i < kKeyParts.size(); ++i)
        url += std::string("&") + kKeyParts[i].param + "=" +
               html::UrlEncode(pg::Value(r, row, kCursorColumn + 1 + static_cast<int>(i)));
    return url;
}

} // namespace query
