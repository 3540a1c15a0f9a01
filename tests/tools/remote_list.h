// Reads and selects report-list items of another process. List messages that carry a
// pointer need it to point into the list's own process: the item and its text buffer are
// placed there with VirtualAllocEx and copied across.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <string>

class RemoteListAccess {
  public:
    static constexpr size_t kTextChars = 512;

    explicit RemoteListAccess(HWND list) : list_(list) {
        DWORD pid = 0;
        GetWindowThreadProcessId(list, &pid);
        process_ =
            OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
        if (process_)
            address_ = static_cast<char*>(VirtualAllocEx(
                process_, nullptr, sizeof(LVITEMA) + kTextChars, MEM_COMMIT, PAGE_READWRITE));
    }
    ~RemoteListAccess() {
        if (address_)
            VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
        if (process_)
            CloseHandle(process_);
    }
    RemoteListAccess(const RemoteListAccess&) = delete;
    RemoteListAccess& operator=(const RemoteListAccess&) = delete;

    bool Ok() const { return address_ != nullptr; }
    int Count() const { return static_cast<int>(SendMessageA(list_, LVM_GETITEMCOUNT, 0, 0)); }

    std::string Text(int row, int column) {
        LVITEMA item{};
        item.iSubItem = column;
        item.cchTextMax = static_cast<int>(kTextChars - 1);
        item.pszText = address_ + sizeof(LVITEMA);
        WriteProcessMemory(process_, address_, &item, sizeof item, nullptr);
        // The answer is the text's length: an empty cell needs no read across processes.
        const LRESULT length = SendMessageA(list_, LVM_GETITEMTEXTA, static_cast<WPARAM>(row),
                                            reinterpret_cast<LPARAM>(address_));
        if (length <= 0)
            return std::string();
        char text[kTextChars] = {};
        const size_t size =
            static_cast<size_t>(length) < kTextChars ? static_cast<size_t>(length) : kTextChars - 1;
        ReadProcessMemory(process_, address_ + sizeof(LVITEMA), text, size, nullptr);
        return std::string(text, strnlen(text, size));
    }

    // Selects and focuses a row; the list then tells its parent (item changed).
    void Select(int row) {
        LVITEMA item{};
        item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        item.state = LVIS_SELECTED | LVIS_FOCUSED;
        WriteProcessMemory(process_, address_, &item, sizeof item, nullptr);
        SendMessageA(list_, LVM_SETITEMSTATE, static_cast<WPARAM>(row),
                     reinterpret_cast<LPARAM>(address_));
    }

  private:
    HWND list_;
    HANDLE process_ = nullptr;
    char* address_ = nullptr;
};
