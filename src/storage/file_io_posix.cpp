#include "storage/file_io.h"

#include <cerrno>
#include <cstdio>

namespace file_io {

// rename() replaces the target in one step on POSIX file systems.
bool RenameOver(const char* from, const char* to) {
    return std::rename(from, to) == 0;
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
