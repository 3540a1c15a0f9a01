// The world of the Registration, Setting and Backup dialog tests: an install folder of its
// own with QUELMA.CFG and the year's data file, message boxes answered in-process, virtual
// cards for the stand-in reader library, and a driver that acts on a modal dialog from a
// timer of the test's own thread while the dialog's modal loop runs.
#pragma once

#include "framework/message_box.h"
#include "members/card_reader.h"
#include "storage/config_file.h"
#include "storage/data_file.h"
#include "wine/install_world.h"

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
using namespace wine_harness;

// "1 M001 Alice" per row.
inline std::vector<std::string> Rows(HWND list) {
    std::vector<std::string> rows;
    for (int r = 0; r < ListCount(list); ++r)
        rows.push_back(ListText(list, r, 0) + " " + ListText(list, r, 1) + " " +
                       ListText(list, r, 2));
    return rows;
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

// The install world with QUELMA.CFG holding five members.
class DialogWorldTest : public InstallWorldTest {
  protected:
    void SetUp() override {
        InstallWorldTest::SetUp();
        WriteConfig({Member("M001", "Alice"), Member("M002", "Bob"), Member("A003", "Carol"),
                     Member("M004", "Dora"), Member("M005", "Emil")});
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
};

} // namespace dialog_world
