#include "collect/cases.h"

#include "collect/pairing.h"
#include "collect/rows.h"

#include <set>

namespace cases {

namespace {

// A measurement's key, as its columns are named; everything below builds on this list.
const std::vector<std::string> kKeyColumns = {"station", "year", "generation", "number"};

std::string Columns(const std::string& prefix = "") {
    std::string list;
    for (const std::string& c : kKeyColumns)
        list += (list.empty() ? "" : ", ") + prefix + c;
    return list;
}

// The key of row `row` starting at column `col`, as COPY text.
std::string KeyText(const pg::Result& r, int row, int col) {
    std::string text;
    for (size_t k = 0; k < kKeyColumns.size(); ++k)
        text += (k ? "\t" : "") + rows::CopyText(pg::Value(r, row, col + static_cast<int>(k)));
    return text;
}

const std::string kNull = "\\N";
const std::string kNullKey = [] {
    std::string text;
    for (size_t k = 0; k < kKeyColumns.size(); ++k)
        text += (k ? "\t" : "") + kNull;
    return text;
}();

// Alerts go only for screenings taken around now: a first import of a year's file must
// not send a year of alerts.
constexpr const char kFresh[] = "1 day";

class Failed {
  public:
    explicit Failed(pg::Connection& db) : db_(db) {}
    bool operator()(std::string& error) {
        error = db_.Error();
        db_.Rollback();
        return false;
    }

  private:
    pg::Connection& db_;
};

} // namespace

std::string KeyColumns() {
    return Columns();
}

bool StoreWindow(pg::Connection& db, std::optional<int> afterMinutes,
                 std::optional<int> withinMinutes, std::string& error) {
    if (!afterMinutes && !withinMinutes)
        return true;
    const auto minutes = [](std::optional<int> m) {
        return m ? pg::Text(std::to_string(*m) + " minutes") : pg::Null();
    };
    if (db.Query("UPDATE quelma.site_settings SET confirm_after = coalesce($1::interval, "
                 "confirm_after), confirm_within = coalesce($2::interval, confirm_within)",
                 {minutes(afterMinutes), minutes(withinMinutes)}))
        return true;
    error = db.Error();
    return false;
}

bool Update(pg::Connection& db, const std::vector<std::string>& channels, PassReport& report,
            std::string& error) {
    Failed failed(db);
    // One snapshot for the records read and the counts noted as paired.
    if (!db.Exec("BEGIN ISOLATION LEVEL REPEATABLE READ") ||
        !db.Exec("SELECT pg_advisory_xact_lock(hashtext('quelma.cases'))"))
        return failed(error);
    pg::Result r = db.Query("SELECT 1 FROM quelma.data_files d LEFT JOIN quelma.paired_files p "
                            "USING (station, year, generation) WHERE d.record_count > "
                            "coalesce(p.record_count, "
                            "0) LIMIT 1");
    if (!r)
        return failed(error);
    if (PQntuples(r.get()) == 0) {
        db.Rollback(); // nothing new: write nothing
        return true;
    }
    if (!db.Exec("CREATE TEMP TABLE affected ON COMMIT DROP AS SELECT DISTINCT m.id FROM "
                 "quelma.data_files d LEFT JOIN quelma.paired_files p USING (station, year, "
                 "generation) JOIN quelma.measurements m ON m.station = d.station AND m.year = "
                 "d.year AND m.generation = d.generation AND m.number >= coalesce(p.record_count, "
                 "0)") ||
        !db.Exec("CREATE TEMP TABLE paired ON COMMIT DROP AS SELECT " + Columns() +
                 ", member_id, time, " + Columns("confirm_") +
                 ", true AS is_new FROM quelma.screenings WITH NO DATA"))
        return failed(error);

    r = db.Query("SELECT extract(epoch FROM confirm_after)::bigint, extract(epoch FROM "
                 "confirm_within)::bigint FROM quelma.site_settings");
    if (!r || PQntuples(r.get()) != 1)
        return failed(error);
    const pairing::Window window{std::stoll(pg::Value(r, 0, 0)), std::stoll(pg::Value(r, 0, 1))};

    std::set<std::string> before;
    r = db.Query("DELETE FROM quelma.screenings WHERE member_id IN (SELECT id FROM affected) "
                 "RETURNING " +
                 Columns());
    if (!r)
        return failed(error);
    for (int i = 0; i < PQntuples(r.get()); ++i)
        before.insert(KeyText(r, i, 0));

    // Timed ones in the order they were taken; a member with no ID pairs nothing, so only
    // their positives are read.
    r = db.Query("SELECT id, time, extract(epoch FROM time)::bigint, positive, " + Columns() +
                 " FROM quelma.measurements WHERE id IN (SELECT id FROM affected) AND (positive "
                 "OR id <> '') ORDER BY id, time, " +
                 Columns());
    if (!r)
        return failed(error);
    const int n = PQntuples(r.get());
    {
        pg::CopyIn copy(db, "COPY paired FROM STDIN");
        for (int first = 0; first < n && copy.Ok();) {
            const std::string id = pg::Value(r, first, 0);
            int end = first;
            std::vector<pairing::Measurement> member;
            for (; end < n && pg::Value(r, end, 0) == id; ++end) {
                pairing::Measurement m;
                if (!PQgetisnull(r.get(), end, 2))
                    m.time = std::stoll(pg::Value(r, end, 2));
                m.positive = pg::Value(r, end, 3) == "t";
                member.push_back(m);
            }
            for (const pairing::Screening& s : pairing::Pair(member, window, !id.empty())) {
                const int row = first + static_cast<int>(s.index);
                const std::string key = KeyText(r, row, 4);
                const bool timed = !PQgetisnull(r.get(), row, 1);
                copy.Row(key + '\t' + rows::CopyText(id) + '\t' +
                         (timed ? pg::Value(r, row, 1) : kNull) + '\t' +
                         (s.confirmation ? KeyText(r, first + static_cast<int>(*s.confirmation), 4)
                                         : kNullKey) +
                         '\t' + (before.count(key) ? "f" : "t"));
            }
            first = end;
        }
        if (!copy.End()) {
            error = copy.Error();
            db.Rollback();
            return false;
        }
    }

    const pg::Param after = pg::Text(std::to_string(window.afterSeconds));
    const pg::Param within = pg::Text(std::to_string(window.withinSeconds));
    std::string channelArray = "{";
    for (const std::string& c : channels)
        channelArray += (channelArray.size() > 1 ? "," : "") + c;
    channelArray += "}";
    r = db.Query("INSERT INTO quelma.screenings (" + Columns() + ", member_id, time, due_from, " +
                     "due_until, " + Columns("confirm_") + ") SELECT " + Columns() +
                     ", member_id, time, time + make_interval(secs => $1), time + "
                     "make_interval(secs => $2), " +
                     Columns("confirm_") + " FROM paired",
                 {after, within});
    if (!r)
        return failed(error);
    r = db.Query("SELECT count(*) FROM paired WHERE is_new");
    if (!r)
        return failed(error);
    report.newScreenings += std::stoll(pg::Value(r, 0, 0));
    r = db.Query("INSERT INTO quelma.alerts (" + Columns() + ", channel) SELECT " + Columns() +
                     ", c FROM paired CROSS JOIN unnest($1::text[]) c WHERE is_new AND time "
                     "BETWEEN now() - interval '" +
                     kFresh + "' AND now() + interval '" + kFresh + "' ON CONFLICT DO NOTHING",
                 {pg::Text(channelArray)});
    if (!r)
        return failed(error);
    report.queuedAlerts += std::stoll(PQcmdTuples(r.get()));
    if (!db.Exec("INSERT INTO quelma.paired_files (station, year, generation, record_count) "
                 "SELECT station, year, generation, record_count FROM quelma.data_files ON "
                 "CONFLICT (station, year, generation) DO "
                 "UPDATE SET record_count = excluded.record_count WHERE "
                 "paired_files.record_count <> excluded.record_count") ||
        !db.Commit())
        return failed(error);
    return true;
}

} // namespace cases
