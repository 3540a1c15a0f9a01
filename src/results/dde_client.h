// The DDE client of the spreadsheet export: opens the workbook in the spreadsheet program
// through the shell, converses with it as service "Excel" and pokes the list's cells.
#pragma once

#include "framework/window.h"

#include <windows.h>

#include <ddeml.h>

#include <functional>
#include <string>

// Text of list row `row`, column `column` (0 "NO" to 9 "Photo"), as the list shows it.
using ExportCellSource = std::function<std::string(int row, int column)>;

struct ExportResult {
    bool connected = false;
    int pokesSent = 0;
    int pokesFailed = 0;
};

// A holder of DDE state; no window is ever created for it.
class CDDECli : public fw::Window {
  public:
    CDDECli() = default;
    ~CDDECli() override;

    int Connected = 0;
    DWORD Instance = 0;
    std::string Service;
    std::string Topic;
    HSZ ServiceHandle = nullptr;
    HSZ TopicHandle = nullptr;
    HCONV Conversation = nullptr;

    // Starts the spreadsheet program on `Topic` and converses with it; afterwards
    // `Connected` tells. Failures are shown to the operator over `owner`.
    void Connect(HWND owner = nullptr);

    // The "Excel" button: copies the template beside the shown data file (named from
    // `windowTitle`) unless a workbook is there already, opens it and pokes `rowCount`
    // rows of ten cells from sheet row 3 on. The cells are read before the connection
    // (cut to 255 characters, formula-safe); cells the spreadsheet refuses are reported
    // once at the end. While one export runs, another returns at once with nothing done.
    ExportResult ExportRows(HWND owner, const std::string& windowTitle, int rowCount,
                            const ExportCellSource& cell);

    // Ends the conversation and the DDE instance of the previous export, if any.
    void Disconnect();

  private:
    HCONV ConnectOnce();
    bool Poke(const std::string& item, const std::string& text);

    bool exporting_ = false;
};

extern CDDECli g_DdeClient;

// How long Connect waits for the spreadsheet program, in milliseconds: a first try after
// `firstTryMs` (the program's usual start-up), then retries until `giveUpMs` has passed.
struct DdeConnectTiming {
    DWORD firstTryMs = 1000;
    DWORD retryMs = 250;
    DWORD giveUpMs = 15000;
};
void SetDdeConnectTiming(const DdeConnectTiming& timing);
