// The Overview: each station's state, positives per day, and for an administrator the
// newest entries of the access log.
#include "web/html.h"
#include "web/positives.h"
#include "web/pages/measurement_table.h"
#include "web/site.h"

#include <algorithm>

namespace web::pages {

using html::Escape;

namespace {

// Positives per day of the last 30 days as bars, drawn here so the page needs no script.
std::string PositivesChart(pg::Connection& db) {
    pg::Result r = db.Query(
        "SELECT to_char(d, 'YYYY-MM-DD'), coalesce(c.n, 0), coalesce(c.confirmed, 0) FROM "
        "generate_series(current_date - 29, current_date, interval '1 day') d LEFT JOIN (SELECT "
        "coalesce(time, '-infinity')::date AS day, count(*) AS n, count(*) FILTER (WHERE status "
        "= 'confirmed') AS confirmed FROM quelma.positive_cases WHERE coalesce(time, "
        "'-infinity') >= current_date - 29 GROUP BY 1) c ON c.day = d::date ORDER BY d");
    if (!r)
        return {};
    const int days = PQntuples(r.get());
    long most = 1;
    for (int i = 0; i < days; ++i)
        most = std::max(most, std::stol(pg::Value(r, i, 1)));
    constexpr int kWidth = 600, kHeight = 150, kBase = 130, kBar = 20;
    std::string svg =
        "<svg viewBox=\"0 0 " + std::to_string(kWidth) + " " + std::to_string(kHeight) +
        "\" role=\"img\" aria-label=\"Positive screenings and confirmed positives per day, last "
        "30 days\">";
    for (int i = 0; i < days; ++i) {
        const long n = std::stol(pg::Value(r, i, 1));
        const long h = n * 110 / most;
        const int x = i * kBar;
        svg += "<rect x=\"" + std::to_string(x + 2) + "\" y=\"" + std::to_string(kBase - h) +
               "\" width=\"" + std::to_string(kBar - 4) + "\" height=\"" + std::to_string(h) +
               "\" fill=\"#c0392b\"><title>" + pg::Value(r, i, 0) + ": " + std::to_string(n) +
               " screenings, " + pg::Value(r, i, 2) + " confirmed</title></rect>";
        // Confirmed positives inside their day's bar, darker.
        const long confirmed = std::stol(pg::Value(r, i, 2)) * 110 / most;
        svg += "<rect class=\"confirmed\" x=\"" + std::to_string(x + 5) + "\" y=\"" +
               std::to_string(kBase - confirmed) + "\" width=\"" + std::to_string(kBar - 10) +
               "\" height=\"" + std::to_string(confirmed) + "\" fill=\"#5c0f0a\"/>";
        if (n)
            svg += "<text x=\"" + std::to_string(x + kBar / 2) + "\" y=\"" +
                   std::to_string(kBase - h - 3) + "\" font-size=\"9\" text-anchor=\"middle\">" +
                   std::to_string(n) + "</text>";
        if (i % 5 == 0 || i == days - 1)
            svg += "<text x=\"" + std::to_string(i == days - 1 ? x + kBar : x + 2) +
                   "\" y=\"145\" font-size=\"10\"" + (i == days - 1 ? " text-anchor=\"end\"" : "") +
                   ">" + pg::Value(r, i, 0).substr(5) + "</text>";
    }
    svg += "<line x1=\"0\" y1=\"130\" x2=\"600\" y2=\"130\" stroke=\"#888\"/></svg>";
    return "<div class=\"chart\">" + svg + "</div>";
}

} // namespace

void Overview(Page& page) {
    pg::Connection& db = *page.db;
    pg::Result r = db.Query(
        "SELECT s.name, to_char(r.last_import, 'YYYY-MM-DD HH24:MI'), CASE WHEN n.newest > "
        "'-infinity' THEN to_char(n.newest, 'YYYY-MM-DD HH24:MI') END, t.total, t.positives, "
        "coalesce(r.damaged, 0), coalesce(r.replaced, 0), coalesce(r.notes, ''), "
        "coalesce(r.failure, '') FROM (SELECT name FROM quelma.stations UNION SELECT station "
        "FROM quelma.station_reports) s LEFT JOIN quelma.station_reports r ON r.station = "
        "s.name LEFT JOIN LATERAL (SELECT max(coalesce(time, '-infinity')) AS newest FROM "
        "quelma.measurements m WHERE m.station = s.name) n ON true LEFT JOIN LATERAL (SELECT "
        "count(*) AS total, count(*) FILTER (WHERE positive) AS positives FROM "
        "quelma.measurements m WHERE m.station = s.name AND coalesce(time, '-infinity') >= "
        "current_date) t ON true ORDER BY s.name");
    if (!r)
        return page.NoDatabase();
    std::string body = "<div class=\"scroll\"><table><thead><tr><th>Station</th><th>Last "
                       "import</th><th>Newest measurement</th><th>Today</th><th>Positives "
                       "today</th><th>Damaged or replaced files</th></tr></thead><tbody>";
    for (int i = 0; i < PQntuples(r.get()); ++i) {
        const std::string troubles =
            pg::Value(r, i, 5) + " damaged, " + pg::Value(r, i, 6) + " replaced";
        const bool troubled =
            pg::Value(r, i, 5) != "0" || pg::Value(r, i, 6) != "0" || !pg::Value(r, i, 8).empty();
        body += "<tr><td><a href=\"/measurements?station=" +
                Escape(html::UrlEncode(pg::Value(r, i, 0))) + "\">" + Cell(r, i, 0) +
                "</a></td><td>" + Cell(r, i, 1) + "</td><td>" + Cell(r, i, 2) +
                "</td><td class=\"num\">" + Cell(r, i, 3) + "</td><td class=\"num\">" +
                Cell(r, i, 4) + "</td><td>" +
                (troubled ? "<span class=\"bad\">" + Escape(troubles) + "</span>" +
                                (pg::Value(r, i, 8).empty()
                                     ? ""
                                     : "<div class=\"notes\">failed: " + Cell(r, i, 8) + "</div>") +
                                "<div class=\"notes\">" + Cell(r, i, 7) + "</div>"
                          : "none") +
                "</td></tr>";
    }
    body += "</tbody></table></div><h2>Positive screenings per day, last 30 days</h2><p "
            "class=\"notes\">Light: screenings; dark: confirmed by their confirmation "
            "test.</p>" +
            PositivesChart(db);
    if (std::string cases; positives::OverviewSection(db, cases))
        body = cases + body;
    if (page.session.admin) {
        pg::Result log = db.Query("SELECT to_char(time, 'YYYY-MM-DD HH24:MI:SS'), user_name, "
                                  "address, action, detail FROM quelma.access_log ORDER BY id "
                                  "DESC LIMIT 20");
        body += "<h2>Access log</h2><div class=\"scroll\"><table><thead><tr><th>Time</th><th>"
                "User</th><th>Address</th><th>Action</th><th>Detail</th></tr></thead><tbody>";
        for (int i = 0; log && i < PQntuples(log.get()); ++i)
            body += "<tr><td>" + Cell(log, i, 0) + "</td><td>" + Cell(log, i, 1) + "</td><td>" +
                    Cell(log, i, 2) + "</td><td>" + Cell(log, i, 3) + "</td><td>" +
                    Cell(log, i, 4) + "</td></tr>";
        body += "</tbody></table></div>";
    }
    page.Html(200, "Overview", body);
}

} // namespace web::pages
