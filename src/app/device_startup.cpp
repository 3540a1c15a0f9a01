#include "app/device_startup.h"

#include "analyzer/comm_port.h"
#include "app/quelma_view.h"
#include "app/stored_files.h"
#include "framework/frame_window.h"
#include "framework/message_box.h"
#include "members/card_reader.h"
#include "storage/config_file.h"
#include "storage/data_file.h"
#include "storage/registry.h"

#include <windows.h>
#include <mmsystem.h>

#include <ctime>

namespace {

HFONT CreateDisplayFont() {
    return CreateFontA(30, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_CHARACTER_PRECIS, CLIP_CHARACTER_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH,
                       "Courier New");
}

void OpenSerialChannel(HWND view) {
    if (CCommPort::Open(g_Settings.Port, view) == 0)
        return;
    if (!fw::AskYesNo(view, "Serial port open fail. Do you want auto search ?"))
        return;
    int port = g_Settings.Port;
    if (!SearchComPort(&port)) {
        fw::MessageBox(view, "Module search fail");
        return;
    }
    if (port != g_Settings.Port) {
        g_Settings.Port = port;
        SaveSettingsOrSay(view);
    }
    if (CCommPort::Open(g_Settings.Port, view) != 0)
        fw::MessageBox(view, "Serial port open fail");
}

} // namespace

void RunDeviceStartup(CQuelmaView& view) {
    view.m_DisplayFont.Reset(CreateDisplayFont());

    if (g_Settings.UseSound) {
        const std::string sound = InstallPath("Resources\\START");
        if (!sound.empty())
            sndPlaySoundA(sound.c_str(), SND_ASYNC | SND_NODEFAULT);
    }

    if (g_Settings.UseIdCard) {
        g_hCardReader = OpenCardReader();
        if (g_hCardReader < 0)
            fw::MessageBox(view.hwnd(), "Card reader open fail.");
    }

    OpenSerialChannel(view.hwnd());

    if (auto* frame = static_cast<fw::FrameWindow*>(fw::Window::FromHandle(GetParent(view.hwnd()))))
        frame->SetDocumentTitle(DataFileName(std::time(nullptr)).c_str());

    WriteUserPort(g_hCardReader, 0);
}
