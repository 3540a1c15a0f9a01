// Sockets first: winsock2.h must come before windows.h.
#include <winsock2.h>

#include "app/quelma_app.h"

#include "app/main_frame.h"
#include "app/single_instance.h"
#include "app/stored_files.h"
#include "framework/message_box.h"
#include "members/card_reader.h"
#include "analyzer/comm_port.h"
#include "storage/config_file.h"
#include "storage/data_file.h"
#include "storage/registry.h"

#include <commctrl.h>
#include <ole2.h>

namespace {
constexpr int kFatalExitCode = -1;
}

CQuelmaApp::CQuelmaApp() = default;
CQuelmaApp::~CQuelmaApp() = default;

bool CQuelmaApp::Fail(const char* message) {
    if (message)
        fw::MessageBox(nullptr, message);
    exitCode_ = kFatalExitCode;
    return false;
}

bool CQuelmaApp::InitInstance() {
    INITCOMMONCONTROLSEX controls{sizeof controls, 0xFF};
    InitCommonControlsEx(&controls);

    MemberTable.slots.clear();
    MemberTable.loaded = false;

    if (!ReadInstallDir())
        return Fail("Registery search fail. Reinstall program");

    // Before any file is touched: a second copy only shows the running one.
    instance_ = std::make_unique<SingleInstance>(g_szInstallDir);
    if (!instance_->IsFirst()) {
        SingleInstance::ActivateRunning();
        return false;
    }

    if (!LoadOrCreateConfig())
        return Fail(nullptr);

    g_nDeviceTotal = 0;
    if (!LoadDataFile())
        return Fail(nullptr);

    g_hCardReader = -1;
    CreateCardReader();

    WSADATA wsa;
    if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0)
        return Fail("Windows sockets initialization failed.");
    socketsUp_ = true;
    if (FAILED(OleInitialize(nullptr)))
        return Fail("OLE initialization failed.  Make sure that the OLE libraries are the "
                    "correct version.");
    oleUp_ = true;

    frame_ = std::make_unique<CMainFrame>();
    if (!frame_->CreateMainFrame())
        return Fail(nullptr);
    SetMainWindow(frame_->hwnd());
    frame_->InitialUpdate();

    ShowWindow(frame_->hwnd(), SW_SHOWMAXIMIZED);
    UpdateWindow(frame_->hwnd());
    DragAcceptFiles(frame_->hwnd(), TRUE);
    return true;
}

int CQuelmaApp::ExitInstance(int loopResult) {
    if (g_pCommPort)
        CCommPort::Close();
    MemberTable.slots.clear();
    MemberTable.loaded = false;
    RecordTable.records.clear();
    RecordTable.records.shrink_to_fit();
    DeleteCardReader();
    frame_.reset();
    if (oleUp_)
        OleUninitialize();
    if (socketsUp_)
        WSACleanup();
    return exitCode_ ? exitCode_ : loopResult;
}
