#include "web/positives.h"

#include "web/html.h"

#include <algorithm>
#include <map>
#include <vector>

namespace positives {

namespace {

using html::Escape;

constexpr int kOpenRows = 100;
constexpr int kClosedRows = 50;
const std::vector<std::string> kOutcomes = {"sent home", "removed from duty",
                                            "cleared after the confirmation", "other"};

// Columns 0-17 of a case: screening key (station, year, number), time, member, name, result,
// photo, status, window, confirmation station, time, result, photo, current entry, and the
// key's generation.
const char kCaseColumns[] =
    "SELECT p.station, p.year, p.number, to_char(p.time, 'YYYY-MM-DD HH24:MI:SS'), "
    "p.member_id, s.name, s.result, coalesce(s.photo_file, ''), p.status, to_char(p.due_from, "
    "'YYYY-MM-DD HH24:MI'), to_char(p.due_until, 'HH24:MI'), coalesce(p.confirm_station, ''), "
    "to_char(c.time, 'YYYY-MM-DD HH24:MI:SS'), c.result, coalesce(c.photo_file, ''), "
    "coalesce(p.outcome_id::text, ''), coalesce(p.outcome, ''), p.generation FROM "
    "quelma.positive_cases p JOIN quelma.measurements s ON s.station = p.station AND s.year = "
    "p.year AND s.generation = p.generation AND s.number = p.number LEFT JOIN "
    "quelma.measurements c ON c.station = p.confirm_station AND c.year = p.confirm_year AND "
    "c.generation = p.confirm_generation AND c.number = p.confirm_number ";
// Every decided case has exactly one first entry; counting those is cheaper than looking
// for each screening's entries.
const char kOpenCount[] = "SELECT (SELECT count(*) FROM quelma.screenings) - (SELECT count(*) "
                          "FROM quelma.outcomes o JOIN quelma.screenings s USING (station, "
                          "year, generation, number) WHERE o.corrects IS NULL)";
// Columns of an entry: case key (station, year, number), id, outcome, note, corrects, user,
// time, the key's generation.
const char kEntryColumns[] = "SELECT o.station, o.year, o.number, o.id, o.outcome, o.note, "
                             "coalesce(o.corrects::text, ''), o.user_name, to_char(o.time, "
                             "'YYYY-MM-DD HH24:MI:SS'), o.generation FROM quelma.outcomes o ";
constexpr int kCaseGeneration = 17, kEntryGeneration = 9;

// station/year/generation/number, as the access log and the page's anchors name a case.
std::string CaseKey(const pg::Result& r, int row, int generationColumn,
                    const char* separator = "/") {
    return pg::Value(r, row, 0) + separator + pg::Value(r, row, 1) + separator +
           pg::Value(r, row, generationColumn) + separator + pg::Value(r, row, 2);
}

// Each case's entries as list items, oldest first.
std::map<std::string, std::string> EntryLists(const pg::Result& r) {
    std::map<std::string, std::string> lists;
    for (int i = 0; r && i < PQntuples(r.get()); ++i) {
        const std::string corrects = pg::Value(r, i, 6);
        lists[CaseKey(r, i, kEntryGeneration)] +=
            "<li>#" + Escape(pg::Value(r, i, 3)) +
            (corrects.empty() ? "" : " (corrects #" + Escape(corrects) + ")") + ": <b>" +
            Escape(pg::Value(r, i, 4)) + "</b>" +
            (pg::Value(r, i, 5).empty() ? "" : " &ndash; " + Escape(pg::Value(r, i, 5))) +
            " <span class=\"notes\">by " + Escape(pg::Value(r, i, 7)) + ", " +
            Escape(pg::Value(r, i, 8)) + "</span></li>";
    }
    return lists;
}

std::string Photo(const std::string& station, const std::string& file) {
    if (file.empty())
        return "";
    const std::string url =
        "/photo?station=" + html::UrlEncode(station) + "&file=" + html::UrlEncode(file);
    return "<a href=\"" + Escape(url) + "\"><img class=\"thumb\" src=\"" + Escape(url) +
           "\" alt=\"photo\" loading=\"lazy\" width=\"80\"></a>";
}

std::string StatusCell(const std::string& status) {
    const bool bad = status == "confirmed" || status == "no confirmation test";
    return "<span class=\"status" + std::string(bad ? " bad" : "") + "\">" + Escape(status) +
           "</span>";
}

std::string Form(const pg::Result& r, int i, const std::string& csrf) {
    const std::string current = pg::Value(r, i, 15);
    std::string options = "<option value=\"\">choose</option>";
    for (const std::string& o : kOutcomes)
        options += "<option>" + Escape(o) + "</option>";
    return "<form class=\"outcome\" method=\"post\" action=\"/positives/outcome\"><input "
           "type=\"hidden\" name=\"csrf\" value=\"" +
           Escape(csrf) + "\"><input type=\"hidden\" name=\"station\" value=\"" +
           Escape(pg::Value(r, i, 0)) + "\"><input type=\"hidden\" name=\"year\" value=\"" +
           Escape(pg::Value(r, i, 1)) + "\"><input type=\"hidden\" name=\"generation\" value=\"" +
           Escape(pg::Value(r, i, kCaseGeneration)) +
           "\"><input type=\"hidden\" name=\"number\" value=\"" + Escape(pg::Value(r, i, 2)) +
           "\">" +
           (current.empty()
                ? ""
                : "<input type=\"hidden\" name=\"corrects\" value=\"" + Escape(current) + "\">") +
           "<select name=\"outcome\" required aria-label=\"Outcome\">" + options +
           "</select><input name=\"note\" maxlength=\"100\" placeholder=\"note\" "
           "aria-label=\"Note\"><button type=\"submit\">" +
           (current.empty() ? "Record" : "Correct #" + Escape(current)) + "</button></form>";
}

// The cases as table rows; `member` leaves out the member's own columns.
std::string CaseRows(const pg::Result& r, const std::map<std::string, std::string>& entries,
                     const std::string& csrf, bool member) {
    std::string rows;
    for (int i = 0; i < PQntuples(r.get()); ++i) {
        const std::string station = pg::Value(r, i, 0);
        const auto list = entries.find(CaseKey(r, i, kCaseGeneration));
        const std::string due =
            pg::Value(r, i, 9).empty()
                ? "no time"
                : Escape(pg::Value(r, i, 9)) + "&ndash;" + Escape(pg::Value(r, i, 10));
        const std::string confirmation = pg::Value(r, i, 11).empty()
                                             ? "<span class=\"notes\">due " + due + "</span>"
                                             : Escape(pg::Value(r, i, 12)) + " at " +
                                                   Escape(pg::Value(r, i, 11)) + ": " +
                                                   Escape(pg::Value(r, i, 13)) + " " +
                                                   Photo(pg::Value(r, i, 11), pg::Value(r, i, 14));
        rows +=
            "<tr id=\"case-" + Escape(CaseKey(r, i, kCaseGeneration, "-")) + "\"><td>" +
            StatusCell(pg::Value(r, i, 8)) + "</td><td>" + Escape(pg::Value(r, i, 3)) + " at " +
            Escape(station) + "</td>" +
            (member ? ""
                    : "<td><a href=\"/member?id=" + Escape(html::UrlEncode(pg::Value(r, i, 4))) +
                          "\">" + Escape(pg::Value(r, i, 4)) + "</a> " +
                          Escape(pg::Value(r, i, 5)) + "</td>") +
            "<td>" + Escape(pg::Value(r, i, 6)) + " " + Photo(station, pg::Value(r, i, 7)) +
            "</td><td>" + confirmation + "</td><td>" +
            (list == entries.end() ? "" : "<ol class=\"entries\">" + list->second + "</ol>") +
            (csrf.empty() ? "" : Form(r, i, csrf)) + "</td></tr>";
    }
    return rows;
}

std::string Table(const std::string& rows, bool member) {
    return "<div class=\"scroll\"><table class=\"cases\"><thead><tr><th>Status</th>"
           "<th>Screening</th>" +
           std::string(member ? "" : "<th>Member</th>") +
           "<th>Result</th><th>Confirmation test</th><th>Outcome</th></tr></thead><tbody>" + rows +
           "</tbody></table></div>";
}

} // namespace

const std::set<std::string> kEntryParams = {"csrf",   "station", "year", "generation",
                                            "number", "outcome", "note", "corrects"};

bool PageBody(pg::Connection& db, const std::string& csrf, std::string& body) {
    pg::Result count = db.Query(kOpenCount);
    // The oldest open keys first, in the screenings' time index's order; then their rows.
    const std::string order =
        "ORDER BY coalesce(time, '-infinity'), station, year, generation, number";
    pg::Result open = db.Query(
        std::string(kCaseColumns) +
        "WHERE (p.station, p.year, p.generation, p.number) IN (SELECT station, year, "
        "generation, number FROM quelma.screenings s WHERE NOT EXISTS (SELECT 1 FROM "
        "quelma.outcomes o WHERE o.station = s.station AND o.year = s.year AND o.generation = "
        "s.generation AND o.number = s.number) " +
        order + " LIMIT " + std::to_string(kOpenRows) + ") " +
        "ORDER BY coalesce(p.time, '-infinity'), p.station, p.year, p.generation, p.number");
    const std::string recent = "(SELECT station, year, generation, number FROM quelma.outcomes "
                               "GROUP BY 1, 2, 3, 4 ORDER BY max(id) DESC LIMIT " +
                               std::to_string(kClosedRows) + ")";
    pg::Result closed = db.Query(std::string(kCaseColumns) +
                                 "WHERE (p.station, p.year, p.generation, p.number) IN " + recent +
                                 " ORDER BY p.outcome_id DESC");
    pg::Result entries = db.Query(std::string(kEntryColumns) +
                                  "WHERE (o.station, o.year, o.generation, o.number) IN " + recent +
                                  " ORDER BY o.id");
    if (!count || !open || !closed || !entries)
        return false;
    const std::string openCount = pg::Value(count, 0, 0);
    const auto lists = EntryLists(entries);
    body =
        "<p>" + openCount + (openCount == "1" ? " open case" : " open cases") +
        (std::stol(openCount) > kOpenRows ? ", the " + std::to_string(kOpenRows) + " oldest shown"
                                          : "") +
        ". A case stays open until an outcome is recorded; a correction is a new entry "
        "naming the one it corrects. <a href=\"/positives.csv\" download>Download all "
        "cases as CSV</a></p><h2>Open cases</h2>" +
        (PQntuples(open.get()) ? Table(CaseRows(open, lists, csrf, false), false)
                               : "<p>No open cases.</p>") +
        "<h2>Recently decided</h2>" +
        (PQntuples(closed.get()) ? Table(CaseRows(closed, lists, csrf, false), false)
                                 : "<p>No outcomes recorded yet.</p>");
    return true;
}

bool ParseEntry(const query::Params& p, Entry& e, std::string& error) {
    const auto get = [&](const char* name) {
        auto it = p.find(name);
        return it == p.end() ? std::string() : it->second;
    };
    e = {get("station"), get("year"), get("generation"), get("number"),
         get("outcome"), get("note"), get("corrects")};
    const auto digits = [](const std::string& t, size_t most) {
        return !t.empty() && t.size() <= most && t.find_first_not_of("0123456789") == t.npos;
    };
    if (e.station.empty() || !digits(e.year, 4) || !digits(e.generation, 9) || !digits(e.number, 9))
        error = "the case must be named by station, year, generation and number";
    else if (std::find(kOutcomes.begin(), kOutcomes.end(), e.outcome) == kOutcomes.end())
        error = "\"outcome\" must be one of: sent home, removed from duty, cleared after the "
                "confirmation, other";
    else if (!e.corrects.empty() && !digits(e.corrects, 18))
        error = "\"corrects\" must be an entry's number";
    return error.empty();
}

Recorded Record(pg::Connection& db, const Entry& e, const std::string& user, std::string& id,
                std::string& error) {
    // The checks and the insert are one statement. A first entry only for a case without
    // one, a correction only of this case's current entry: the unique indexes keep that
    // true even when two forms arrive at once.
    pg::Result r = db.Query(
        "INSERT INTO quelma.outcomes (station, year, generation, number, outcome, note, "
        "corrects, user_name) SELECT $1, $2::integer, $8::integer, $3::integer, $4, $5, "
        "$6::bigint, $7 WHERE EXISTS (SELECT 1 FROM quelma.screenings WHERE station = $1 AND "
        "year = $2::integer AND generation = $8::integer AND number = $3::integer) AND CASE WHEN "
        "$6::bigint IS NULL THEN NOT EXISTS (SELECT 1 FROM quelma.outcomes WHERE station = $1 "
        "AND year = $2::integer AND generation = $8::integer AND number = $3::integer) ELSE "
        "EXISTS (SELECT 1 FROM quelma.outcomes WHERE id = $6::bigint AND station = $1 AND year "
        "= $2::integer AND generation = $8::integer AND number = $3::integer) END ON CONFLICT "
        "DO NOTHING RETURNING id",
        {pg::Text(e.station), pg::Text(e.year), pg::Text(e.number), pg::Text(e.outcome),
         pg::Text(e.note), e.corrects.empty() ? pg::Null() : pg::Text(e.corrects), pg::Text(user),
         pg::Text(e.generation)});
    if (!r)
        return Recorded::Failed;
    if (PQntuples(r.get()) == 1) {
        id = pg::Value(r, 0, 0);
        return Recorded::Ok;
    }
    error = e.corrects.empty()
                ? "there is no such positive case"
                : "entry #" + e.corrects + " is not this case's, or has been corrected already";
    return Recorded::Refused;
}

std::string LogDetail(const Entry& e, const std::string& id) {
    return e.station + "/" + e.year + "/" + e.generation + "/" + e.number + " #" + id + ": " +
           e.outcome + (e.corrects.empty() ? "" : " (corrects #" + e.corrects + ")") +
           (e.note.empty() ? "" : "; " + e.note);
}

bool MemberSection(pg::Connection& db, const std::string& memberId, std::string& html) {
    const pg::Param id = pg::Text(memberId);
    pg::Result cases = db.Query(std::string(kCaseColumns) +
                                    "WHERE p.member_id = $1 ORDER BY coalesce(p.time, "
                                    "'-infinity') DESC, p.station, p.year, p.generation, p.number",
                                {id});
    pg::Result entries =
        db.Query(std::string(kEntryColumns) +
                     "JOIN quelma.screenings s USING (station, year, generation, number) "
                     "WHERE s.member_id = $1 ORDER BY o.id",
                 {id});
    if (!cases || !entries)
        return false;
    html = "<h2>Positives</h2>" + (PQntuples(cases.get())
                                       ? Table(CaseRows(cases, EntryLists(entries), "", true), true)
                                       : "<p>No positive screening.</p>");
    return true;
}

bool OverviewSection(pg::Connection& db, std::string& html) {
    pg::Result r = db.Query(std::string("SELECT (") + kOpenCount +
                            "), (SELECT count(*) FROM quelma.alerts WHERE sent IS NULL)");
    if (!r)
        return false;
    const std::string open = pg::Value(r, 0, 0), unsent = pg::Value(r, 0, 1);
    html = "<p class=\"cases\"><a href=\"/positives\">Open cases: " + Escape(open) + "</a>. <span" +
           (unsent == "0" ? "" : " class=\"bad\"") + ">Alerts not yet sent: " + Escape(unsent) +
           "</span>.</p>";
    return true;
}

bool Csv(pg::Connection& db, std::string& csv) {
    pg::Result r = db.Query(
        "SELECT p.station, p.year, p.number, to_char(p.time, 'YYYY-MM-DD HH24:MI:SS'), "
        "p.member_id, s.name, s.result, p.status, coalesce(p.confirm_station, ''), "
        "to_char(c.time, 'YYYY-MM-DD HH24:MI:SS'), c.result, coalesce(p.outcome, ''), "
        "coalesce(o.note, ''), coalesce(o.user_name, ''), to_char(o.time, 'YYYY-MM-DD "
        "HH24:MI:SS') FROM quelma.positive_cases p JOIN quelma.measurements s ON s.station = "
        "p.station AND s.year = p.year AND s.generation = p.generation AND s.number = p.number "
        "LEFT JOIN quelma.measurements c ON c.station = p.confirm_station AND c.year = "
        "p.confirm_year AND c.generation = p.confirm_generation AND c.number = p.confirm_number "
        "LEFT JOIN quelma.outcomes o ON o.id = p.outcome_id ORDER BY coalesce(p.time, "
        "'-infinity'), p.station, p.year, p.generation, p.number");
    if (!r)
        return false;
    csv = "Station,Year,Number,Time,ID,Name,Result,Status,Confirmation station,Confirmation "
          "time,Confirmation result,Outcome,Note,Recorded by,Recorded at\r\n";
    for (int i = 0; i < PQntuples(r.get()); ++i) {
        for (int c = 0; c < 15; ++c)
            csv += (c ? "," : "") + html::CsvCell(pg::Value(r, i, c));
        csv += "\r\n";
    }
    return true;
}

} // namespace positives
