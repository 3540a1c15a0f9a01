// The Backup dialog: shows the current year's data file (path, size, the dates of its first
// and last record) and moves it to a file the operator chooses: copy, then delete the
// original, then close the program so the next start begins a new file.
#pragma once

#include "controls/image_button.h"
#include "framework/dialog.h"
#include "settings/backup_info.h"

#include <string>

class CBackup : public fw::Dialog {
  public:
    // `mainWindow` is closed after a completed backup.
    explicit CBackup(HWND mainWindow);

    const std::string& DataFilePath() const { return m_Path; }

  protected:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    // The system save-file dialog with `name` suggested; false when cancelled. Tests
    // replace it.
    virtual bool ChooseBackupName(std::string& name);

  private:
    void OnBackup();
    // No measurement under way and every record in the file; says why not.
    bool ReadyToMove();

    CImageButton m_BackupButton;
    CImageButton m_OkButton;
    std::string m_Path;
    DataFileInfo m_Info;
    HWND m_hMainWnd;
};
