// The database side of positive cases: pairs the records that arrived since the last pass
// with their confirmation tests (collect/pairing.h), keeps quelma.screenings, and queues an
// alert for each new screening. Runs after a pass's imports have been committed.
#pragma once

#include "collect/pg.h"

#include <optional>
#include <string>
#include <vector>

namespace cases {

// The columns of a measurement's key, "station, year, generation, number", as the tables name them.
std::string KeyColumns();

// The confirmation window in minutes after a screening, kept site-wide in the database.
// Only the values given are changed. False with `error` set when the database refused them.
bool StoreWindow(pg::Connection& db, std::optional<int> afterMinutes,
                 std::optional<int> withinMinutes, std::string& error);

struct PassReport {
    int64_t newScreenings = 0;
    int64_t queuedAlerts = 0;
};

// Pairs the members of every record not yet paired, in one transaction, and queues an alert
// on each of `channels` ("mail", "webhook") for each new screening taken within a day of
// now. False with `error` set when the database refused it; the next pass tries again.
bool Update(pg::Connection& db, const std::vector<std::string>& channels, PassReport& report,
            std::string& error);

} // namespace cases
