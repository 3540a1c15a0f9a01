// Positives: the cases with their statuses and outcomes (web/positives.h), the form that
// records an outcome, and the cases as CSV.
#include "web/html.h"
#include "web/positives.h"
#include "web/session.h"
#include "web/site.h"

namespace web::pages {

void Positives(Page& page) {
    std::string body;
    if (!positives::PageBody(*page.db, page.session.csrf, body) || !page.Log("positive cases"))
        return page.NoDatabase();
    page.Html(200, "Positives", body);
}

void RecordOutcome(Page& page) {
    pg::Connection& db = *page.db;
    if (!SameSecret(page.params["csrf"], page.session.csrf))
        return page.BadRequest("the outcome form is not this session's");
    positives::Entry entry;
    std::string error, id;
    if (!positives::ParseEntry(page.params, entry, error))
        return page.BadRequest(error);
    // The entry and its line in the access log go in together, or neither.
    if (!db.Begin())
        return page.NoDatabase();
    const positives::Recorded recorded = positives::Record(db, entry, page.session.user, id, error);
    if (recorded == positives::Recorded::Refused) {
        db.Rollback();
        return page.Html(409, "Outcome not recorded",
                         "<p class=\"error\">" + html::Escape(error) +
                             ".</p><p><a href=\"/positives\">Back to the positives</a></p>");
    }
    if (recorded == positives::Recorded::Failed ||
        !page.Log("outcome", positives::LogDetail(entry, id)) || !db.Commit()) {
        db.Rollback();
        return page.NoDatabase();
    }
    page.res.Redirect("/positives");
}

void PositivesCsv(Page& page) {
    std::string csv;
    if (!page.Log("CSV export", "positive cases") || !positives::Csv(*page.db, csv))
        return page.NoDatabase();
    page.res.contentType = "text/csv; charset=utf-8";
    page.res.headers.emplace("Content-Disposition",
                             "attachment; filename=\"quelma-positives.csv\"");
    page.res.body = std::move(csv);
}

} // namespace web::pages
