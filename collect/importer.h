// The parts of one station's import, shared by the files that carry them out: the station
// row and its identity, the members, the data files with their generations, the photos.
#pragma once

#include "collect/station.h"
#include "storage/records.h"

#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

// Thrown to stop a part: the folder went away, a file could not be read, or the database
// refused a batch. Batches already committed stay.
struct StationFailed {
    std::string reason;
};
// Thrown between batches when SIGTERM asked the collector to stop.
struct Stopped {};

// What a data_files row says of one generation of a station's year.
struct Generation {
    int year = 0, number = 0;
    int parent = 0, base = 0; // a copy that left its parent at record `base`
    int count = 0;            // records of the file imported, counting the parent's
    std::string firstRaw, lastRaw;
    int64_t size = -1, mtimeNs = -1;
};

// The bytes that make a record the same measurement: its ID and its time.
std::string Identity(const std::string& raw);

class Importer {
  public:
    Importer(pg::Connection& db, const Station& station, Progress& progress, StationReport& report)
        : db_(db), st_(station), progress_(progress), report_(report) {}

    void EnsureStationRow();
    // Refuses a folder whose data files belong to another registered station.
    void CheckIdentity();
    void ImportMembers();
    std::vector<std::pair<int, std::string>> DataFiles();
    // `year` 0: a copy from elsewhere, whose year is that of its first record.
    void ImportDataFile(int year, const std::string& path, const std::string& shown);
    void ImportPhotos();
    // Notes the files that looked damaged: reported when a run before found the same.
    void SettleTroubles();

    [[noreturn]] void Fail(const std::string& reason) { throw StationFailed{reason}; }
    [[noreturn]] void FailDb(const std::string& what);
    [[noreturn]] void FailRead(const std::string& rel, const std::string& why = "cannot be read");
    void Damaged(const std::string& rel, const std::string& why);
    void Replaced(const std::string& rel, const std::string& why);
    // A fault that may be a file caught while the station writes it.
    void Trouble(const std::string& rel, const std::string& why);
    void Fine(const std::string& rel) { seen_[rel]; }
    // A file that could not be read this time; the next run tries it again.
    void Unreadable(const std::string& rel);

  private:
    pg::Param Name() const { return pg::Text(st_.name); }
    void LoadGenerations();
    std::vector<std::string> StoredRecords(const Generation& g, int from, int to);
    void StoreRecords(Generation& g, const std::string& path, int from, int to, int64_t size,
                      int64_t mtimeNs, const std::string& shown);
    std::string PathOf(const std::string& rel) const;

    pg::Connection& db_;
    const Station& st_;
    Progress& progress_;
    StationReport& report_;
    std::deque<Generation> generations_; // stays put as it grows
    bool generationsLoaded_ = false;
    std::map<std::string, std::string> seen_; // file -> trouble seen this run ("" none)
};
