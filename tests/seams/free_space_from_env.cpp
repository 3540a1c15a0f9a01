// Linked only into quelma_seams.exe, the test build of the program: the free bytes of "C:\"
// come from QUELMA_TEST_FREE_BYTES (a decimal byte count; anything else reads as unknown),
// so end-to-end tests can drive the "Disk full !!!" guard. The shipped quelma.exe has no
// such override.
#include "measure/free_space.h"

#include <windows.h>

namespace {

FreeSpace FromEnvironment() {
    char text[32] = {};
    const DWORD n = GetEnvironmentVariableA("QUELMA_TEST_FREE_BYTES", text, sizeof text);
    FreeSpace space;
    space.known = n > 0 && n < sizeof text && ParseFreeBytes(text, &space.bytes);
    return space;
}

[[maybe_unused]] const bool g_installed = [] {
    if (GetEnvironmentVariableA("QUELMA_TEST_FREE_BYTES", nullptr, 0) > 0)
        SetFreeSpaceQuery(FromEnvironment);
    return true;
}();

} // namespace
