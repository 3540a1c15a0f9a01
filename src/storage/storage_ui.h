// The configuration and data file operations as the program runs them on the program-wide
// state, with their operator messages.
#pragma once

#include <string>

bool LoadConfig();
bool CreateConfig();
bool SaveSettings();
// Shows "Configuration file open fail" when the file cannot be opened; true when saved.
bool SaveMembers();

// g_szInstallDir + "Data\" + name; "" when that would not fit a path buffer.
std::string DataFilePath(const char* name);

// Loads the current year's file into RecordTable, asking to create it when it is missing.
// False (message shown) when the program must end.
bool LoadDataFile();
// Writes RecordTable to g_szDataFileName; "Data file open fail" on failure. Then the
// new-year rule: the first write in a new year closes the program.
bool WriteDataFile();
