#include "storage/registry.h"

#include "storage/config_file.h"

#include <windows.h>

#include <cstring>

namespace {

// Both keys are only read. Read access is what a standard account has under
// HKEY_LOCAL_MACHINE; asking for more (KEY_ALL_ACCESS) is refused to it, and with the
// asInvoker manifest no registry virtualisation steps in.
class RegistryKey {
  public:
    RegistryKey(HKEY root, const char* path, REGSAM view = 0) {
        if (RegOpenKeyExA(root, path, 0, KEY_QUERY_VALUE | view, &key_) != ERROR_SUCCESS)
            key_ = nullptr;
    }
    ~RegistryKey() {
        if (key_)
            RegCloseKey(key_);
    }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    bool IsOpen() const { return key_ != nullptr; }

    // A string value into a 260-byte buffer, always terminated.
    bool ReadString(const char* name, char (&out)[260]) const {
        DWORD type = 0, size = sizeof out - 1;
        std::memset(out, 0, sizeof out);
        if (RegQueryValueExA(key_, name, nullptr, &type, reinterpret_cast<BYTE*>(out), &size) !=
            ERROR_SUCCESS)
            return false;
        return type == REG_SZ || type == REG_EXPAND_SZ;
    }

  private:
    HKEY key_ = nullptr;
};

} // namespace

int ReadInstallDir() {
    g_szInstallDir[0] = 0;
    // The 64-bit view for the 32-bit program too (on 32-bit Windows the flag is ignored):
    // both programs read the one key, wherever they run.
    RegistryKey key(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vantrel\\Quelma\\Settings", KEY_WOW64_64KEY);
    if (!key.IsOpen())
        return 0;
    char path[260];
    if (!key.ReadString("Path", path) || !path[0])
        return 0;
    size_t length = std::strlen(path);
    // Room for the backslash and the longest relative path the program appends is
    // checked where each path is built; here only the folder itself must fit.
    if (length + 2 > sizeof g_szInstallDir)
        return 0;
    std::memcpy(g_szInstallDir, path, length);
    g_szInstallDir[length] = '\\';
    g_szInstallDir[length + 1] = 0;
    return 1;
}

int SearchComPort(int* port) {
    RegistryKey key(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM");
    if (!key.IsOpen())
        return 0;
    char data[260];
    if (!key.ReadString("\\Device\\slabser0", data) && !key.ReadString("\\Device\\silabser0", data))
        return 0;
    int index;
    if (!ParseComPortName(data, &index))
        return 0;
    *port = index;
    return 1;
}
