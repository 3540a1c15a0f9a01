// A station's data files and the generations of its years. A file continues the generation
// whose first record it shares and whose last imported record it still holds; a file that
// holds less of it is an older copy; a file whose first record no generation has, or that
// left a generation with records taken after it (a restored copy measured on), begins a new
// generation. Anything else changed what was imported, and is refused.
#include "collect/importer.h"
#include "collect/rows.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A large first import commits this many records at a time: a kill or a lost connection
// costs at most one batch, and the server never holds a huge transaction.
constexpr int kRecordBatch = 50000;
constexpr int64_t kRecordBarThreshold = 20000;
constexpr int kRecordSize = static_cast<int>(sizeof(MeasureRecord));

int64_t MtimeNs(const struct stat& st) {
    return static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

// A data file read in pieces: its count first, then its size, so that a file the station is
// appending to never looks shorter than its count says.
class RecordFile {
  public:
    explicit RecordFile(const std::string& path) : fd_(open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~RecordFile() {
        if (fd_ >= 0)
            close(fd_);
    }
    RecordFile(const RecordFile&) = delete;
    RecordFile& operator=(const RecordFile&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    bool ReadAt(void* data, size_t size, int64_t offset) const {
        auto* p = static_cast<char*>(data);
        while (size > 0) {
            const ssize_t n = pread(fd_, p, size, offset);
            if (n <= 0)
                return false;
            p += n, size -= static_cast<size_t>(n), offset += n;
        }
        return true;
    }
    bool Stat(struct stat& st) const { return fstat(fd_, &st) == 0; }
    bool Records(int from, int to, std::vector<MeasureRecord>& out) const {
        out.resize(static_cast<size_t>(to - from));
        return ReadAt(out.data(), out.size() * sizeof(MeasureRecord),
                      kDataHeaderSize + int64_t{from} * kRecordSize);
    }
    std::string Raw(int i) const {
        std::string raw(sizeof(MeasureRecord), '\0');
        return ReadAt(raw.data(), raw.size(), kDataHeaderSize + int64_t{i} * kRecordSize) ? raw
                                                                                          : "";
    }

  private:
    int fd_;
};

std::string RawOf(const MeasureRecord& r) {
    return std::string(reinterpret_cast<const char*>(&r), sizeof r);
}

int64_t TimeOf(const std::string& raw) {
    MeasureRecord r{};
    std::memcpy(&r, raw.data(), std::min(raw.size(), sizeof r));
    return r.Time;
}

} // namespace

std::string Identity(const std::string& raw) {
    return raw.substr(0, sizeof MeasureRecord::ID) + raw.substr(offsetof(MeasureRecord, Time), 8);
}

void Importer::LoadGenerations() {
    if (generationsLoaded_)
        return;
    pg::Result r = db_.Query("SELECT year, generation, coalesce(parent, 0), base, record_count, "
                             "first_raw, last_raw, size, mtime_ns FROM quelma.data_files WHERE "
                             "station = $1 ORDER BY year, generation",
                             {Name()});
    if (!r)
        FailDb("reading the data files imported");
    for (int i = 0; i < PQntuples(r.get()); ++i) {
        Generation g;
        g.year = std::stoi(pg::Value(r, i, 0));
        g.number = std::stoi(pg::Value(r, i, 1));
        g.parent = std::stoi(pg::Value(r, i, 2));
        g.base = std::stoi(pg::Value(r, i, 3));
        g.count = std::stoi(pg::Value(r, i, 4));
        const auto first = pg::ByteaValue(r, i, 5), last = pg::ByteaValue(r, i, 6);
        g.firstRaw.assign(first.begin(), first.end());
        g.lastRaw.assign(last.begin(), last.end());
        g.size = std::stoll(pg::Value(r, i, 7));
        g.mtimeNs = std::stoll(pg::Value(r, i, 8));
        generations_.push_back(std::move(g));
    }
    generationsLoaded_ = true;
}

// Records from..to-1 of the file the generation was imported from: those before its base are
// its parent's.
std::vector<std::string> Importer::StoredRecords(const Generation& g, int from, int to) {
    std::vector<std::string> raws;
    if (from < g.base) {
        auto parent =
            std::find_if(generations_.begin(), generations_.end(), [&](const Generation& p) {
                return p.year == g.year && p.number == g.parent;
            });
        if (parent == generations_.end())
            Fail("generation " + std::to_string(g.number) + " of " + std::to_string(g.year) +
                 " lost its parent");
        raws = StoredRecords(*parent, from, std::min(to, g.base));
        from = g.base;
    }
    if (from >= to)
        return raws;
    pg::Result r =
        db_.Query("SELECT raw FROM quelma.measurements WHERE station = $1 AND year = $2 "
                  "AND generation = $3 AND number >= $4 AND number < $5 ORDER BY number",
                  {Name(), pg::Text(std::to_string(g.year)), pg::Text(std::to_string(g.number)),
                   pg::Text(std::to_string(from)), pg::Text(std::to_string(to))});
    if (!r)
        FailDb("reading the records imported");
    for (int i = 0; i < PQntuples(r.get()); ++i) {
        const auto raw = pg::ByteaValue(r, i, 0);
        raws.emplace_back(raw.begin(), raw.end());
    }
    return raws;
}

void Importer::StoreRecords(Generation& g, const std::string& path, int from, int to, int64_t size,
                            int64_t mtimeNs, const std::string& shown) {
    RecordFile file(path);
    if (!file.IsOpen())
        FailRead(shown);
    const pg::Param year = pg::Text(std::to_string(g.year));
    const pg::Param generation = pg::Text(std::to_string(g.number));
    progress_.Start(st_.name + " " + shown, to - from, kRecordBarThreshold);
    std::vector<MeasureRecord> records;
    for (int i = from; i < to;) {
        if (g_stopRequested)
            throw Stopped{};
        const int end = std::min(to, i + kRecordBatch);
        if (!file.Records(i, end, records))
            FailRead(shown);
        if (!db_.Begin())
            FailDb(shown);
        {
            pg::CopyIn copy(db_, std::string("COPY quelma.measurements (") +
                                     rows::kMeasurementColumns + ") FROM STDIN");
            for (int n = i; n < end && copy.Ok(); ++n) {
                copy.Row(rows::MeasurementRow(st_.text, st_.name, g.year, g.number, n,
                                              records[static_cast<size_t>(n - i)]));
                if ((n - i) % 1000 == 999)
                    progress_.Advance(1000);
            }
            if (!copy.End()) {
                progress_.Done();
                db_.Rollback();
                Fail("database refused " + shown + ": " + copy.Error());
            }
        }
        // Records i..end-1 are newly stored in this transaction.
        const std::string last = RawOf(records.back());
        const bool whole = end == to;
        if (!db_.Query("INSERT INTO quelma.data_files (station, year, generation, parent, base, "
                       "record_count, first_raw, last_raw, size, mtime_ns) VALUES ($1, $2, $3, "
                       "nullif($4, 0), $5, $6, $7, $8, $9, $10) ON CONFLICT (station, year, "
                       "generation) DO UPDATE SET record_count = excluded.record_count, last_raw "
                       "= excluded.last_raw, size = excluded.size, mtime_ns = excluded.mtime_ns",
                       {Name(), year, generation, pg::Text(std::to_string(g.parent)),
                        pg::Text(std::to_string(g.base)), pg::Text(std::to_string(end)),
                        pg::Bytes(g.firstRaw.data(), g.firstRaw.size()),
                        pg::Bytes(last.data(), last.size()),
                        pg::Text(std::to_string(whole ? size : -1)),
                        pg::Text(std::to_string(whole ? mtimeNs : -1))}) ||
            !db_.Commit())
            FailDb(shown);
        g.count = end;
        g.lastRaw = last;
        g.size = whole ? size : -1;
        g.mtimeNs = whole ? mtimeNs : -1;
        report_.newRecords += end - i;
        i = end;
    }
    progress_.Done();
}

void Importer::ImportDataFile(int year, const std::string& path, const std::string& shown) {
    LoadGenerations();
    const bool inFolder = year != 0;
    struct stat before {};
    if (stat(path.c_str(), &before) != 0)
        FailRead(shown);
    // Unchanged since its last import: not even opened.
    if (inFolder && std::any_of(generations_.begin(), generations_.end(), [&](const Generation& g) {
            return g.year == year && g.size == before.st_size && g.mtimeNs == MtimeNs(before);
        }))
        return Fine(shown);

    RecordFile file(path);
    int32_t header[2] = {0, 0};
    if (!file.IsOpen())
        FailRead(shown);
    if (!file.ReadAt(header, sizeof header, 0))
        return Trouble(shown, "shorter than a data file's header; skipped");
    struct stat st {};
    if (!file.Stat(st))
        FailRead(shown);
    if (header[1] != kDataFileMagic)
        return Trouble(shown, "not a data file (wrong magic number); skipped");
    if (header[0] < 0)
        return Trouble(shown, "its record count is negative; skipped");
    const int whole = static_cast<int>(
        std::min<int64_t>((st.st_size - kDataHeaderSize) / kRecordSize, header[0]));
    const int usable = std::min(header[0], whole);
    const int64_t size = usable == header[0] && inFolder ? st.st_size : -1;
    const int64_t mtimeNs = MtimeNs(st);
    auto settle = [&] {
        if (usable < header[0])
            return Trouble(shown, "holds " + std::to_string(usable) + " of the " +
                                      std::to_string(header[0]) + " records it counts; the " +
                                      std::to_string(usable) + " whole ones are imported");
        Fine(shown);
    };
    if (usable == 0)
        return settle();
    const std::string first = file.Raw(0);
    std::vector<Generation*> candidates;
    for (Generation& g : generations_)
        if ((!inFolder || g.year == year) && Identity(g.firstRaw) == Identity(first))
            candidates.push_back(&g);

    // The generation this file goes on with: the longest whose last record it still holds.
    Generation* continued = nullptr;
    for (Generation* g : candidates)
        if (g->count <= usable && g->firstRaw == first && file.Raw(g->count - 1) == g->lastRaw &&
            (!continued || g->count > continued->count))
            continued = g;
    if (continued) {
        if (usable > continued->count)
            StoreRecords(*continued, path, continued->count, usable,
                         inFolder ? size : continued->size, inFolder ? mtimeNs : continued->mtimeNs,
                         shown);
        else if (inFolder && size >= 0 &&
                 (continued->size != size || continued->mtimeNs != mtimeNs)) {
            // The same records with a new date: remembered so the next run skips the file.
            if (!db_.Query("UPDATE quelma.data_files SET size = $4, mtime_ns = $5 WHERE station "
                           "= $1 AND year = $2 AND generation = $3",
                           {Name(), pg::Text(std::to_string(continued->year)),
                            pg::Text(std::to_string(continued->number)),
                            pg::Text(std::to_string(size)), pg::Text(std::to_string(mtimeNs))}))
                FailDb(shown);
            continued->size = size;
            continued->mtimeNs = mtimeNs;
        }
        return settle();
    }
    // An older copy of a generation: everything it holds is stored already.
    for (Generation* g : candidates)
        if (g->count > usable && g->firstRaw == first &&
            StoredRecords(*g, usable - 1, usable) == std::vector<std::string>{file.Raw(usable - 1)})
            return settle();

    Generation fresh;
    fresh.firstRaw = first;
    if (candidates.empty()) {
        MeasureRecord r0{};
        std::memcpy(&r0, first.data(), sizeof r0);
        fresh.year = inFolder ? year : st_.text.LocalYear(r0.Time);
    } else {
        // Where the file leaves each generation it began as; the one it follows longest.
        std::vector<MeasureRecord> records;
        if (!file.Records(0, usable, records))
            FailRead(shown);
        int leaves = -1;
        Generation* from = nullptr;
        int64_t latest = 0;
        for (Generation* g : candidates) {
            const int n = std::min(g->count, usable);
            const std::vector<std::string> stored = StoredRecords(*g, 0, n);
            int k = 0;
            while (k < n && k < static_cast<int>(stored.size()) &&
                   stored[static_cast<size_t>(k)] == RawOf(records[static_cast<size_t>(k)]))
                ++k;
            if (k <= leaves)
                continue;
            leaves = k, from = g, latest = 0;
            for (const std::string& raw : StoredRecords(*g, 0, g->count))
                latest = std::max(latest, TimeOf(raw));
        }
        // Records taken after everything the generation held were measured on a restored
        // copy; a changed record among them was changed afterwards.
        if (leaves >= usable || records[static_cast<size_t>(leaves)].Time <= latest) {
            Replaced(shown, "record " + std::to_string(leaves) +
                                " differs from the one already imported (file replaced?)");
            return;
        }
        fresh.year = from->year;
        fresh.parent = from->number;
        fresh.base = fresh.count = leaves;
    }
    for (const Generation& g : generations_)
        if (g.year == fresh.year)
            fresh.number = std::max(fresh.number, g.number);
    // The first file of a year is no news; another one is the operator's doing.
    report_.newDataFile = report_.newDataFile || fresh.number > 0;
    ++fresh.number;
    generations_.push_back(fresh);
    StoreRecords(generations_.back(), path, fresh.count, usable, size, mtimeNs, shown);
    settle();
}
