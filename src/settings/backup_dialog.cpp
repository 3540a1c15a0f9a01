#include "settings/backup_dialog.h"

#include "analyzer/measure_state.h"
#include "app/stored_files.h"
#include "framework/busy_wait.h"
#include "framework/message_box.h"
#include "res/resource.h"
#include "settings/settings_ids.h"
#include "storage/data_file.h"

#include <commdlg.h>

#include <ctime>
#include <vector>

namespace {

using namespace backup_ids;

constexpr DWORD kNameChars = 256;

} // namespace

CBackup::CBackup(HWND mainWindow) : fw::Dialog(IDD_BACKUP), m_hMainWnd(mainWindow) {
}

BOOL CBackup::OnInitDialog() {
    m_BackupButton.Attach(hwnd(), kBackupButton);
    m_OkButton.Attach(hwnd(), IDOK);
    m_BackupButton.SetImage(IDB_BACKUP, 1.0f, 0.0f, RGB(0, 0, 0), nullptr);
    m_OkButton.SetImage(IDB_EXIT, 1.0f, 0.0f, RGB(0, 0, 0), nullptr);

    m_Path = ::DataFilePath(DataFileName(std::time(nullptr)).c_str());
    if (m_Path.empty() || !ReadDataFileInfo(m_Path.c_str(), m_Info)) {
        fw::MessageBox(hwnd(), "File open fail.");
        return TRUE;
    }
    SetItemText(kPathEdit, m_Path.c_str());
    SetItemText(kSizeText, FileSizeText(m_Info).c_str());
    SetItemText(kDurationText, DurationText(m_Info).c_str());
    return TRUE;
}

bool CBackup::OnCommand(int id, int code, HWND) {
    if (id != kBackupButton || code != BN_CLICKED)
        return false;
    OnBackup();
    return true;
}

bool CBackup::ChooseBackupName(std::string& name) {
    std::vector<char> file(kNameChars, 0);
    name.copy(file.data(), kNameChars - 1);
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = hwnd();
    ofn.lpstrFilter = "Data File\0*.DAT\0Text\0*.TXT\0";
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = kNameChars;
    // A backup goes to a new file: the name must be free to type, only its folder must exist.
    ofn.Flags = OFN_PATHMUSTEXIST;
    if (!GetSaveFileNameA(&ofn))
        return false;
    name = file.data();
    return true;
}

// The file is copied and then deleted: a result stored in between would go with it, and a
// record still waiting for its write would never reach the copy.
bool CBackup::ReadyToMove() {
    if (!BackupAllowed(g_nMeasureState, g_bMeasurementInFlight)) {
        fw::MessageBox(hwnd(), "A measurement is under way.\r\nBackup when its result has "
                               "been stored.");
        return false;
    }
    if (!WriteUnsavedRecords()) {
        fw::MessageBox(hwnd(), (UnsavedRecordsText() + "\r\nNo backup was made.").c_str());
        return false;
    }
    return true;
}

void CBackup::OnBackup() {
    if (!ReadyToMove())
        return;
    if (!fw::AskYesNo(hwnd(), "Backup will backup and delete original file. Continue ?"))
        return;
    std::string name = BackupSuggestion(m_Path);
    if (!ChooseBackupName(name))
        return;
    const std::string target = BackupTarget(name);
    // The save dialog let the Measure window work meanwhile.
    if (!ReadyToMove())
        return;

    // From the copy until the program closes no measurement may start in the Measure
    // window: its record would go to a data file that no longer exists.
    fw::InputBlock hold;
    // An existing file is never overwritten; the data file stays unless the copy is whole.
    if (m_Path.empty() || !CopyFileA(m_Path.c_str(), target.c_str(), TRUE)) {
        fw::MessageBox(hwnd(), "Backup fail");
        return;
    }
    if (!DeleteFileA(m_Path.c_str())) {
        fw::MessageBox(hwnd(), "Backup file is made, but the data file could not be deleted");
        return;
    }
    fw::MessageBox(hwnd(), "Backup is completed. \r\nRestart program and create a new data file.");
    PostMessageA(m_hMainWnd, WM_CLOSE, 0, 0);
    EndDialog(IDOK);
}
