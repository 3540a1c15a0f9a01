#include "measure/free_space.h"

#include <windows.h>

namespace {

FreeSpaceQuery g_Query = nullptr;

using GetDiskFreeSpaceExFn = BOOL(WINAPI*)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER,
                                           PULARGE_INTEGER);

FreeSpace SystemFreeSpace() {
    // Looked up at run time: systems without the call report the space as unknown.
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    auto get = kernel ? reinterpret_cast<GetDiskFreeSpaceExFn>(
                            reinterpret_cast<void*>(GetProcAddress(kernel, "GetDiskFreeSpaceExA")))
                      : nullptr;
    if (!get)
        return {};
    ULARGE_INTEGER callerFree{}, total{}, totalFree{};
    if (!get("C:\\", &callerFree, &total, &totalFree))
        return {};
    return {true, totalFree.QuadPart};
}

} // namespace

FreeSpace QueryFreeSpace() {
    return g_Query ? g_Query() : SystemFreeSpace();
}

void SetFreeSpaceQuery(FreeSpaceQuery query) {
    g_Query = query;
}
