// The DDE side of the stand-in spreadsheet program: service "Excel", one topic per open
// workbook (its full path), CF_TEXT pokes to items such as "r3c1". Every conversation
// event goes to a log file as one tab-separated line, for tests to read:
//   OPEN <path> | MISSING <path> | CONNECT <topic> | POKE <topic> <item> <text> |
//   REFUSED <topic> <item> | DISCONNECT <topic>
// Tabs and line breaks inside texts are written as \t, \r and \n.
#pragma once

#include <windows.h>

#include <ddeml.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

class SheetServer {
  public:
    // `logPath` "" logs beside each workbook, as "<workbook>.log".
    explicit SheetServer(std::string logPath);
    ~SheetServer();
    SheetServer(const SheetServer&) = delete;
    SheetServer& operator=(const SheetServer&) = delete;

    bool Start();
    // A workbook the program was asked to open; false when the file is not there.
    bool OpenWorkbook(const std::string& path);
    // Called with each log line, for the window's list.
    void SetObserver(std::function<void(const std::string&)> observer) {
        observer_ = std::move(observer);
    }
    DWORD LastActivity() const { return lastActivity_; }
    // A spreadsheet slowed down or picky: each poke waits `delayMs` before its answer, and
    // pokes to the items named in `refused` (comma-separated, e.g. "r3c2,r4c1") are refused.
    void SetPokeRules(DWORD delayMs, std::string refused) {
        pokeDelayMs_ = delayMs;
        refused_ = "," + refused + ",";
    }

  private:
    static HDDEDATA CALLBACK Callback(UINT type, UINT format, HCONV conv, HSZ hsz1, HSZ hsz2,
                                      HDDEDATA data, ULONG_PTR, ULONG_PTR);
    HDDEDATA Handle(UINT type, UINT format, HCONV conv, HSZ hsz1, HSZ hsz2, HDDEDATA data);
    std::string Text(HSZ hsz) const;
    bool IsOpenWorkbook(const std::string& topic) const;
    void Log(const std::string& topic, const std::vector<std::string>& fields);

    std::string logPath_;
    DWORD instance_ = 0;
    HSZ service_ = nullptr;
    std::vector<std::string> workbooks_; // full paths
    std::map<HCONV, std::string> topics_;
    std::function<void(const std::string&)> observer_;
    DWORD lastActivity_ = GetTickCount();
    DWORD pokeDelayMs_ = 0;
    std::string refused_;
};
