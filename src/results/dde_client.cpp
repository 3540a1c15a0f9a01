#include "results/dde_client.h"

#include "framework/busy_wait.h"
#include "framework/message_box.h"
#include "results/record_cells.h"
#include "results/workbook_path.h"
#include "storage/config_file.h"

#include <shellapi.h>

#include <cstdio>
#include <vector>

CDDECli g_DdeClient;

namespace {

constexpr DWORD kPokeTimeoutMs = 400;
constexpr int kCellsPerRow = 10;

DdeConnectTiming& Timing() {
    static DdeConnectTiming timing;
    return timing;
}

// The client acts on nothing the server sends.
HDDEDATA CALLBACK DdeCallback(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) {
    return nullptr;
}

// Row by row, ten cells each, as the spreadsheet must take them.
std::vector<std::string> CopyCells(int rowCount, const ExportCellSource& cell) {
    std::vector<std::string> cells;
    cells.reserve(static_cast<size_t>(rowCount > 0 ? rowCount : 0) * kCellsPerRow);
    for (int r = 0; r < rowCount; ++r) {
        for (int k = 0; k < kCellsPerRow; ++k) {
            std::string text = FormulaSafeCell(k, cell ? cell(r, k) : std::string());
            if (text.size() > kCellTextSize - 1)
                text.resize(kCellTextSize - 1);
            cells.push_back(std::move(text));
        }
    }
    return cells;
}

} // namespace

void SetDdeConnectTiming(const DdeConnectTiming& timing) {
    Timing() = timing;
}

CDDECli::~CDDECli() {
    Disconnect();
}

void CDDECli::Disconnect() {
    if (Conversation)
        DdeDisconnect(Conversation);
    Conversation = nullptr;
    if (Instance)
        DdeUninitialize(Instance);
    Instance = 0;
    Connected = 0;
}

void CDDECli::Connect(HWND owner) {
    // Each export starts afresh; the previous instance would otherwise stay open for good.
    Disconnect();
    const UINT init = DdeInitializeA(&Instance, DdeCallback, APPCMD_CLIENTONLY, 0);
    if (init != DMLERR_NO_ERROR) {
        char text[64];
        std::snprintf(text, sizeof text, "DDE Initialization Failed: 0x%04x\n", init);
        Instance = 0;
        fw::MessageBox(owner, text);
        return;
    }
    const auto shell = reinterpret_cast<INT_PTR>(
        ShellExecuteA(nullptr, "open", Topic.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (shell <= 32) {
        fw::MessageBox(owner, "Unable to Start DDE Server");
        Disconnect();
        return;
    }

    // A spreadsheet program on a busy machine may need longer than its usual second to
    // answer; keep trying for a while before giving up. The windows stay painted meanwhile,
    // and ExportRows keeps a second export out.
    const DdeConnectTiming timing = Timing();
    fw::WaitKeepingPainted(timing.firstTryMs);
    const DWORD start = GetTickCount();
    for (;;) {
        Conversation = ConnectOnce();
        if (Conversation || GetTickCount() - start >= timing.giveUpMs)
            break;
        fw::WaitKeepingPainted(timing.retryMs);
    }
    if (!Conversation) {
        fw::MessageBox(owner, "DDE Connection Failed.\n");
        Disconnect();
        return;
    }
    Connected = 1;
}

HCONV CDDECli::ConnectOnce() {
    ServiceHandle = DdeCreateStringHandleA(Instance, Service.c_str(), CP_WINANSI);
    TopicHandle = DdeCreateStringHandleA(Instance, Topic.c_str(), CP_WINANSI);
    HCONV conversation = nullptr;
    if (ServiceHandle && TopicHandle)
        conversation = DdeConnect(Instance, ServiceHandle, TopicHandle, nullptr);
    if (ServiceHandle)
        DdeFreeStringHandle(Instance, ServiceHandle);
    if (TopicHandle)
        DdeFreeStringHandle(Instance, TopicHandle);
    ServiceHandle = nullptr;
    TopicHandle = nullptr;
    return conversation;
}

bool CDDECli::Poke(const std::string& item, const std::string& text) {
    HSZ itemHandle = DdeCreateStringHandleA(Instance, item.c_str(), CP_WINANSI);
    if (!itemHandle)
        return false;
    DWORD result = 0;
    // The text goes with its terminating zero.
    HDDEDATA done = DdeClientTransaction(reinterpret_cast<LPBYTE>(const_cast<char*>(text.c_str())),
                                         static_cast<DWORD>(text.size() + 1), Conversation,
                                         itemHandle, CF_TEXT, XTYP_POKE, kPokeTimeoutMs, &result);
    DdeFreeStringHandle(Instance, itemHandle);
    if (!done) {
        DdeGetLastError(Instance); // clears the error; the caller counts the refusal
        return false;
    }
    // The low word holds the server's acknowledgement flags; some DDE libraries report a
    // negative acknowledgement only there.
    return (LOWORD(result) & DDE_FACK) != 0;
}

ExportResult CDDECli::ExportRows(HWND owner, const std::string& windowTitle, int rowCount,
                                 const ExportCellSource& cell) {
    ExportResult outcome;
    // The connection wait lets timers and sent messages run; none may start another export.
    if (exporting_)
        return outcome;
    fw::BusyFlag busy(exporting_);
    const std::string templatePath =
        InstallPath((std::string("Resources\\") + kTemplateName).c_str());
    FILE* probe = templatePath.empty() ? nullptr : std::fopen(templatePath.c_str(), "rb");
    if (!probe) {
        const std::string shown = templatePath.empty()
                                      ? std::string(g_szInstallDir) + "Resources\\" + kTemplateName
                                      : templatePath;
        char text[400];
        std::snprintf(text, sizeof text, "Format file : %s not found", shown.c_str());
        fw::MessageBox(owner, text);
        return outcome;
    }
    std::fclose(probe);

    const std::string workbook = WorkbookPath(windowTitle);
    if (workbook.empty()) {
        fw::MessageBox(owner, "No workbook name can be made from the window title");
        return outcome;
    }
    // An existing workbook is kept as it is: the operator may have saved work in it.
    CopyFileA(templatePath.c_str(), workbook.c_str(), TRUE);

    // The cells as they are now: whatever the list does while the pokes wait for the
    // spreadsheet, the sheet gets one consistent list.
    const std::vector<std::string> cells = CopyCells(rowCount, cell);

    Service = "Excel";
    Topic = workbook;
    Connect(owner);
    if (Connected != 1) {
        fw::MessageBox(owner, "Connection to server fails");
        return outcome;
    }
    outcome.connected = true;
    for (size_t i = 0; i < cells.size(); ++i) {
        const int r = static_cast<int>(i / kCellsPerRow), k = static_cast<int>(i % kCellsPerRow);
        if (Poke(CellItemName(r, k), cells[i]))
            ++outcome.pokesSent;
        else
            ++outcome.pokesFailed;
    }
    if (outcome.pokesFailed > 0) {
        char text[96];
        std::snprintf(text, sizeof text, "%d of %d cells were not accepted by the spreadsheet",
                      outcome.pokesFailed, outcome.pokesSent + outcome.pokesFailed);
        fw::MessageBox(owner, text);
    }
    return outcome;
}
