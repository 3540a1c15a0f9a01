// QUELMA.CFG and the year's data file as the program loads and writes them at run time,
// with their operator messages; the formats themselves are the storage folder's.
#pragma once

#include "storage/records.h"

#include <windows.h>

#include <string>

// Loads QUELMA.CFG, creating it only when there is none. False (message shown) when an
// existing file cannot be used: the program must end and leave it as it is.
bool LoadOrCreateConfig();
// Creates QUELMA.CFG with the defaults and the port the bridge is found on.
bool CreateConfig();

// Loads the current year's file into RecordTable, asking to create it only when it is
// missing. False (message shown) when the program must end.
bool LoadDataFile();
// Writes RecordTable to g_szDataFileName; "Data file open fail" on failure. Then the
// new-year rule: the first write in a new year closes the program.
bool WriteDataFile();

// Records whose write failed stay in RecordTable until a write succeeds.
int UnsavedRecordCount();
// "<n> measurement(s) ... not in the data file <name>."
std::string UnsavedRecordsText();
// Writes RecordTable when it holds such records; true when none is left. No message.
bool WriteUnsavedRecords();
// Before the program ends: tries once more and, while that fails, lets the operator try
// again or leave without them.
void WriteUnsavedRecordsBeforeExit(HWND owner);

// SaveSettings; a failure is told, since the settings then last only until the program ends.
void SaveSettingsOrSay(HWND owner);
// Writes `settings` with the members and says what happened, in one message.
void SaveSettingsAndSay(HWND owner, const AppSettings& settings);
