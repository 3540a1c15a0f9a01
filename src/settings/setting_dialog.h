// The Setting dialog: edits a copy of the program-wide settings. OK stores the controls into
// the copy and keeps the dialog open; the Setting command applies the copy after the dialog
// has closed, and only when OK was pressed during the run.
#pragma once

#include "controls/image_button.h"
#include "framework/dialog.h"
#include "storage/records.h"

class CSetting : public fw::Dialog {
  public:
    CSetting();

    // Read by the Setting command after the run.
    AppSettings WorkSettings{};
    int SettingsSaved = 0;

  protected:
    BOOL OnInitDialog() override;
    void OnOK() override; // stores, stays open
    bool OnCommand(int id, int code, HWND control) override;
    // The port search; replaced in tests.
    virtual int SearchPort(int* port);

  private:
    void OnPortSearch();

    CImageButton m_OkButton;
    CImageButton m_ExitButton;
};
