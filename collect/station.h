// Imports one station's install folder: members from QUELMA.CFG, every Data\Quelma<year>.dat
// and the photos in Photo\. Station files are only ever read.
#pragma once

#include "collect/pg.h"
#include "collect/progress.h"

#include <cstdint>
#include <string>
#include <vector>

struct Station {
    std::string name;
    std::string dir;
};

struct StationReport {
    int64_t newRecords = 0;
    int64_t newPhotos = 0;
    int damaged = 0;  // files that cannot be read as what they should be; skipped
    int replaced = 0; // files whose stored part changed since it was imported; not imported
    std::vector<std::string> notes; // one per damaged or replaced file
    std::string failure;            // the reason the station could not be imported to the end

    bool Failed() const { return !failure.empty(); }
    bool Troubled() const { return Failed() || damaged || replaced; }
    bool Imported() const { return newRecords || newPhotos; }
    // "station gate1: 1,204 new records, 1,204 photos, 0 damaged files", then the notes.
    std::string Text(const std::string& station) const;
};

// Records and members go through `db`, photos at the same time through `photoDb`.
StationReport ImportStation(pg::Connection& db, pg::Connection& photoDb, const Station& station,
                            Progress& progress);

// Keeps the report in quelma.station_reports for the web's Overview when records or photos
// came in or the station's troubles changed since the stored report; otherwise writes
// nothing. False when the database refused it.
bool StoreReport(pg::Connection& db, const std::string& station, const StationReport& report);
