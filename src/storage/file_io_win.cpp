#include "storage/file_io.h"

#include <windows.h>

#include <cerrno>

namespace file_io {

// rename() will not replace an existing file on Windows; MoveFileEx does, in one step.
bool RenameOver(const char* from, const char* to) {
    return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

// Without MOVEFILE_REPLACE_EXISTING the move fails when a file has the name.
Created RenameToFreeName(const char* from, const char* to) {
    if (MoveFileExA(from, to, MOVEFILE_WRITE_THROUGH))
        return Created::Ok;
    const DWORD error = GetLastError();
    return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS ? Created::Taken
                                                                       : Created::Failed;
}

// ReplaceFileA gives the new file the old one's attributes and access rights (QUELMA.CFG
// carries the Users grant of the installation; a renamed file would get the folder's
// inherited rights instead). Without a backup name, a failure may have removed the old
// file already (ERROR_UNABLE_TO_MOVE_REPLACEMENT): the new content then takes the name.
// https://learn.microsoft.com/windows/win32/api/winbase/nf-winbase-replacefilea
bool ReplaceOver(const char* from, const char* to) {
    if (ReplaceFileA(to, from, nullptr, 0, nullptr, nullptr))
        return true;
    if (GetFileAttributesA(to) != INVALID_FILE_ATTRIBUTES)
        return false;
    return MoveFileExA(from, to, MOVEFILE_WRITE_THROUGH) != 0;
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
