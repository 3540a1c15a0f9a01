// The stand-in's window: the last conversation events in a list, so a demo shows the
// export arriving. It closes on WM_CLOSE or after some idle time.
#pragma once

#include <windows.h>

#include <string>

constexpr const char* kSheetWindowClass = "QuelmaSheetStandIn";

// Creates the window; false when that fails.
bool CreateSheetWindow(HINSTANCE instance, const std::string& caption);
void ShowSheetEvent(const std::string& line);
// The idle check: `lastActivity` as GetTickCount gives it.
void WatchIdle(DWORD idleLimitMs, DWORD (*lastActivity)());
// A workbook forwarded by a second start of the program arrives as WM_COPYDATA.
void OnWorkbookForwarded(void (*open)(const std::string& path));
