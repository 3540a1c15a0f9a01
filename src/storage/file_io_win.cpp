#include "storage/file_io.h"

#include <windows.h>

#include <cerrno>

namespace file_io {

// rename() will not replace an existing file on Windows; MoveFileEx does, in one step.
bool RenameOver(const char* from, const char* to) {
    return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

// The C library folds a sharing violation and a denied access into one errno (EACCES);
// the system's own code, left by the CreateFile under fopen, tells them apart.
Failure LastOpenFailure() {
    const int error = errno;
    switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return Failure::Missing;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return Failure::InUse;
    case ERROR_ACCESS_DENIED:
        return Failure::AccessDenied;
    default:
        return error == ENOENT ? Failure::Missing : Failure::Unreadable;
    }
}

} // namespace file_io
