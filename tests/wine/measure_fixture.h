// The world of the Measure dialog tests: an install folder of its own, the program-wide
// tables filled with known members and records, a stand-in main view that records the
// commands it gets, message boxes answered in-process, and the analyzer simulator.
#pragma once

#include "analyzer/comm_port.h"
#include "analyzer/measure_state.h"
#include "framework/message_box.h"
#include "res/resource.h"
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

namespace measure_test {

namespace fs = std::filesystem;
using namespace wine_harness;

inline MeasureRecord Record(const char* id, const char* name, int mode, float value, int64_t time) {
    MeasureRecord r{};
    SetField(r.ID, id);
    SetField(r.Name, name);
    r.Mode = static_cast<uint8_t>(mode);
    r.Level = 1;
    r.Unit = 1;
    r.Value = value;
    r.Low = 0.02f;
    r.Hi = 0.05f;
    r.Time = time;
    return r;
}

// The install world with the measurement's tables: known members, no records, no channel.
class MeasureWorldTest : public InstallWorldTest {
  protected:
    void SetUp() override {
        InstallWorldTest::SetUp();
        g_Settings = {.UseSound = 0,
                      .UseIdCard = 0,
                      .UseWebCam = 0,
                      .Mode = kModeNormal,
                      .Low = 0.03f,
                      .Hi = 0.08f,
                      .Port = 13,
                      .Speed = 2,
                      .MemberCount = 0};
        SetMembers({Member("M001", "Alice"), Member("M002", "Bob"), Member("A003", "Carol"),
                    Member("M00100000", "Dora")});
        ResetRecordTable(RecordTable);
        std::memset(&g_CurrentRecord, 0, sizeof g_CurrentRecord);
        std::memset(&g_NextSubject, 0, sizeof g_NextSubject);
        g_bMeasurementInFlight = false;
        g_nDeviceTotal = 0;
        g_nMeasureState = MeasureState::Idle;
    }
    void TearDown() override {
        CCommPort::Close();
        ResetRecordTable(RecordTable);
        g_nMeasureState = MeasureState::Idle;
        InstallWorldTest::TearDown();
    }

    void SetMembers(const std::vector<MemberEntry>& members) {
        MemberTable.slots = members;
        for (int i = 0; i < 3; ++i) {
            MemberEntry free{};
            MakeFreeSlot(free);
            MemberTable.slots.push_back(free);
        }
        MemberTable.loaded = true;
        g_Settings.MemberCount = static_cast<int>(members.size());
    }
    void SetRecords(const std::vector<MeasureRecord>& records) {
        ResetRecordTable(RecordTable);
        for (const MeasureRecord& r : records)
            AppendToTable(RecordTable, r);
        WriteDataFile(DataPath().c_str(), RecordTable);
    }
};

} // namespace measure_test
