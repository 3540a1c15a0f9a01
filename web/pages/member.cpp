// Member: one person's registrations and history at every station.
#include "web/html.h"
#include "web/pages/measurement_table.h"
#include "web/positives.h"
#include "web/site.h"

namespace web::pages {

namespace {
using html::Escape;
constexpr int kMemberRows = 500;
} // namespace

void Member(Page& page) {
    pg::Connection& db = *page.db;
    auto id = page.params.find("id");
    if (id == page.params.end() || id->second.empty())
        return page.BadRequest("\"id\" must be a member ID");
    pg::Result members = db.Query("SELECT station, slot + 1, name, card_serial FROM "
                                  "quelma.members WHERE id = $1 ORDER BY station",
                                  {pg::Text(id->second)});
    query::Filter f;
    f.member = id->second;
    const query::Sql sql = query::Measurements(f, kMemberRows);
    pg::Result r = db.Query(sql.text, sql.params);
    if (!members || !r || !page.Log("member history", id->second))
        return page.NoDatabase();
    std::string body = "<h2>Registered at</h2>";
    if (PQntuples(members.get()) == 0)
        body += "<p>No station lists this ID now.</p>";
    else {
        body += "<div class=\"scroll\"><table><thead><tr><th>Station</th><th>Slot</th><th>Name"
                "</th><th>Card</th></tr></thead><tbody>";
        for (int i = 0; i < PQntuples(members.get()); ++i)
            body += "<tr><td>" + Cell(members, i, 0) + "</td><td>" + Cell(members, i, 1) +
                    "</td><td>" + Cell(members, i, 2) + "</td><td>" + Cell(members, i, 3) +
                    "</td></tr>";
        body += "</tbody></table></div>";
    }
    const int n = PQntuples(r.get());
    body += "<h2>Measurements at every station</h2><p>" + std::to_string(n) +
            (n == kMemberRows ? " newest measurements shown; " : " measurements; ") +
            "<a href=\"/measurements?member=" + Escape(html::UrlEncode(id->second)) +
            "\">open them in the list</a>.</p>" + MeasurementTable(r, n, nullptr);
    std::string cases;
    if (!positives::MemberSection(db, id->second, cases))
        return page.NoDatabase();
    body += cases;
    page.Html(200, "Member " + id->second, body);
}

} // namespace web::pages
