#include "storage/file_io.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace file_io {

// rename() replaces the target in one step on POSIX file systems.
bool RenameOver(const char* from, const char* to) {
    return std::rename(from, to) == 0;
}

// A second name for the file fails when `to` exists; the first is then dropped.
Created RenameToFreeName(const char* from, const char* to) {
    if (link(from, to) != 0)
        return errno == EEXIST ? Created::Taken : Created::Failed;
    unlink(from);
    return Created::Ok;
}

// The replacement carries no rights of the old file to lose here: a POSIX rename keeps
// what the folder and the writing user give, as the old file had them.
bool ReplaceOver(const char* from, const char* to) {
    return RenameOver(from, to);
}

Failure LastOpenFailure() {
    switch (errno) {
    case ENOENT:
    case ENOTDIR:
        return Failure::Missing;
    case EACCES:
    case EPERM:
    case EROFS:
        return Failure::AccessDenied;
    case EBUSY:
    case ETXTBSY:
        return Failure::InUse;
    default:
        return Failure::Unreadable;
    }
}

} // namespace file_io
