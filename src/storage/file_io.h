// Whole-file reads and the in-place writes the stored formats rely on. Portable C++ only:
// paths are ANSI byte strings, as the program uses them on Windows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace file_io {

enum class Read { Ok, CannotOpen, Failed };

// Why a file could not be opened, from the system's own error: only a missing file may be
// created anew; one that exists but is held or refused must be left alone.
enum class Failure { None, Missing, InUse, AccessDenied, Unreadable };

// Reads the whole file. Files here are small (a year of records is ~15 MB). `why` gets the
// reason of CannotOpen, and Unreadable for Failed.
Read ReadAll(const char* path, std::vector<uint8_t>& out, Failure* why = nullptr);

bool Exists(const char* path);

// A file opened for reading, for loaders that read straight into their own buffers.
class InputFile {
  public:
    explicit InputFile(const char* path);
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    bool IsOpen() const { return file_ != nullptr; }
    Failure OpenFailure() const { return failure_; }
    int64_t Size(); // -1 when unknown
    // True only when all `size` bytes were read.
    bool Read(void* data, size_t size);

  private:
    void* file_ = nullptr; // FILE*
    Failure failure_ = Failure::None;
};

// Creates (or empties) the file and writes the bytes.
bool CreateWith(const char* path, const void* data, size_t size);

// True when the file exists and holds no byte.
bool IsEmpty(const char* path);

enum class Created { Ok, Taken, Failed };
// Creates a file that must not exist yet, as one step: the bytes go to "<path>.new", are
// pushed to the disk, and the new file takes the name only while no other file has it, so
// a crash leaves no file or the whole one and an existing file is never emptied. A file of
// no bytes holds nothing and is replaced. Taken: another file has the name.
Created CreateNew(const char* path, const void* data, size_t size);

enum class Saved { Ok, CannotOpen, DiskFull, Failed };

// Writes a new file or replaces an existing one as one step: the bytes go to "<path>.new",
// are pushed to the disk, and the new file is renamed over `path`. A process that dies at
// any point leaves the old file (or none), never part of the new one. A failed write
// removes "<path>.new" and leaves `path` as it was.
Saved SaveWhole(const char* path, const void* data, size_t size);

// Replaces an existing file's content as one step: the bytes go to "<path>.new", are
// pushed to the disk, and the new file takes the old one's place, keeping its access
// rights. A process that dies at any point leaves either the old or the new content. Only
// where the folder allows no new file or no replacement (a standard user may write the
// file but not its folder) are the bytes written over the file from offset 0 instead; a
// write of "<path>.new" that fails (a full disk) leaves the file as it was. False when
// `path` cannot be opened for writing (nothing is created) or no write succeeded.
bool ReplaceExisting(const char* path, const void* data, size_t size);

// Test seam: after `bytes` more bytes, every write of this module fails as if the
// process had been killed there, or the disk were full (negative: no limit). Lets tests
// cut writes anywhere.
void SetWriteBudgetForTest(int64_t bytes);

// Test seam: a full disk. Writes may still overwrite bytes a file already has, but add
// none, as on a real volume without free clusters.
void SetDiskFullForTest(bool full);

// Test seam: notes every write ("write <bytes>"), flush and sync of this module in `log`
// (nullptr: stop), so tests can check what reaches the disk before what.
void RecordCallsForTest(std::vector<std::string>* log);

// One write session on an existing file, opened without creating or truncating it.
class InPlaceWriter {
  public:
    explicit InPlaceWriter(const char* path);
    ~InPlaceWriter();
    InPlaceWriter(const InPlaceWriter&) = delete;
    InPlaceWriter& operator=(const InPlaceWriter&) = delete;

    bool IsOpen() const { return file_ != nullptr; }
    bool WriteAt(int64_t offset, const void* data, size_t size);
    // Pushes what was written to the disk before the next step may depend on it.
    bool Flush();
    bool Close();

  private:
    void* file_ = nullptr; // FILE*
    bool ok_ = true;
};

} // namespace file_io
