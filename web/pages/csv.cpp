// The filtered list as CSV: one snapshot of the database, read in batches through a cursor
// on a connection of its own, so a million rows need no more memory than a few thousand
// and no worker's connection is held in a transaction.
#include "web/html.h"
#include "web/site.h"

#include <atomic>
#include <memory>

namespace web::pages {

namespace {

constexpr int kBatch = 5000;
constexpr int kColumns = 14;
constexpr int kMostExports = 4;
std::atomic<int> g_exports{0};

// One export under way: its connection and the counting of exports.
struct Export {
    std::unique_ptr<pg::Connection> db;
    bool headed = false;
    Export() { ++g_exports; }
    ~Export() { --g_exports; }
    Export(const Export&) = delete;
    Export& operator=(const Export&) = delete;
};

bool NextBatch(Export& x, std::string& piece) {
    if (!x.headed) {
        x.headed = true;
        // The byte order mark tells spreadsheet programs the text is UTF-8.
        piece = "\xEF\xBB\xBFStation,Year,Number,Time,ID,Name,Card,Mode,Unit,Value,Level,"
                "Result,Positive,Photo\r\n";
        return true;
    }
    if (!x.db)
        return true;
    pg::Result r = x.db->Query("FETCH " + std::to_string(kBatch) + " FROM rows");
    if (!r)
        return false;
    const int n = PQntuples(r.get());
    for (int i = 0; i < n; ++i) {
        for (int c = 0; c < kColumns; ++c) {
            std::string v = pg::Value(r, i, c);
            if (c == 12)
                v = v == "t" ? "yes" : "no";
            piece += (c ? "," : "") + html::CsvCell(v);
        }
        piece += "\r\n";
    }
    if (n < kBatch) {
        x.db->Exec("COMMIT");
        x.db.reset();
    }
    return true;
}

} // namespace

void Csv(Page& page) {
    query::Filter f;
    std::string error;
    if (!query::ParseFilter(page.params, f, error))
        return page.BadRequest(error);
    f.hasCursor = false;
    if (g_exports >= kMostExports)
        return page.Html(503, "Busy",
                         "<p class=\"error\">Too many exports at once; try again "
                         "shortly.</p>");
    auto x = std::make_shared<Export>();
    x->db = std::make_unique<pg::Connection>(page.config.conninfo);
    std::string roleError;
    const query::Sql sql = query::Measurements(f, 0);
    if (!x->db->Ok() || !ActAsWebRole(*x->db, roleError) ||
        !x->db->Exec("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY") ||
        !x->db->Query("DECLARE rows NO SCROLL CURSOR FOR " + sql.text, sql.params))
        return page.NoDatabase(x->db.get());
    // Nothing personal leaves without its entry in the access log.
    if (!page.Log("CSV export", query::FilterUrl(f)))
        return page.NoDatabase();
    page.res.contentType = "text/csv; charset=utf-8";
    page.res.headers.emplace("Content-Disposition",
                             "attachment; filename=\"quelma-measurements.csv\"");
    page.res.stream = [x](std::string& piece) { return NextBatch(*x, piece); };
}

} // namespace web::pages
