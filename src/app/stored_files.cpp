#include "app/stored_files.h"

#include "framework/app.h"
#include "framework/message_box.h"
#include "storage/config_file.h"
#include "storage/data_file.h"
#include "storage/registry.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <string>

namespace {

HWND MainWindow() {
    fw::App* app = fw::App::Current();
    return app ? app->MainWindow() : nullptr;
}

// A file that exists but cannot be used: named with the reason, and never replaced.
void ShowOpenFailure(const std::string& path, file_io::Failure why) {
    const char* format = "%s cannot be read.\r\nIt was not changed.";
    if (why == file_io::Failure::InUse)
        format = "%s is in use by another program.\r\nIt was not changed. Start Quelma again "
                 "when that program has closed it.";
    else if (why == file_io::Failure::AccessDenied)
        format = "%s cannot be opened: access denied.\r\nIt was not changed. Check the "
                 "rights on the file.";
    char text[512];
    std::snprintf(text, sizeof text, format, path.c_str());
    fw::MessageBox(nullptr, text);
}

// "<name> is broken <kind> file": the file stays as it is, the program ends.
void ShowBroken(const char* name, const char* kind) {
    char text[128];
    std::snprintf(text, sizeof text, "%s is broken %s file", name, kind);
    fw::MessageBox(nullptr, text);
}

enum class Restore { NothingToRestore, Restored, Failed };

// A save cut after the old file was removed leaves the whole list in "QUELMA.CFG.new" only;
// writing defaults then would replace the members with placeholders.
Restore RestoreConfigFromNew(const std::string& path) {
    const std::string staged = path + ".new";
    if (ReadConfigFile(staged.c_str(), g_Settings, MemberTable) != ConfigLoad::Loaded)
        return Restore::NothingToRestore;
    char text[512];
    // An empty QUELMA.CFG is replaced; its rights, the installation's, are lost with it.
    if (!MoveFileExA(staged.c_str(), path.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        std::snprintf(text, sizeof text,
                      "%s is missing and %s.new cannot take its place.\r\nNeither was changed. "
                      "Check the rights on the install folder.",
                      kConfigFileName, kConfigFileName);
        fw::MessageBox(nullptr, text);
        return Restore::Failed;
    }
    std::snprintf(text, sizeof text,
                  "%s was missing or empty.\r\nIt was restored from %s.new, the last save.",
                  kConfigFileName, kConfigFileName);
    fw::MessageBox(nullptr, text);
    return Restore::Restored;
}

} // namespace

bool CreateConfig() {
    const std::string path = ConfigPath();
    if (path.empty())
        return false;
    int port = 0;
    SearchComPort(&port);
    return CreateConfigFile(path.c_str(), port, g_Settings, MemberTable);
}

bool LoadOrCreateConfig() {
    const std::string path = ConfigPath();
    file_io::Failure why = file_io::Failure::Missing;
    const ConfigLoad load = path.empty()
                                ? ConfigLoad::CannotOpen
                                : ReadConfigFile(path.c_str(), g_Settings, MemberTable, &why);
    switch (load) {
    case ConfigLoad::Loaded:
        return true;
    case ConfigLoad::CannotOpen:
        if (why != file_io::Failure::Missing) {
            ShowOpenFailure(path, why);
            return false;
        }
        [[fallthrough]];
    case ConfigLoad::Empty:
        switch (RestoreConfigFromNew(path)) {
        case Restore::Restored:
            return true;
        case Restore::Failed:
            return false;
        case Restore::NothingToRestore:
            break;
        }
        break;
    case ConfigLoad::Broken:
        ShowBroken(kConfigFileName, "configuration");
        return false;
    case ConfigLoad::NoMemory:
        fw::MessageBox(nullptr, "Member buffer memory allocation fail");
        return false;
    }
    if (!CreateConfig()) {
        fw::MessageBox(nullptr, "Configuration file creation fail");
        g_Settings = AppSettings{};
    }
    return true;
}

bool LoadDataFile() {
    const std::string name = DataFileName(std::time(nullptr));
    std::snprintf(g_szDataFileName, sizeof g_szDataFileName, "%s", name.c_str());
    const std::string path = DataFilePath(g_szDataFileName);
    if (path.empty()) {
        fw::MessageBox(nullptr, "Install folder path too long");
        return false;
    }

    // A second pass only when a file took the name while the question was up (a share
    // that came back): that file is loaded, never replaced.
    for (int pass = 0; pass < 2; ++pass) {
        file_io::Failure why = file_io::Failure::None;
        switch (ReadDataFile(path.c_str(), RecordTable, &why)) {
        case DataLoad::Loaded:
            return true;
        case DataLoad::Broken:
            // No byte at all: a creation that never finished; nothing in it can be lost.
            if (file_io::IsEmpty(path.c_str()))
                break;
            ShowBroken(g_szDataFileName, "data");
            return false;
        case DataLoad::NoMemory:
            fw::MessageBox(nullptr, "Data buffer memory allocation fail");
            return false;
        case DataLoad::CannotOpen:
            if (why != file_io::Failure::Missing) {
                ShowOpenFailure(path, why);
                return false;
            }
            break;
        }

        if (pass == 0 && !fw::AskYesNo(nullptr, "Data file open fail. Create new one ?"))
            return false;
        g_nDeviceTotal = 0;
        if (!ResetRecordTable(RecordTable)) {
            fw::MessageBox(nullptr, "Data buffer memory allocation fail");
            return false;
        }
        bool taken = false;
        if (CreateDataFile(path.c_str(), &taken))
            return true;
        if (!taken)
            break;
    }
    fw::MessageBox(nullptr, "Data file creation fail. Check the Data folder");
    return false;
}

bool WriteDataFile() {
    const std::string path = DataFilePath(g_szDataFileName);
    if (path.empty() || !WriteDataFile(path.c_str(), RecordTable)) {
        fw::MessageBox(MainWindow(), "Data file open fail");
        return false;
    }
    if (DataFileName(std::time(nullptr)) != g_szDataFileName) {
        fw::MessageBox(MainWindow(), "It is New year, a data file per a year \r\nRestart "
                                     "program and create a new data file.");
        PostMessageA(MainWindow(), WM_CLOSE, 0, 0);
    }
    return true;
}

int UnsavedRecordCount() {
    return std::max(0, RecordTable.Count() - std::max(0, RecordTable.savedCount));
}

std::string UnsavedRecordsText() {
    const int count = UnsavedRecordCount();
    char text[160];
    std::snprintf(text, sizeof text, "%d %s not in the data file %s.", count,
                  count == 1 ? "measurement is" : "measurements are", g_szDataFileName);
    return text;
}

bool WriteUnsavedRecords() {
    if (UnsavedRecordCount() == 0)
        return true;
    const std::string path = DataFilePath(g_szDataFileName);
    return !path.empty() && WriteDataFile(path.c_str(), RecordTable);
}

void WriteUnsavedRecordsBeforeExit(HWND owner) {
    while (!WriteUnsavedRecords()) {
        const std::string question =
            UnsavedRecordsText() + "\r\nTry to write again ?  (No: exit without writing)";
        if (!fw::AskYesNo(owner, question.c_str()))
            return;
    }
}

namespace {

constexpr const char* kSettingsNotWritten =
    "QUELMA.CFG could not be written.\r\nThe settings apply only until the program ends.";

} // namespace

void SaveSettingsOrSay(HWND owner) {
    if (!SaveSettings())
        fw::MessageBox(owner, kSettingsNotWritten);
}

void SaveSettingsAndSay(HWND owner, const AppSettings& settings) {
    AppSettings stored = settings;
    stored.MemberCount = g_Settings.MemberCount; // only the Registration dialog changes it
    const std::string path = ConfigPath();
    const bool saved = !path.empty() && SaveSettingsFile(path.c_str(), stored, MemberTable);
    fw::MessageBox(owner, saved ? "Setting save O.K" : kSettingsNotWritten);
}
