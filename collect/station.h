// Imports one station's install folder: members from QUELMA.CFG, every Data\Quelma<year>.dat
// and the photos in Photo\. Station files are only ever read.
#pragma once

#include "collect/pg.h"
#include "collect/progress.h"
#include "collect/station_text.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

struct Station {
    std::string name;
    std::string dir;
    std::string timeZone; // as given; empty: the collector's own
    StationText text;
};

struct StationReport {
    int64_t newRecords = 0;
    int64_t newPhotos = 0;
    int damaged = 0;          // files that cannot be read as what they should be; skipped
    int replaced = 0;         // files whose stored part changed since it was imported; not imported
    int unreadable = 0;       // files that could not be read now; tried again next run
    bool newDataFile = false; // a data file began a new generation of its year
    std::vector<std::string> notes;  // one per damaged, replaced or unreadable file
    std::vector<std::string> failed; // parts that could not be imported to the end, and why

    bool Failed() const { return !failed.empty(); }
    bool Troubled() const { return Failed() || damaged || replaced || unreadable; }
    bool Imported() const { return newRecords || newPhotos; }
    std::string Failure() const;
    // "station gate1: 1,204 new records, 1,204 photos, 0 damaged files", then the notes.
    std::string Text(const std::string& station) const;
};

// Set by SIGTERM: an import ends after the batch under way.
extern std::atomic<bool> g_stopRequested;

// Records and members go through `db`, photos at the same time through `photoDb`.
StationReport ImportStation(pg::Connection& db, pg::Connection& photoDb, const Station& station,
                            Progress& progress);

// A data file of `station` from elsewhere (a Backup's copy, a file of another PC): what its
// generation already holds is recognised, what it lacks is added.
StationReport ImportFile(pg::Connection& db, const Station& station, const std::string& path);

// Gives the station registered as `from` the name `to`, with everything stored for it. False
// with `error` set when `from` is unknown or `to` is taken.
bool RenameStation(pg::Connection& db, const std::string& from, const std::string& to,
                   std::string& error);

// Keeps the report in quelma.station_reports for the web's Overview when records or photos
// came in or the station's troubles changed since the stored report; otherwise writes
// nothing. False when the database refused it.
bool StoreReport(pg::Connection& db, const std::string& station, const StationReport& report);
