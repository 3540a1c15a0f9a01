#include "collect/importer.h"

#include "collect/rows.h"
#include "storage/config_file.h"
#include "storage/data_file.h"
#include "storage/file_io.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <future>
#include <optional>

namespace fs = std::filesystem;

std::atomic<bool> g_stopRequested{false};

std::string StationReport::Failure() const {
    std::string text;
    for (const std::string& f : failed)
        text += (text.empty() ? "" : "; ") + f;
    return text;
}

std::string StationReport::Text(const std::string& station) const {
    std::string line = "station " + station + ": " +
                       rows::Counted(newRecords, "new record", "new records") + ", " +
                       rows::Counted(newPhotos, "photo", "photos") + ", " +
                       rows::Counted(damaged, "damaged file", "damaged files");
    if (replaced)
        line += ", " + rows::Counted(replaced, "replaced file", "replaced files");
    if (unreadable)
        line += ", " + rows::Counted(unreadable, "unreadable file", "unreadable files");
    if (newDataFile)
        line += ", new data file (after a Backup?)";
    if (Failed())
        line += "; failed: " + Failure();
    for (const std::string& note : notes)
        line += "\n  " + note;
    return line;
}

void Importer::FailDb(const std::string& what) {
    const std::string error = db_.Error();
    db_.Rollback();
    Fail("database refused " + what + ": " + error);
}

// A file could not be read: the whole folder is gone, or just this file.
void Importer::FailRead(const std::string& rel, const std::string& why) {
    std::error_code ec;
    if (!fs::is_directory(st_.dir, ec))
        Fail("the folder " + st_.dir + " is gone");
    Fail(rel + " " + why);
}

void Importer::Damaged(const std::string& rel, const std::string& why) {
    ++report_.damaged;
    report_.notes.push_back(rel + ": " + why);
}

void Importer::Replaced(const std::string& rel, const std::string& why) {
    ++report_.replaced;
    report_.notes.push_back(rel + ": " + why + "; not imported");
}

void Importer::Unreadable(const std::string& rel) {
    ++report_.unreadable;
    report_.notes.push_back(rel + ": cannot be read now; tried again next run");
}

void Importer::Trouble(const std::string& rel, const std::string& why) {
    // A share that went away is no damage of the file.
    std::error_code ec;
    if (!fs::is_directory(st_.dir, ec))
        Fail("the folder " + st_.dir + " is gone");
    seen_[rel] = why;
}

void Importer::SettleTroubles() {
    pg::Result r =
        db_.Query("SELECT file, trouble FROM quelma.file_troubles WHERE station = $1", {Name()});
    if (!r)
        FailDb("reading the files' troubles");
    std::map<std::string, std::string> stored;
    for (int i = 0; i < PQntuples(r.get()); ++i)
        stored[pg::Value(r, i, 0)] = pg::Value(r, i, 1);
    for (const auto& [file, trouble] : seen_) {
        auto s = stored.find(file);
        if (trouble.empty()) {
            if (s != stored.end() &&
                !db_.Query("DELETE FROM quelma.file_troubles WHERE station = $1 AND file = $2",
                           {Name(), pg::Text(file)}))
                FailDb("the files' troubles");
        } else if (s != stored.end() && s->second == trouble) {
            Damaged(file, trouble);
        } else if (!db_.Query("INSERT INTO quelma.file_troubles VALUES ($1, $2, $3) ON CONFLICT "
                              "(station, file) DO UPDATE SET trouble = excluded.trouble",
                              {Name(), pg::Text(file), pg::Text(trouble)})) {
            FailDb("the files' troubles");
        }
    }
}

std::string Importer::PathOf(const std::string& rel) const {
    return (fs::path(st_.dir) / rel).string();
}

void Importer::EnsureStationRow() {
    pg::Result r =
        db_.Query("SELECT folder, time_zone FROM quelma.stations WHERE name = $1", {Name()});
    if (!r)
        FailDb("reading the station");
    const bool known = PQntuples(r.get()) == 1;
    if (known && pg::Value(r, 0, 0) == st_.dir && pg::Value(r, 0, 1) == st_.timeZone)
        return;
    if (!db_.Begin())
        FailDb("the station");
    // The upsert writes only when the station is new, its folder moved or its zone changed.
    if (!db_.Query("INSERT INTO quelma.stations (name, folder, time_zone) VALUES ($1, $2, $3) "
                   "ON CONFLICT (name) DO UPDATE SET folder = excluded.folder, time_zone = "
                   "excluded.time_zone",
                   {Name(), pg::Text(st_.dir), pg::Text(st_.timeZone)}))
        FailDb("the station");
    // Photo names were made from local times: a zone given anew makes them again, as the
    // station's program made them.
    if (known && pg::Value(r, 0, 1) != st_.timeZone && !st_.timeZone.empty() &&
        !db_.Query(R"sql(
UPDATE quelma.measurements SET photo_file = regexp_replace(photo_file,
    '_\d+_\d\d_\d\d_[AP]M_\d\d_\d\d_\d\d\.bmp$',
    to_char(time AT TIME ZONE $2, '"_"FMYYYY"_"MM"_"DD"_"') ||
    CASE WHEN extract(hour FROM time AT TIME ZONE $2) >= 12 THEN 'PM' ELSE 'AM' END ||
    '_' || lpad((extract(hour FROM time AT TIME ZONE $2)::int % 12)::text, 2, '0') ||
    to_char(time AT TIME ZONE $2, '"_"MI"_"SS".bmp"'))
WHERE station = $1 AND photo AND time IS NOT NULL)sql",
                   {Name(), pg::Text(st_.timeZone)}))
        FailDb("the photo names in the new time zone");
    if (!db_.Commit())
        FailDb("the station");
}

// The first record of each of the folder's data files; a data file of another station's
// generations means the folder is that station's (a swapped mount, or a station given a new
// name), and nothing of it may be filed under this one.
void Importer::CheckIdentity() {
    for (const auto& [year, name] : DataFiles()) {
        file_io::InputFile in(PathOf("Data/" + name).c_str());
        std::string first(kDataHeaderSize + sizeof(MeasureRecord), '\0');
        if (!in.IsOpen() || !in.Read(first.data(), first.size()))
            continue;
        first.erase(0, kDataHeaderSize);
        const std::string id = Identity(first);
        pg::Result r =
            db_.Query("SELECT DISTINCT station FROM quelma.data_files WHERE station <> $1 "
                      "AND substr(first_raw, 1, 10) = $2 AND substr(first_raw, 41, 8) = "
                      "$3 ORDER BY 1 LIMIT 1",
                      {Name(), pg::Bytes(id.data(), 10), pg::Bytes(id.data() + 10, 8)});
        if (!r)
            FailDb("reading the stations' data files");
        if (PQntuples(r.get()) == 1) {
            const std::string other = pg::Value(r, 0, 0);
            Fail("Data/" + name + " belongs to station " + other +
                 ": is another station's folder mounted here? If " + other + " is now called " +
                 st_.name + ", run once with --rename " + other + "=" + st_.name);
        }
    }
}

void Importer::ImportMembers() {
    const std::string rel = kConfigFileName;
    const std::string path = PathOf(rel);
    AppSettings header{};
    int64_t size = -1;
    {
        file_io::InputFile in(path.c_str());
        if (!in.IsOpen())
            FailRead(rel);
        // The count before the size: members added meanwhile only make the file longer.
        if (!in.Read(&header, sizeof header))
            return Trouble(rel, "shorter than its settings block; skipped");
        size = in.Size();
    }
    const int64_t present =
        (size - static_cast<int64_t>(sizeof header)) / static_cast<int64_t>(sizeof(MemberEntry));
    if (header.MemberCount < 0 || header.MemberCount > present)
        return Trouble(rel, "holds " + std::to_string(present) + " members of the " +
                                std::to_string(header.MemberCount) + " it counts; skipped");
    AppSettings settings{};
    MemberList members;
    if (!LoadConfigFile(path.c_str(), settings, members))
        FailRead(rel);
    Fine(rel);

    std::vector<std::string> wanted;
    for (int i = 0; i < settings.MemberCount; ++i)
        wanted.push_back(
            rows::MemberRow(st_.text, st_.name, i, members.slots[static_cast<size_t>(i)]));
    pg::Result r = db_.Query("SELECT slot, id, name, card_serial FROM quelma.members WHERE "
                             "station = $1 ORDER BY slot",
                             {Name()});
    if (!r)
        FailDb("reading the members");
    std::vector<std::string> stored;
    for (int i = 0; i < PQntuples(r.get()); ++i)
        stored.push_back(rows::CopyText(st_.name) + '\t' + pg::Value(r, i, 0) + '\t' +
                         rows::CopyText(pg::Value(r, i, 1)) + '\t' +
                         rows::CopyText(pg::Value(r, i, 2)) + '\t' + pg::Value(r, i, 3));
    if (stored == wanted)
        return;
    // The station's list as it is now replaces the stored one, in one step.
    if (!db_.Begin() || !db_.Query("DELETE FROM quelma.members WHERE station = $1", {Name()}))
        FailDb("the members");
    pg::CopyIn copy(db_, "COPY quelma.members (station, slot, id, name, card_serial) FROM STDIN");
    for (const std::string& row : wanted)
        copy.Row(row);
    if (!copy.End()) {
        db_.Rollback();
        Fail("database refused the members: " + copy.Error());
    }
    if (!db_.Commit())
        FailDb("the members");
}

// Data\Quelma<year>.dat files by year; names are matched without regard to case, as the
// share's Windows side does.
std::vector<std::pair<int, std::string>> Importer::DataFiles() {
    std::vector<std::pair<int, std::string>> files;
    std::error_code ec;
    fs::directory_iterator it(fs::path(st_.dir) / "Data", ec);
    if (ec)
        FailRead("Data", "cannot be listed (" + ec.message() + ")");
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec)
            FailRead("Data", "cannot be listed (" + ec.message() + ")");
        const std::string name = it->path().filename().string();
        if (name.size() != 14)
            continue;
        std::string lower = name;
        std::transform(lower.begin(), lower.end(), lower.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (lower.compare(0, 6, "quelma") != 0 || lower.compare(10, 4, ".dat") != 0 ||
            !std::all_of(lower.begin() + 6, lower.begin() + 10,
                         [](unsigned char c) { return std::isdigit(c); }))
            continue;
        files.emplace_back(std::stoi(lower.substr(6, 4)), name);
    }
    std::sort(files.begin(), files.end());
    return files;
}

namespace {

// Two collectors on one station would import the same records twice; the second one
// waits for the next run. A session lock writes nothing to the database.
class StationLock {
  public:
    StationLock(pg::Connection& db, const std::string& name) : db_(db), name_(name) {
        pg::Result r = db.Query("SELECT pg_try_advisory_lock(hashtext('quelma.station'), "
                                "hashtext($1))",
                                {pg::Text(name)});
        held_ = r && pg::Value(r, 0, 0) == "t";
    }
    ~StationLock() {
        if (held_)
            db_.Query("SELECT pg_advisory_unlock(hashtext('quelma.station'), hashtext($1))",
                      {pg::Text(name_)});
    }
    bool Held() const { return held_; }

  private:
    pg::Connection& db_;
    std::string name_;
    bool held_ = false;
};

// Runs one part of the import; a part that stops notes why in its report. A connection the
// server dropped (a restart) is made again once and the part run again.
template <typename Part>
void Attempt(pg::Connection& db, StationReport& report, Progress& progress, Part part) {
    for (int attempt = 0;; ++attempt) {
        try {
            part();
            return;
        } catch (const StationFailed& failed) {
            progress.Done();
            if (attempt == 0 && !db.Ok() && db.Reset())
                continue;
            report.failed.push_back(failed.reason);
            return;
        }
    }
}

} // namespace

StationReport ImportStation(pg::Connection& db, pg::Connection& photoDb, const Station& station,
                            Progress& progress) {
    StationReport report, photoReport;
    Progress noBar(false);
    Importer records(db, station, progress, report);
    Importer photos(photoDb, station, noBar, photoReport);
    std::optional<StationLock> lock;
    Attempt(db, report, progress, [&] {
        std::error_code ec;
        if (!fs::is_directory(station.dir, ec))
            throw StationFailed{"the folder " + station.dir + " is not there"};
        lock.emplace(db, station.name);
        if (!lock->Held())
            throw StationFailed{db.Ok() ? "another quelma-collect is importing this station"
                                        : db.Error()};
        records.CheckIdentity();
        records.EnsureStationRow();
    });
    if (report.Failed())
        return report;
    // Photos travel on a second connection meanwhile: they keep the disk busy while the
    // records keep the server's processor busy.
    std::future<void> photoPart = std::async(std::launch::async, [&] {
        Attempt(photoDb, photoReport, noBar, [&] { photos.ImportPhotos(); });
    });
    // Each part on its own: members that cannot be read keep no year out, nor one year
    // another.
    Attempt(db, report, progress, [&] { records.ImportMembers(); });
    std::vector<std::pair<int, std::string>> files;
    Attempt(db, report, progress, [&] { files = records.DataFiles(); });
    for (const auto& [year, name] : files)
        Attempt(db, report, progress, [&, year = year, name = name] {
            records.ImportDataFile(year, (fs::path(station.dir) / "Data" / name).string(),
                                   "Data/" + name);
        });
    Attempt(db, report, progress, [&] { records.SettleTroubles(); });
    photoPart.get();
    report.newPhotos = photoReport.newPhotos;
    report.damaged += photoReport.damaged;
    report.replaced += photoReport.replaced;
    report.unreadable += photoReport.unreadable;
    report.notes.insert(report.notes.end(), photoReport.notes.begin(), photoReport.notes.end());
    report.failed.insert(report.failed.end(), photoReport.failed.begin(), photoReport.failed.end());
    return report;
}

StationReport ImportFile(pg::Connection& db, const Station& station, const std::string& path) {
    StationReport report;
    Progress progress(false);
    Importer importer(db, station, progress, report);
    Attempt(db, report, progress, [&] {
        pg::Result r =
            db.Query("SELECT 1 FROM quelma.stations WHERE name = $1", {pg::Text(station.name)});
        if (!r)
            throw StationFailed{"cannot read the stations: " + db.Error()};
        if (PQntuples(r.get()) == 0)
            throw StationFailed{"no station " + station.name + " has been imported"};
        StationLock lock(db, station.name);
        if (!lock.Held())
            throw StationFailed{"another quelma-collect is importing this station"};
        importer.ImportDataFile(0, path, path);
        importer.SettleTroubles();
    });
    return report;
}

bool RenameStation(pg::Connection& db, const std::string& from, const std::string& to,
                   std::string& error) {
    const pg::Param oldName = pg::Text(from), newName = pg::Text(to);
    pg::Result r = db.Query("SELECT (SELECT count(*) FROM quelma.stations WHERE name = $1), "
                            "(SELECT count(*) FROM quelma.stations WHERE name = $2)",
                            {oldName, newName});
    if (!r) {
        error = db.Error();
        return false;
    }
    if (pg::Value(r, 0, 0) == "0") {
        // Already done by an earlier run that was given the same option.
        if (pg::Value(r, 0, 1) == "1")
            return true;
        error = "no station " + from + " to rename";
        return false;
    }
    if (pg::Value(r, 0, 1) != "0") {
        error = "cannot rename " + from + " to " + to + ": a station " + to + " exists already";
        return false;
    }
    // The station row is copied, everything named after it follows, the old row goes. What
    // runs that refused the new name reported is dropped.
    bool ok = db.Begin() &&
              db.Query("DELETE FROM quelma.station_reports WHERE station = $1", {newName}) &&
              db.Query("DELETE FROM quelma.file_troubles WHERE station = $1", {newName}) &&
              db.Query("INSERT INTO quelma.stations (name, folder, time_zone) SELECT $2, folder, "
                       "time_zone FROM quelma.stations WHERE name = $1",
                       {oldName, newName});
    for (const char* table : {"members", "data_files", "measurements", "photos", "station_reports",
                              "file_troubles", "screenings", "paired_files", "alerts", "outcomes"})
        ok = ok && db.Query(std::string("UPDATE quelma.") + table +
                                " SET station = $2 WHERE station = $1",
                            {oldName, newName});
    ok = ok && db.Query("UPDATE quelma.screenings SET confirm_station = $2 WHERE confirm_station "
                        "= $1",
                        {oldName, newName});
    ok = ok && db.Query("DELETE FROM quelma.stations WHERE name = $1", {oldName}) && db.Commit();
    if (!ok) {
        error = db.Error();
        db.Rollback();
    }
    return ok;
}

bool StoreReport(pg::Connection& db, const std::string& station, const StationReport& report) {
    std::string notes;
    for (const std::string& note : report.notes)
        notes += (notes.empty() ? "" : "\n") + note;
    const pg::Param name = pg::Text(station);
    pg::Result r = db.Query("SELECT damaged, replaced, notes, failure FROM "
                            "quelma.station_reports WHERE station = $1",
                            {name});
    if (!r)
        return false;
    const bool same = PQntuples(r.get()) == 1 &&
                      pg::Value(r, 0, 0) == std::to_string(report.damaged) &&
                      pg::Value(r, 0, 1) == std::to_string(report.replaced) &&
                      pg::Value(r, 0, 2) == notes && pg::Value(r, 0, 3) == report.Failure();
    if (same && !report.Imported())
        return true;
    return static_cast<bool>(db.Query(
        "INSERT INTO quelma.station_reports (station, reported, last_import, new_records, "
        "new_photos, damaged, replaced, notes, failure) VALUES ($1, now(), CASE WHEN $2 THEN "
        "now() END, $3, $4, $5, $6, $7, $8) ON CONFLICT (station) DO UPDATE SET reported = "
        "now(), last_import = coalesce(excluded.last_import, station_reports.last_import), "
        "new_records = excluded.new_records, new_photos = excluded.new_photos, damaged = "
        "excluded.damaged, replaced = excluded.replaced, notes = excluded.notes, failure = "
        "excluded.failure",
        {name, pg::Text(report.Imported() ? "true" : "false"),
         pg::Text(std::to_string(report.newRecords)), pg::Text(std::to_string(report.newPhotos)),
         pg::Text(std::to_string(report.damaged)), pg::Text(std::to_string(report.replaced)),
         pg::Text(notes), pg::Text(report.Failure())}));
}
