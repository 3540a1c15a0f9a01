#include "app/single_instance.h"

#include "app/main_frame.h"

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

// A kernel object name may not hold a backslash and is limited in length, so the folder
// goes in as a hash of its upper-case text without trailing backslashes: "C:\Quelma\" and
// "c:\quelma" are one folder.
std::string MutexName(const char* installDir) {
    size_t length = std::strlen(installDir);
    while (length > 0 && installDir[length - 1] == '\\')
        --length;
    uint64_t hash = 14695981039346656037ull; // FNV-1a
    for (size_t i = 0; i < length; ++i) {
        unsigned char c = static_cast<unsigned char>(installDir[i]);
        if (c >= 'a' && c <= 'z')
            c = static_cast<unsigned char>(c - 'a' + 'A');
        hash = (hash ^ c) * 1099511628211ull;
    }
    char name[64];
    // Global: a copy in another user's session on the same PC writes the same files.
    std::snprintf(name, sizeof name, "Global\\Quelma.%016llx",
                  static_cast<unsigned long long>(hash));
    return name;
}

} // namespace

SingleInstance::SingleInstance(const char* installDir) {
    const std::string name = MutexName(installDir);
    mutex_.Reset(CreateMutexA(nullptr, FALSE, name.c_str()));
    const DWORD error = GetLastError();
    // Another user's copy holds a mutex this account may not open: access denied.
    first_ = mutex_.Valid() ? error != ERROR_ALREADY_EXISTS : error != ERROR_ACCESS_DENIED;
}

void SingleInstance::ActivateRunning() {
    // The install folder comes from the one registry key, so a PC's running copy is the
    // one main window of this class.
    HWND frame = FindWindowA(CMainFrame::kClassName, nullptr);
    if (!frame)
        return;
    if (IsIconic(frame))
        ShowWindow(frame, SW_RESTORE);
    SetForegroundWindow(GetLastActivePopup(frame));
}
