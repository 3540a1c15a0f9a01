// Applying the Setting dialog's stored copy to the running program.
#pragma once

#include "storage/records.h"

#include <windows.h>

// Starts or stops the Measure dialog's camera and opens the card reader as the change
// needs, copies `stored` over g_Settings (keeping MemberCount) and saves the file.
void ApplySettings(const AppSettings& stored, HWND owner);
