#include "collect/station.h"

#include "collect/rows.h"
#include "collect/sha256.h"
#include "camera/frame_format.h"
#include "storage/config_file.h"
#include "storage/data_file.h"
#include "storage/file_io.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <future>
#include <map>
#include <optional>

namespace fs = std::filesystem;

std::string StationReport::Text(const std::string& station) const {
    std::string line = "station " + station + ": " +
                       rows::Counted(newRecords, "new record", "new records") + ", " +
                       rows::Counted(newPhotos, "photo", "photos") + ", " +
                       rows::Counted(damaged, "damaged file", "damaged files");
    if (replaced)
        line += ", " + rows::Counted(replaced, "replaced file", "replaced files");
    if (Failed())
        line += "; failed: " + failure;
    for (const std::string& note : notes)
        line += "\n  " + note;
    return line;
}

namespace {

constexpr int64_t kRecordBarThreshold = 20000;
constexpr int64_t kPhotoBarThreshold = 200;
// A photo file is a frame and its headers; anything larger is no photo.
constexpr uint64_t kMaxPhotoBytes = kMaxFrameBytes + kBmpFileHeaderSize;
// Photos go to the database in transactions of about this many bytes.
constexpr size_t kPhotoBatchBytes = 64u << 20;

// Thrown to stop a station: the folder went away, a file could not be read, or the
// database refused a batch. Batches already committed stay.
struct StationFailed {
    std::string reason;
};

class Importer {
  public:
    Importer(pg::Connection& db, const Station& station, Progress& progress, StationReport& report)
        : db_(db), st_(station), progress_(progress), report_(report) {}

    void EnsureStationRow();
    void ImportMembers();
    std::vector<std::pair<int, std::string>> DataFiles();
    void ImportDataFile(int year, const std::string& fileName);
    void ImportPhotos();

  private:
    [[noreturn]] void Fail(const std::string& reason) { throw StationFailed{reason}; }
    [[noreturn]] void FailDb(const std::string& what) {
        const std::string error = db_.Error();
        db_.Rollback();
        Fail("database refused " + what + ": " + error);
    }
    // A file could not be read: the whole folder is gone, or just this file.
    [[noreturn]] void FailRead(const std::string& rel, const std::string& why = "cannot be read") {
        std::error_code ec;
        if (!fs::is_directory(st_.dir, ec))
            Fail("the folder " + st_.dir + " is gone");
        Fail(rel + " " + why);
    }
    void Damaged(const std::string& rel, const std::string& why) {
        ++report_.damaged;
        report_.notes.push_back(rel + ": " + why + "; skipped");
    }
    void Replaced(const std::string& rel, const std::string& why) {
        ++report_.replaced;
        report_.notes.push_back(rel + ": " + why + "; not imported");
    }
    pg::Param Name() const { return pg::Text(st_.name); }
    std::string DescribeChange(int year, const RecordList& table, int stored);

    pg::Connection& db_;
    const Station& st_;
    Progress& progress_;
    StationReport& report_;
};

std::string Path(const Station& st, const std::string& rel) {
    return (fs::path(st.dir) / rel).string();
}

void Importer::EnsureStationRow() {
    pg::Result r = db_.Query("SELECT folder FROM quelma.stations WHERE name = $1", {Name()});
    if (!r)
        FailDb("reading the station");
    if (PQntuples(r.get()) == 1 && pg::Value(r, 0, 0) == st_.dir)
        return;
    // The upsert writes only when the station is new or its folder moved.
    if (!db_.Query("INSERT INTO quelma.stations (name, folder) VALUES ($1, $2) ON CONFLICT "
                   "(name) DO UPDATE SET folder = excluded.folder",
                   {Name(), pg::Text(st_.dir)}))
        FailDb("the station");
}

void Importer::ImportMembers() {
    const std::string rel = kConfigFileName;
    const std::string path = Path(st_, rel);
    AppSettings header{};
    int64_t size = -1;
    {
        file_io::InputFile in(path.c_str());
        if (!in.IsOpen())
            FailRead(rel);
        size = in.Size();
        if (!in.Read(&header, sizeof header))
            return Damaged(rel, "shorter than its settings block");
    }
    const int64_t present =
        (size - static_cast<int64_t>(sizeof header)) / static_cast<int64_t>(sizeof(MemberEntry));
    if (header.MemberCount < 0 || header.MemberCount > present)
        return Damaged(rel, "holds " + std::to_string(present) + " members of the " +
                                std::to_string(header.MemberCount) + " it counts");
    AppSettings settings{};
    MemberList members;
    if (!LoadConfigFile(path.c_str(), settings, members))
        FailRead(rel);

    std::vector<std::string> wanted;
    for (int i = 0; i < settings.MemberCount; ++i)
        wanted.push_back(rows::MemberRow(st_.name, i, members.slots[static_cast<size_t>(i)]));
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

// Why a data file does not load: its header says more than the file holds, or it is no
// data file at all.
std::string BrokenReason(const std::string& path) {
    file_io::InputFile in(path.c_str());
    const int64_t size = in.Size();
    int32_t header[2] = {0, 0};
    if (size < kDataHeaderSize || !in.Read(header, sizeof header))
        return "shorter than a data file's header";
    if (header[1] != kDataFileMagic)
        return "not a data file (wrong magic number)";
    if (header[0] < 0)
        return "its record count is negative";
    return "holds " +
           std::to_string((size - kDataHeaderSize) / static_cast<int64_t>(sizeof(MeasureRecord))) +
           " of the " + std::to_string(header[0]) + " records it counts";
}

std::string Importer::DescribeChange(int year, const RecordList& table, int stored) {
    if (table.Count() < stored)
        return "holds " + std::to_string(table.Count()) + " records, fewer than the " +
               std::to_string(stored) + " already imported (file replaced?)";
    pg::Result r = db_.Query("SELECT number, raw FROM quelma.measurements WHERE station = $1 "
                             "AND year = $2 ORDER BY number",
                             {Name(), pg::Text(std::to_string(year))});
    if (r)
        for (int i = 0; i < PQntuples(r.get()); ++i) {
            const int number = std::stoi(pg::Value(r, i, 0));
            const std::vector<unsigned char> raw = pg::ByteaValue(r, i, 1);
            if (number < table.Count() &&
                (raw.size() != sizeof(MeasureRecord) ||
                 std::memcmp(raw.data(), &table.records[static_cast<size_t>(number)],
                             sizeof(MeasureRecord)) != 0))
                return "record " + std::to_string(number) +
                       " differs from the one already imported (file replaced?)";
        }
    return "its records differ from the ones already imported (file replaced?)";
}

void Importer::ImportDataFile(int year, const std::string& fileName) {
    const std::string rel = "Data/" + fileName;
    const std::string path = Path(st_, rel);
    RecordList table;
    // Reads the header's count of records and no further: a file being written holds new
    // records before its header counts them.
    switch (ReadDataFile(path.c_str(), table)) {
    case DataLoad::Loaded:
        break;
    case DataLoad::CannotOpen:
        FailRead(rel);
    case DataLoad::Broken:
        // A read cut short by a share that went away is no damage of the file.
        if (std::error_code ec; !fs::is_directory(st_.dir, ec))
            FailRead(rel);
        return Damaged(rel, BrokenReason(path));
    case DataLoad::NoMemory:
        Fail(rel + ": not enough memory to read it");
    }
    const pg::Param yearParam = pg::Text(std::to_string(year));
    pg::Result r = db_.Query("SELECT record_count, records_sha256 FROM quelma.data_files WHERE "
                             "station = $1 AND year = $2",
                             {Name(), yearParam});
    if (!r)
        FailDb("reading " + rel);
    const bool known = PQntuples(r.get()) == 1;
    const int stored = known ? std::stoi(pg::Value(r, 0, 0)) : 0;
    const int count = table.Count();

    if (count < stored)
        return Replaced(rel, DescribeChange(year, table, stored));
    Sha256 sha;
    sha.Update(table.data(), sizeof(MeasureRecord) * static_cast<size_t>(stored));
    if (known) {
        const std::vector<unsigned char> storedSha = pg::ByteaValue(r, 0, 1);
        if (std::string(storedSha.begin(), storedSha.end()) != sha.Digest())
            return Replaced(rel, DescribeChange(year, table, stored));
    }
    if (count == stored)
        return;

    sha.Update(table.data() + stored, sizeof(MeasureRecord) * static_cast<size_t>(count - stored));
    const std::string digest = sha.Digest();
    if (!db_.Begin())
        FailDb(rel);
    progress_.Start(st_.name + " " + fileName, count - stored, kRecordBarThreshold);
    {
        pg::CopyIn copy(db_, "COPY quelma.measurements (station, year, number, id, name, "
                             "card_serial, time, mode, unit, low, hi, value, level, result, "
                             "photo, photo_file, raw) FROM STDIN");
        for (int i = stored; i < count && copy.Ok(); ++i) {
            copy.Row(
                rows::MeasurementRow(st_.name, year, i, table.records[static_cast<size_t>(i)]));
            if ((i - stored) % 1000 == 999)
                progress_.Advance(1000);
        }
        if (!copy.End()) {
            progress_.Done();
            db_.Rollback();
            Fail("database refused " + rel + ": " + copy.Error());
        }
    }
    progress_.Done();
    if (!db_.Query("INSERT INTO quelma.data_files (station, year, record_count, records_sha256) "
                   "VALUES ($1, $2, $3, $4) ON CONFLICT (station, year) DO UPDATE SET "
                   "record_count = excluded.record_count, records_sha256 = "
                   "excluded.records_sha256",
                   {Name(), yearParam, pg::Text(std::to_string(count)),
                    pg::Bytes(digest.data(), digest.size())}) ||
        !db_.Commit())
        FailDb(rel);
    report_.newRecords += count - stored;
}

struct StoredPhoto {
    std::string sha256;
    int64_t size = 0, mtimeNs = 0;
};

struct PhotoFile {
    std::string name;     // as listed, for the path
    std::string utf8Name; // as stored
    int64_t size = 0, mtimeNs = 0;
};

bool EndsWithBmp(const std::string& name) {
    if (name.size() < 5)
        return false;
    std::string tail = name.substr(name.size() - 4);
    std::transform(tail.begin(), tail.end(), tail.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return tail == ".bmp";
}

// A photo is whole when it is a BMP file exactly as long as its header says.
std::optional<std::string> PhotoDamage(const std::vector<uint8_t>& bytes) {
    if (bytes.size() < 14 || bytes[0] != 'B' || bytes[1] != 'M')
        return "not a BMP file";
    const uint32_t declared =
        static_cast<uint32_t>(bytes[2]) | static_cast<uint32_t>(bytes[3]) << 8 |
        static_cast<uint32_t>(bytes[4]) << 16 | static_cast<uint32_t>(bytes[5]) << 24;
    if (declared != bytes.size())
        return "holds " + std::to_string(bytes.size()) + " of the " + std::to_string(declared) +
               " bytes its header counts";
    return std::nullopt;
}

void Importer::ImportPhotos() {
    std::error_code ec;
    const fs::path folder = fs::path(st_.dir) / "Photo";
    if (!fs::exists(folder, ec)) {
        if (!fs::is_directory(st_.dir, ec))
            Fail("the folder " + st_.dir + " is gone");
        return; // a station that never took a photo
    }
    std::vector<PhotoFile> files;
    fs::directory_iterator it(folder, ec);
    if (ec)
        FailRead("Photo", "cannot be listed (" + ec.message() + ")");
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec)
            FailRead("Photo", "cannot be listed (" + ec.message() + ")");
        const std::string name = it->path().filename().string();
        // The camera writes "<name>.bmp.tmp" and renames it when done: only whole photos
        // end in .bmp.
        if (!EndsWithBmp(name) || !it->is_regular_file(ec))
            continue;
        PhotoFile f{name, rows::Utf8FileName(name), 0, 0};
        f.size = static_cast<int64_t>(it->file_size(ec));
        if (ec)
            continue; // gone between listing and looking
        const auto written = it->last_write_time(ec);
        if (ec)
            continue;
        f.mtimeNs = std::chrono::duration_cast<std::chrono::nanoseconds>(
                        std::chrono::file_clock::to_sys(written).time_since_epoch())
                        .count();
        files.push_back(std::move(f));
    }
    std::sort(files.begin(), files.end(),
              [](const PhotoFile& a, const PhotoFile& b) { return a.name < b.name; });

    pg::Result r = db_.Query("SELECT file_name, sha256, size, mtime_ns FROM quelma.photos WHERE "
                             "station = $1",
                             {Name()});
    if (!r)
        FailDb("reading the photos");
    std::map<std::string, StoredPhoto> stored;
    for (int i = 0; i < PQntuples(r.get()); ++i) {
        const std::vector<unsigned char> sha = pg::ByteaValue(r, i, 1);
        stored[pg::Value(r, i, 0)] = {std::string(sha.begin(), sha.end()),
                                      std::stoll(pg::Value(r, i, 2)),
                                      std::stoll(pg::Value(r, i, 3))};
    }

    std::vector<const PhotoFile*> fresh;
    for (const PhotoFile& f : files) {
        auto s = stored.find(f.utf8Name);
        if (s == stored.end() || s->second.size != f.size || s->second.mtimeNs != f.mtimeNs)
            fresh.push_back(&f);
    }
    if (fresh.empty())
        return;

    progress_.Start(st_.name + " photos", static_cast<int64_t>(fresh.size()), kPhotoBarThreshold);
    struct Pending {
        const PhotoFile* file;
        std::vector<uint8_t> bytes;
        std::string sha256;
    };
    std::vector<Pending> batch;
    size_t batchBytes = 0;
    auto flush = [&]() {
        if (batch.empty())
            return;
        if (!db_.Begin())
            FailDb("the photos");
        pg::CopyIn copy(db_,
                        "COPY quelma.photos (station, file_name, bytes, sha256, size, mtime_ns) "
                        "FROM STDIN (FORMAT binary)",
                        pg::CopyIn::Format::Binary);
        for (const Pending& p : batch) {
            copy.BeginRow(6);
            copy.Field(st_.name);
            copy.Field(p.file->utf8Name);
            copy.Field(p.bytes.data(), p.bytes.size());
            copy.Field(p.sha256);
            copy.Int8(p.file->size);
            copy.Int8(p.file->mtimeNs);
        }
        if (!copy.End()) {
            db_.Rollback();
            Fail("database refused the photos: " + copy.Error());
        }
        if (!db_.Commit())
            FailDb("the photos");
        report_.newPhotos += static_cast<int64_t>(batch.size());
        progress_.Advance(static_cast<int64_t>(batch.size()));
        batch.clear();
        batchBytes = 0;
    };
    for (const PhotoFile* f : fresh) {
        const std::string rel = "Photo/" + f->utf8Name;
        if (f->size > static_cast<int64_t>(kMaxPhotoBytes)) {
            Damaged(rel, "larger than any camera frame");
            continue;
        }
        std::vector<uint8_t> bytes;
        if (file_io::ReadAll((folder / f->name).string().c_str(), bytes) != file_io::Read::Ok) {
            progress_.Done();
            FailRead(rel);
        }
        if (auto damage = PhotoDamage(bytes)) {
            Damaged(rel, *damage);
            continue;
        }
        std::string sha = Sha256Of(bytes.data(), bytes.size());
        auto s = stored.find(f->utf8Name);
        if (s != stored.end()) {
            if (s->second.sha256 != sha) {
                Replaced(rel, "differs from the photo already imported");
                continue;
            }
            // The same bytes with a new date: remember the date so the next run skips it.
            if (!db_.Query("UPDATE quelma.photos SET size = $3, mtime_ns = $4 WHERE station = "
                           "$1 AND file_name = $2",
                           {Name(), pg::Text(f->utf8Name), pg::Text(std::to_string(f->size)),
                            pg::Text(std::to_string(f->mtimeNs))}))
                FailDb(rel);
            continue;
        }
        batchBytes += bytes.size();
        batch.push_back({f, std::move(bytes), std::move(sha)});
        if (batchBytes >= kPhotoBatchBytes)
            flush();
    }
    flush();
    progress_.Done();
}

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

// Runs one part of the import; a part that stops notes why in its report.
template <typename Part> void Attempt(StationReport& report, Progress& progress, Part part) {
    try {
        part();
    } catch (const StationFailed& failed) {
        progress.Done();
        report.failure = failed.reason;
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
    Attempt(report, progress, [&] {
        std::error_code ec;
        if (!fs::is_directory(station.dir, ec))
            throw StationFailed{"the folder " + station.dir + " is not there"};
        lock.emplace(db, station.name);
        if (!lock->Held())
            throw StationFailed{db.Ok() ? "another quelma-collect is importing this station"
                                        : db.Error()};
        records.EnsureStationRow();
    });
    if (report.Failed())
        return report;
    // Photos travel on a second connection meanwhile: they keep the disk busy while the
    // records keep the server's processor busy.
    std::future<void> photoPart = std::async(
        std::launch::async, [&] { Attempt(photoReport, noBar, [&] { photos.ImportPhotos(); }); });
    Attempt(report, progress, [&] {
        records.ImportMembers();
        for (const auto& [year, name] : records.DataFiles())
            records.ImportDataFile(year, name);
    });
    photoPart.get();
    report.newPhotos = photoReport.newPhotos;
    report.damaged += photoReport.damaged;
    report.replaced += photoReport.replaced;
    report.notes.insert(report.notes.end(), photoReport.notes.begin(), photoReport.notes.end());
    if (report.failure.empty())
        report.failure = photoReport.failure;
    return report;
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
                      pg::Value(r, 0, 2) == notes && pg::Value(r, 0, 3) == report.failure;
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
         pg::Text(notes), pg::Text(report.failure)}));
}
