// Measurements: the filtered, sorted list, a page of 100 rows at a time.
#include "web/html.h"
#include "web/pages/measurement_table.h"
#include "web/site.h"

#include <algorithm>

namespace web::pages {

namespace {

using html::Escape;
constexpr int kPageRows = 100;

std::string Option(const std::string& value, const std::string& label,
                   const std::string& selected) {
    return "<option value=\"" + Escape(value) + "\"" + (value == selected ? " selected" : "") +
           ">" + Escape(label) + "</option>";
}

std::string FilterForm(pg::Connection& db, const query::Filter& f) {
    std::string stations = Option("", "all", f.station);
    if (pg::Result r = db.Query("SELECT name FROM quelma.stations ORDER BY name"))
        for (int i = 0; i < PQntuples(r.get()); ++i)
            stations += Option(pg::Value(r, i, 0), pg::Value(r, i, 0), f.station);
    std::string levels;
    for (const auto& [value, label] :
         std::vector<std::pair<std::string, std::string>>{{"", "all"},
                                                          {"positive", "positive"},
                                                          {"negative", "negative"},
                                                          {"0", "level 0"},
                                                          {"Low", "level Low"},
                                                          {"Hi", "level Hi"}})
        levels += Option(value, label, f.level);
    return "<form class=\"filters\" method=\"get\" action=\"/measurements\"><label>From<input "
           "type=\"date\" name=\"from\" value=\"" +
           Escape(f.from) + "\"></label><label>To<input type=\"date\" name=\"to\" value=\"" +
           Escape(f.to) + "\"></label><label>Member ID<input name=\"member\" value=\"" +
           Escape(f.member) + "\" maxlength=\"64\"></label><label>Result<select name=\"level\">" +
           levels + "</select></label><label>Station<select name=\"station\">" + stations +
           "</select></label><input type=\"hidden\" name=\"sort\" value=\"" + Escape(f.sort) +
           "\"><button type=\"submit\">Show</button></form>";
}

} // namespace

void Measurements(Page& page) {
    pg::Connection& db = *page.db;
    query::Filter f;
    std::string error;
    if (!query::ParseFilter(page.params, f, error))
        return page.BadRequest(error);
    const query::Sql sql = query::Measurements(f, kPageRows + 1);
    pg::Result r = db.Query(sql.text, sql.params);
    // One person's rows are a look at that person, recorded as the member page is.
    if (!r || (!f.member.empty() && !page.Log("member list", query::FilterUrl(f))))
        return page.NoDatabase();
    const int n = PQntuples(r.get());
    const int shown = std::min(n, kPageRows);
    const std::string url = query::FilterUrl(f);
    std::string body = FilterForm(db, f) + "<p>" +
                       (shown ? std::to_string(shown) + " measurements" : "No measurements") +
                       (f.hasCursor ? " on this page" : "") + ". <a href=\"/measurements.csv" +
                       (url.empty() ? "" : "?") + Escape(url) +
                       "\" download>Download the list as CSV</a></p>" +
                       MeasurementTable(r, shown, &f) + "<div class=\"pager\">";
    if (f.hasCursor)
        body += "<a href=\"/measurements" + std::string(url.empty() ? "" : "?") + Escape(url) +
                "\">First page</a>";
    if (n > kPageRows) {
        body += "<a href=\"/measurements?" + Escape(url) + (url.empty() ? "" : "&amp;") +
                Escape(query::CursorUrl(r, kPageRows - 1)) + "\" rel=\"next\">Next page</a>";
    }
    body += "</div>";
    page.Html(200, "Measurements", body);
}

} // namespace web::pages
