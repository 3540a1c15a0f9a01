// The world of the Registration, Setting and Backup dialog tests: an install folder of its
// own with QUELMA.CFG and the year's data file, message boxes answered in-process, virtual
// cards for the stand-in reader library, and a driver that acts on a modal dialog from a
// timer of the test's own thread while the dialog's modal loop runs.
#pragma once

#include "framework/message_box.h"
#include "members/card_reader.h"
#include "storage/config_file.h"
#include "storage/data_file.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace dialog_world {

namespace fs = std::filesystem;

inline std::string WindowText(HWND hwnd) {
    char text[512] = {};
    GetWindowTextA(hwnd, text, sizeof text);
    return text;
}

inline std::string ItemText(HWND dialog, int id) {
    char text[512] = {};
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

inline std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void SetItem(HWND dialog, int id, const char* text) {
    SetDlgItemTextA(dialog, id, text);
}

inline void Click(HWND dialog, int id) {
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

// Runs this thread's messages until `done` or the time is up.
inline bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    return true;
}

inline void PumpFor(DWORD ms) {
    PumpUntil([] { return false; }, ms);
}

inline int ListCount(HWND list) {
    return static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
}

inline std::string ListText(HWND list, int row, int column) {
    char text[260] = {};
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    return text;
}

// "1 M001 Alice" per row.
inline std::vector<std::string> Rows(HWND list) {
    std::vector<std::string> rows;
    for (int r = 0; r < ListCount(list); ++r)
        rows.push_back(ListText(list, r, 0) + " " + ListText(list, r, 1) + " " +
                       ListText(list, r, 2));
    return rows;
}

inline MemberEntry Member(const char* id, const char* name) {
    MemberEntry m{};
    SetField(m.ID, id);
    SetField(m.Name, name);
    m.InUse = 1;
    return m;
}

// The visible top-level window of this thread with exactly this caption.
inline HWND FindThreadWindow(const char* caption) {
    struct Search {
        const char* caption;
        HWND found;
    } search{caption, nullptr};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND hwnd, LPARAM lp) -> BOOL {
            auto* s = reinterpret_cast<Search*>(lp);
            if (WindowText(hwnd) != s->caption || !IsWindowVisible(hwnd))
                return TRUE;
            s->found = hwnd;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Runs `run`, which shows a modal dialog captioned `caption`, and calls `script` with the
// dialog once it is up. A dialog the script leaves open is ended with -2, so no test can
// hang; the script's own Exit or close gives the dialog's own result.
class ModalDriver {
  public:
    static bool Drive(const char* caption, const std::function<void(HWND)>& script,
                      const std::function<void()>& run) {
        Instance().caption_ = caption;
        Instance().script_ = script;
        Instance().seen_ = false;
        SetTimer(nullptr, 0, 30, Tick);
        run();
        Instance().script_ = nullptr;
        return Instance().seen_;
    }

  private:
    static ModalDriver& Instance() {
        static ModalDriver driver;
        return driver;
    }
    static void CALLBACK Tick(HWND, UINT, UINT_PTR id, DWORD) {
        ModalDriver& self = Instance();
        HWND dialog = FindThreadWindow(self.caption_.c_str());
        if (!dialog || self.seen_)
            return;
        KillTimer(nullptr, id);
        self.seen_ = true;
        if (self.script_)
            self.script_(dialog);
        if (IsWindow(dialog) && IsWindowVisible(dialog))
            EndDialog(dialog, -2);
    }
    std::string caption_;
    std::function<void(HWND)> script_;
    bool seen_ = false;
};

// CRC-16/XMODEM, bit by bit: the check of a card record, written apart from the program's.
inline uint16_t Crc16(const uint8_t* data, size_t size) {
    uint16_t crc = 0;
    for (size_t i = 0; i < size; ++i) {
        crc = static_cast<uint16_t>(crc ^ (data[i] << 8));
        for (int bit = 0; bit < 8; ++bit)
            crc = static_cast<uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    return crc;
}

// A card folder for the stand-in ACR120U.dll and a reader object opened on it.
class CardFolder {
  public:
    static constexpr const char* kKey = "3A7C51E2089D";

    CardFolder() {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        folder_ = fs::path(temp) / ("quelma-regcards-" + std::to_string(GetCurrentProcessId()) +
                                    "-" + std::to_string(GetTickCount()));
        fs::create_directories(folder_);
        SetEnvironmentVariableA("QUELMA_CARD_DIR", folder_.string().c_str());
        Control("");
        CreateCardReader();
    }
    ~CardFolder() {
        DeleteCardReader();
        g_hCardReader = -1;
        SetEnvironmentVariableA("QUELMA_CARD_DIR", nullptr);
        std::error_code ec;
        fs::remove_all(folder_, ec);
    }
    CardFolder(const CardFolder&) = delete;
    CardFolder& operator=(const CardFolder&) = delete;

    void Open() { g_hCardReader = OpenCardReader(); }

    // A card holding a valid record with these texts (empty: a card with nothing on it).
    void MakeCard(const std::string& name, const char* id, const char* member,
                  const char* serial = "1A2B3C4D") {
        uint8_t area[32] = {};
        if (id)
            std::memcpy(area, id, std::min<size_t>(std::strlen(id), 9));
        if (member)
            std::memcpy(area + 10, member, std::min<size_t>(std::strlen(member), 19));
        if (id || member) {
            const uint16_t crc = Crc16(area, 30);
            area[30] = static_cast<uint8_t>(crc >> 8);
            area[31] = static_cast<uint8_t>(crc);
        }
        std::ostringstream text;
        text << "type=1\nserial=" << serial << "\nsectors=16\nkey1=" << kKey << "\nkey2=" << kKey
             << "\nblock4=" << Hex(area, 16) << "\nblock5=" << Hex(area + 16, 16) << "\n";
        std::ofstream(folder_ / (name + ".card"), std::ios::trunc) << text.str();
    }
    // reader.txt lines, e.g. "card=alice\nfault=write:5".
    void Control(const std::string& lines) {
        std::ofstream(folder_ / "reader.txt", std::ios::trunc) << lines << "\n";
    }

    struct CardRecord {
        std::string id, name;
        bool valid = false;
    };
    CardRecord Read(const std::string& card) const {
        uint8_t area[32] = {};
        std::ifstream in(folder_ / (card + ".card"));
        for (std::string line; std::getline(in, line);) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            for (int block : {4, 5}) {
                const std::string key = "block" + std::to_string(block) + "=";
                if (line.rfind(key, 0) == 0)
                    FromHex(line.substr(key.size()), area + (block - 4) * 16);
            }
        }
        CardRecord r;
        r.id.assign(reinterpret_cast<char*>(area), strnlen(reinterpret_cast<char*>(area), 10));
        r.name.assign(reinterpret_cast<char*>(area + 10),
                      strnlen(reinterpret_cast<char*>(area + 10), 20));
        r.valid = Crc16(area, 32) == 0;
        return r;
    }
    // The user-port values written so far ("0x44", "0x00", ...).
    std::vector<std::string> UserPort() const {
        std::vector<std::string> values;
        std::ifstream in(folder_ / "userport.log");
        for (std::string handle, value; in >> handle >> value;)
            values.push_back(value);
        return values;
    }
    int Calls(const std::string& name) const {
        std::ifstream in(folder_ / "calls.log");
        int n = 0;
        for (std::string line; std::getline(in, line);)
            n += line.rfind(name, 0) == 0 ? 1 : 0;
        return n;
    }
    void ClearLogs() {
        std::error_code ec;
        fs::remove(folder_ / "calls.log", ec);
        fs::remove(folder_ / "userport.log", ec);
    }

  private:
    static std::string Hex(const uint8_t* data, size_t n) {
        static const char digits[] = "0123456789ABCDEF";
        std::string out;
        for (size_t i = 0; i < n; ++i) {
            out += digits[data[i] >> 4];
            out += digits[data[i] & 15];
        }
        return out;
    }
    static void FromHex(const std::string& hex, uint8_t* out) {
        for (size_t i = 0; i + 1 < hex.size() && i / 2 < 16; i += 2)
            out[i / 2] = static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16));
    }
    fs::path folder_;
};

// Program-wide state saved and restored around each test; an install folder of its own
// holding QUELMA.CFG with the given members and an empty data file of the year.
class DialogWorldTest : public ::testing::Test {
  protected:
    void SetUp() override {
        savedSettings_ = g_Settings;
        savedSortColumn_ = g_SortColumn;
        savedSortAscending_ = g_SortAscending;
        std::memcpy(savedDir_, g_szInstallDir, sizeof savedDir_);
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        static int serial = 0;
        folder_ = fs::path(temp) / ("quelma-dialogs-" + std::to_string(GetCurrentProcessId()) +
                                    "-" + std::to_string(++serial));
        for (const char* sub : {"Data", "Photo", "Resources"})
            fs::create_directories(folder_ / sub);
        SetField(g_szInstallDir, (folder_.string() + "\\").c_str());

        g_Settings = DefaultSettings(13);
        g_Settings.UseSound = 0;
        WriteConfig({Member("M001", "Alice"), Member("M002", "Bob"), Member("A003", "Carol"),
                     Member("M004", "Dora"), Member("M005", "Emil")});
        SetField(g_szDataFileName, DataFileName(std::time(nullptr)).c_str());
        std::ofstream(DataPath(), std::ios::binary).write("\0\0\0\0\xd2\x02\x96\x49", 8);

        fw::SetMessageBoxHook([this](const char* text, UINT type) {
            messages.push_back(text);
            return (type & MB_YESNO) ? answer : IDOK;
        });
    }
    void TearDown() override {
        fw::SetMessageBoxHook(nullptr);
        g_Settings = savedSettings_;
        g_SortColumn = savedSortColumn_;
        g_SortAscending = savedSortAscending_;
        std::memcpy(g_szInstallDir, savedDir_, sizeof savedDir_);
        std::error_code ec;
        fs::remove_all(folder_, ec);
    }

    // Writes QUELMA.CFG with g_Settings and these members and loads it as start-up does.
    void WriteConfig(const std::vector<MemberEntry>& members) {
        g_Settings.MemberCount = static_cast<int>(members.size());
        std::ofstream out(ConfigPath(), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(&g_Settings), sizeof g_Settings);
        for (const MemberEntry& m : members)
            out.write(reinterpret_cast<const char*>(&m), sizeof m);
        out.close();
        ASSERT_TRUE(LoadConfigFile(ConfigPath().c_str(), g_Settings, MemberTable));
    }
    // The settings and "ID/Name" of each member in QUELMA.CFG.
    AppSettings FileSettings() const {
        AppSettings s{};
        std::ifstream(ConfigPath(), std::ios::binary).read(reinterpret_cast<char*>(&s), sizeof s);
        return s;
    }
    std::vector<std::string> FileMembers() const {
        std::ifstream in(ConfigPath(), std::ios::binary);
        AppSettings s{};
        in.read(reinterpret_cast<char*>(&s), sizeof s);
        std::vector<std::string> out;
        for (int i = 0; i < s.MemberCount; ++i) {
            MemberEntry m{};
            in.read(reinterpret_cast<char*>(&m), sizeof m);
            out.push_back(std::string(m.ID) + "/" + m.Name);
        }
        return out;
    }
    std::string ConfigPath() const { return (folder_ / "QUELMA.CFG").string(); }
    std::string DataPath() const { return (folder_ / "Data" / g_szDataFileName).string(); }

    std::vector<std::string> messages;
    int answer = IDYES;
    fs::path folder_;

  private:
    AppSettings savedSettings_{};
    int savedSortColumn_ = 0;
    int savedSortAscending_ = 1;
    char savedDir_[sizeof g_szInstallDir] = {};
};

} // namespace dialog_world
