#include "members/card_library.h"

#include <cstring>

namespace {

std::string FolderOf(const char* path) {
    const char* slash = std::strrchr(path, '\\');
    return slash ? std::string(path, static_cast<size_t>(slash - path) + 1) : std::string();
}

// The program's folder and System32 only: a library planted in the current folder or on the
// PATH is never loaded. Systems without these search flags (Windows 7 without KB2533623)
// refuse them with ERROR_INVALID_PARAMETER; there the two folders are named in full.
HMODULE LoadFromTrustedFolders(const char* fileName) {
    constexpr DWORD kSearch = LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32;
    if (HMODULE module = LoadLibraryExA(fileName, nullptr, kSearch))
        return module;
    if (GetLastError() != ERROR_INVALID_PARAMETER)
        return nullptr;
    char exe[MAX_PATH] = {};
    char system[MAX_PATH] = {};
    const DWORD exeLength = GetModuleFileNameA(nullptr, exe, sizeof exe);
    const UINT systemLength = GetSystemDirectoryA(system, sizeof system);
    const std::string folders[] = {
        exeLength > 0 && exeLength < sizeof exe ? FolderOf(exe) : std::string(),
        systemLength > 0 && systemLength < sizeof system ? std::string(system) + "\\"
                                                         : std::string()};
    for (const std::string& folder : folders) {
        if (folder.empty())
            continue;
        const std::string path = folder + fileName;
        if (HMODULE module = LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH))
            return module;
    }
    return nullptr;
}

} // namespace

bool CardLibrary::Load() {
    if (loaded_)
        return true;
    module_.Reset(LoadFromTrustedFolders(fileName_.c_str()));
    open_ = module_.Proc<OpenFn>("ACR120_Open");
    select_ = module_.Proc<SelectFn>("ACR120_Select");
    login_ = module_.Proc<LoginFn>("ACR120_Login");
    read_ = module_.Proc<ReadFn>("ACR120_Read");
    write_ = module_.Proc<WriteFn>("ACR120_Write");
    writeUserPort_ = module_.Proc<WriteUserPortFn>("ACR120_WriteUserPort");
    // A library missing any entry is not the reader's: use none of it.
    loaded_ = open_ && select_ && login_ && read_ && write_ && writeUserPort_;
    if (!loaded_)
        module_.Reset();
    return loaded_;
}

int16_t CardLibrary::Open(int16_t port) {
    return Load() ? open_(port) : kMissing;
}

int16_t CardLibrary::Select(int16_t handle, uint8_t& type, uint8_t& serialLength,
                            uint8_t (&serial)[kSerialRoom]) const {
    return loaded_ ? select_(handle, &type, &serialLength, serial) : kMissing;
}

int16_t CardLibrary::Login(int16_t handle, uint8_t sector, uint8_t keyType, uint8_t storedKey,
                           uint8_t (&key)[6]) const {
    return loaded_ ? login_(handle, sector, keyType, storedKey, key) : kMissing;
}

int16_t CardLibrary::Read(int16_t handle, uint8_t block, uint8_t (&data)[16]) const {
    return loaded_ ? read_(handle, block, data) : kMissing;
}

int16_t CardLibrary::Write(int16_t handle, uint8_t block, uint8_t (&data)[16]) const {
    return loaded_ ? write_(handle, block, data) : kMissing;
}

void CardLibrary::WriteUserPort(int16_t handle, uint8_t value) const {
    if (loaded_)
        writeUserPort_(handle, value);
}
