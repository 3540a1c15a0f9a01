// The world the dialog tests run in: an install folder of its own with Data, Photo and
// Resources and an empty data file of the year, settings of a test machine (COM13, no
// sound), message boxes answered in-process, and the program-wide state put back after.
#pragma once

#include "framework/message_box.h"
#include "storage/config_file.h"
#include "storage/data_file.h"
#include "wine/wine_harness.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace wine_harness {

class InstallWorldTest : public ::testing::Test {
  protected:
    void SetUp() override {
        savedSettings_ = g_Settings;
        savedSortColumn_ = g_SortColumn;
        savedSortAscending_ = g_SortAscending;
        std::memcpy(savedDir_, g_szInstallDir, sizeof savedDir_);
        folder_ = NewTempFolder("quelma-world");
        for (const char* sub : {"Data", "Photo", "Resources"})
            std::filesystem::create_directories(folder_ / sub);
        SetField(g_szInstallDir, (folder_.string() + "\\").c_str());

        g_Settings = DefaultSettings(13);
        g_Settings.UseSound = 0;
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
        std::filesystem::remove_all(folder_, ec);
    }

    std::string ConfigPath() const { return (folder_ / "QUELMA.CFG").string(); }
    std::string DataPath() const { return (folder_ / "Data" / g_szDataFileName).string(); }

    std::vector<std::string> messages;
    int answer = IDYES; // to every yes/no question
    std::filesystem::path folder_;

  private:
    AppSettings savedSettings_{};
    int savedSortColumn_ = 0;
    int savedSortAscending_ = 1;
    char savedDir_[sizeof g_szInstallDir] = {};
};

} // namespace wine_harness
