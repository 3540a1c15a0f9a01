// A station's Photo folder. Photos already stored are known by name, size and date and are
// not read again; each new one is read and checked on its own, so one that cannot be read
// now (held by a virus scan, a name the share cannot map) is tried again next run and keeps
// no other photo out.
#include "collect/importer.h"
#include "collect/sha256.h"
#include "camera/frame_format.h"
#include "storage/file_io.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <map>
#include <optional>

namespace fs = std::filesystem;

namespace {

constexpr int64_t kPhotoBarThreshold = 200;
// A photo file is a frame and its headers; anything larger is no photo.
constexpr uint64_t kMaxPhotoBytes = kMaxFrameBytes + kBmpFileHeaderSize;
// Photos go to the database in transactions of about this many bytes.
constexpr size_t kPhotoBatchBytes = 64u << 20;

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

} // namespace

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
        PhotoFile f{name, st_.text.Utf8FileName(name), 0, 0};
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
        if (g_stopRequested) {
            db_.Rollback();
            throw Stopped{};
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
            Damaged(rel, "larger than any camera frame; skipped");
            continue;
        }
        std::vector<uint8_t> bytes;
        if (file_io::ReadAll((folder / f->name).string().c_str(), bytes) != file_io::Read::Ok) {
            if (!fs::is_directory(st_.dir, ec))
                Fail("the folder " + st_.dir + " is gone");
            Unreadable(rel);
            continue;
        }
        if (auto damage = PhotoDamage(bytes)) {
            Damaged(rel, *damage + "; skipped");
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
