#include <windows.h>

namespace file_io {

// rename() will not replace an existing file on Windows; MoveFileEx does, in one step.
bool RenameOver(const char* from, const char* to) {
    return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

} // namespace file_io
