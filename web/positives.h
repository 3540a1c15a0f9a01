// Positive cases on quelma-web: the Positives page (open cases first, oldest first, each
// with its status, the screening and its confirmation, and a form for the outcome), the
// append-only outcome entries, the member page's and the Overview's parts, and the CSV.
// Only texts and statements here; the routes call them.
#pragma once

#include "collect/pg.h"
#include "web/query.h"

#include <set>
#include <string>

namespace positives {

extern const std::set<std::string> kEntryParams;

// The page's body; false when the database failed.
bool PageBody(pg::Connection& db, const std::string& csrf, std::string& body);

struct Entry {
    std::string station, year, generation, number, outcome, note, corrects;
};
// The outcome form as it came; false with `error` for a request that makes no sense.
bool ParseEntry(const query::Params& p, Entry& entry, std::string& error);

enum class Recorded { Ok, Refused, Failed };
// Appends the entry. Refused (with `error`) when there is no such case, or the entry it
// corrects is not this case's or was corrected already; Failed when the database failed.
Recorded Record(pg::Connection& db, const Entry& entry, const std::string& user, std::string& id,
                std::string& error);
// What the access log keeps of an entry.
std::string LogDetail(const Entry& entry, const std::string& id);

// The member's positives with statuses and entries.
bool MemberSection(pg::Connection& db, const std::string& memberId, std::string& html);
// Open cases and alerts not yet sent.
bool OverviewSection(pg::Connection& db, std::string& html);
// Every case with its status and current outcome, one row each.
bool Csv(pg::Connection& db, std::string& csv);

} // namespace positives
