#include "storage/file_io.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <string>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace file_io {

// file_io_posix.cpp / file_io_win.cpp
bool RenameOver(const char* from, const char* to);
// Gives `from` the name `to` only when no file has that name; Taken when one does.
Created RenameToFreeName(const char* from, const char* to);
// Puts `from` in the place of the existing `to`, keeping what belongs to the file rather
// than to its content (its access rights). False when `to` is left as it was.
bool ReplaceOver(const char* from, const char* to);
// The reason of the open that failed just now on this thread.
Failure LastOpenFailure();

namespace {

int64_t g_writeBudget = -1;
bool g_diskFull = false;
std::vector<std::string>* g_callLog = nullptr;

void NoteCall(const std::string& call) {
    if (g_callLog)
        g_callLog->push_back(call);
}

bool Seek(FILE* f, int64_t offset, int origin = SEEK_SET);
int64_t Tell(FILE* f);

// The bytes from the current position to the end of the file: all a full disk still takes.
size_t BytesUpToEnd(FILE* f, size_t size) {
    const int64_t at = Tell(f);
    if (at < 0 || !Seek(f, 0, SEEK_END))
        return 0;
    const int64_t end = Tell(f);
    Seek(f, at);
    return end > at ? static_cast<size_t>(std::min<int64_t>(end - at, static_cast<int64_t>(size)))
                    : 0;
}

// fwrite that honours the test seams: a cut write stores only what the budget allows, a
// full disk only what overwrites the file's own bytes.
bool PutBytes(FILE* f, const void* data, size_t size) {
    if (size == 0)
        return true;
    size_t allowed = size;
    if (g_writeBudget >= 0 && static_cast<int64_t>(size) > g_writeBudget)
        allowed = static_cast<size_t>(g_writeBudget);
    if (g_diskFull)
        allowed = BytesUpToEnd(f, allowed);
    const size_t written = allowed ? std::fwrite(data, 1, allowed, f) : 0;
    if (g_writeBudget >= 0)
        g_writeBudget -= static_cast<int64_t>(written);
    if (written != size && allowed < size)
        errno = ENOSPC;
    NoteCall("write " + std::to_string(size));
    return written == size;
}

FILE* AsFile(void* p) {
    return static_cast<FILE*>(p);
}

int FlushFile(FILE* f) {
    NoteCall("flush");
    return std::fflush(f);
}

int SyncToDisk(FILE* f) {
    NoteCall("sync");
#ifdef _WIN32
    return _commit(_fileno(f));
#else
    return fsync(fileno(f));
#endif
}

bool Seek(FILE* f, int64_t offset, int origin) {
#ifdef _WIN32
    return _fseeki64(f, offset, origin) == 0;
#else
    return fseeko(f, static_cast<off_t>(offset), origin) == 0;
#endif
}

int64_t Tell(FILE* f) {
#ifdef _WIN32
    return _ftelli64(f);
#else
    return static_cast<int64_t>(ftello(f));
#endif
}
// Creates (or empties) the file, writes the bytes and pushes them to the disk.
Saved WriteNew(const char* path, const void* data, size_t size) {
    FILE* f = std::fopen(path, "wb");
    if (!f)
        return Saved::CannotOpen;
    errno = 0;
    bool ok = PutBytes(f, data, size) && FlushFile(f) == 0 && SyncToDisk(f) == 0;
    int error = errno;
    if (std::fclose(f) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok)
        return Saved::Ok;
    return error == ENOSPC ? Saved::DiskFull : Saved::Failed;
}
} // namespace

Read ReadAll(const char* path, std::vector<uint8_t>& out, Failure* why) {
    out.clear();
    FILE* f = std::fopen(path, "rb");
    if (!f) {
        if (why)
            *why = LastOpenFailure();
        return Read::CannotOpen;
    }
    uint8_t chunk[65536];
    size_t n;
    bool ok = true;
    try {
        while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0)
            out.insert(out.end(), chunk, chunk + n);
    } catch (...) {
        ok = false;
    }
    if (std::ferror(f))
        ok = false;
    std::fclose(f);
    if (why)
        *why = ok ? Failure::None : Failure::Unreadable;
    return ok ? Read::Ok : Read::Failed;
}

InputFile::InputFile(const char* path) : file_(std::fopen(path, "rb")) {
    if (!file_)
        failure_ = LastOpenFailure();
}

InputFile::~InputFile() {
    if (file_)
        std::fclose(AsFile(file_));
}

int64_t InputFile::Size() {
    if (!file_)
        return -1;
    FILE* f = AsFile(file_);
    const int64_t here = Tell(f);
    if (here < 0 || !Seek(f, 0, SEEK_END))
        return -1;
    const int64_t size = Tell(f);
    Seek(f, here);
    return size;
}

bool InputFile::Read(void* data, size_t size) {
    return file_ && (size == 0 || std::fread(data, 1, size, AsFile(file_)) == size);
}

bool Exists(const char* path) {
    FILE* f = std::fopen(path, "rb");
    if (!f)
        return false;
    std::fclose(f);
    return true;
}

bool CreateWith(const char* path, const void* data, size_t size) {
    return WriteNew(path, data, size) == Saved::Ok;
}

bool IsEmpty(const char* path) {
    InputFile in(path);
    return in.IsOpen() && in.Size() == 0;
}

Created CreateNew(const char* path, const void* data, size_t size) {
    const std::string temp = std::string(path) + ".new";
    if (WriteNew(temp.c_str(), data, size) != Saved::Ok) {
        std::remove(temp.c_str());
        return Created::Failed;
    }
    if (g_writeBudget == 0)
        return Created::Failed; // cut there (test): "<path>.new" stays as a crash leaves it
    Created placed = RenameToFreeName(temp.c_str(), path);
    if (placed == Created::Taken && IsEmpty(path))
        placed = RenameOver(temp.c_str(), path) ? Created::Ok : Created::Failed;
    if (placed != Created::Ok)
        std::remove(temp.c_str());
    return placed;
}

Saved SaveWhole(const char* path, const void* data, size_t size) {
    const std::string temp = std::string(path) + ".new";
    const Saved written = WriteNew(temp.c_str(), data, size);
    if (written != Saved::Ok) {
        std::remove(temp.c_str());
        return written;
    }
    if (g_writeBudget == 0 || !RenameOver(temp.c_str(), path)) {
        // A cut (test) leaves "<path>.new" as a killed process would; a failed rename
        // leaves the old file as it was.
        if (g_writeBudget != 0)
            std::remove(temp.c_str());
        return Saved::Failed;
    }
    return Saved::Ok;
}

bool ReplaceExisting(const char* path, const void* data, size_t size) {
    {
        InPlaceWriter probe(path);
        if (!probe.IsOpen())
            return false;
    }
    const std::string temp = std::string(path) + ".new";
    const Saved staged = WriteNew(temp.c_str(), data, size);
    if (staged == Saved::Ok && g_writeBudget == 0)
        return false; // cut there (test): a killed process rewrites nothing
    if (staged == Saved::Ok && ReplaceOver(temp.c_str(), path))
        return true;
    if (staged == Saved::Ok && !Exists(path))
        return false; // the old file is gone: the new content stays in "<path>.new"
    std::remove(temp.c_str());
    // A write that failed (a full disk) would fail over the file too, and tear it.
    if (staged != Saved::Ok && staged != Saved::CannotOpen)
        return false;
    // No right to create or replace beside the file: the format's own in-place rewrite.
    InPlaceWriter out(path);
    const bool written = out.WriteAt(0, data, size) && out.Flush();
    return out.Close() && written;
}

void SetWriteBudgetForTest(int64_t bytes) {
    g_writeBudget = bytes;
}

void SetDiskFullForTest(bool full) {
    g_diskFull = full;
}

void RecordCallsForTest(std::vector<std::string>* log) {
    g_callLog = log;
}

InPlaceWriter::InPlaceWriter(const char* path) : file_(std::fopen(path, "r+b")) {
}

InPlaceWriter::~InPlaceWriter() {
    Close();
}

bool InPlaceWriter::WriteAt(int64_t offset, const void* data, size_t size) {
    if (!file_ || !ok_)
        return false;
    FILE* f = AsFile(file_);
    ok_ = Seek(f, offset) && PutBytes(f, data, size);
    return ok_;
}

bool InPlaceWriter::Flush() {
    if (!file_ || !ok_)
        return false;
    FILE* f = AsFile(file_);
    ok_ = FlushFile(f) == 0 && SyncToDisk(f) == 0;
    return ok_;
}

bool InPlaceWriter::Close() {
    if (!file_)
        return false;
    bool ok = FlushFile(AsFile(file_)) == 0 && ok_;
    ok = std::fclose(AsFile(file_)) == 0 && ok;
    file_ = nullptr;
    return ok;
}

} // namespace file_io
