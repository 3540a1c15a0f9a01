#include "storage/storage_ui.h"

#include "framework/app.h"
#include "framework/message_box.h"
#include "storage/config_file.h"
#include "storage/data_file.h"
#include "storage/registry.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <ctime>

namespace {

HWND MainWindow() {
    fw::App* app = fw::App::Current();
    return app ? app->MainWindow() : nullptr;
}

std::string ConfigPath() { return InstallPath(kConfigFileName); }

} // namespace

bool LoadConfig() {
    const std::string path = ConfigPath();
    return !path.empty() && LoadConfigFile(path.c_str(), g_Settings, MemberTable);
}

bool CreateConfig() {
    const std::string path = ConfigPath();
    if (path.empty())
        return false;
    int port = 0;
    SearchComPort(&port);
    return CreateConfigFile(path.c_str(), port, g_Settings, MemberTable);
}

bool SaveSettings() {
    const std::string path = ConfigPath();
    return !path.empty() && SaveSettingsFile(path.c_str(), g_Settings, MemberTable);
}

bool SaveMembers() {
    const std::string path = ConfigPath();
    SaveMembersResult result = path.empty()
                                   ? SaveMembersResult::CannotOpen
                                   : SaveMembersFile(path.c_str(), g_Settings, MemberTable);
    if (result == SaveMembersResult::CannotOpen) {
        fw::MessageBox(nullptr, "Configuration file open fail");
        return false;
    }
    return true;
}

std::string DataFilePath(const char* name) {
    return InstallPath((std::string("Data\\") + name).c_str());
}

bool LoadDataFile() {
    const std::string name = DataFileName(std::time(nullptr));
    std::snprintf(g_szDataFileName, sizeof g_szDataFileName, "%s", name.c_str());
    const std::string path = DataFilePath(g_szDataFileName);
    if (path.empty()) {
        fw::MessageBox(nullptr, "Install folder path too long");
        return false;
    }

    switch (ReadDataFile(path.c_str(), RecordTable)) {
    case DataLoad::Loaded:
        return true;
    case DataLoad::Broken: {
        char text[128];
        std::snprintf(text, sizeof text, "%s is broken data file", g_szDataFileName);
        fw::MessageBox(nullptr, text);
        return false;
    }
    case DataLoad::NoMemory:
        fw::MessageBox(nullptr, "Data buffer memory allocation fail");
        return false;
    case DataLoad::CannotOpen:
        break;
    }

    if (!fw::AskYesNo(nullptr, "Data file open fail. Create new one ?"))
        return false;
    g_nDeviceTotal = 0;
    if (!ResetRecordTable(RecordTable)) {
        fw::MessageBox(nullptr, "Data buffer memory allocation fail");
        return false;
    }
    if (!CreateDataFile(path.c_str())) {
        fw::MessageBox(nullptr, "Data file creation fail. Check the Data folder");
        return false;
    }
    return true;
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
