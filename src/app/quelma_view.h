// The main view: paints the logo and carries the toolbar commands. The working windows'
// commands live in their own subsystems; the view owns the two modeless dialogs.
#pragma once

#include "framework/dialog.h"
#include "framework/handles.h"
#include "framework/window.h"

#include <memory>

class CQuelmaView : public fw::Window {
  public:
    CQuelmaView();
    ~CQuelmaView() override;

    bool CreateView(HWND frame);
    // Device start-up on the view's first update.
    void OnInitialUpdate();
    bool HandlesCommand(int id) const;
    void OnCommand(int id);
    // Deletes the Measure and Result dialogs (main window closing).
    void DeleteWorkingWindows();

    // State the working windows' commands keep in the view.
    WINDOWPLACEMENT m_MeasurePlacement{};
    WINDOWPLACEMENT m_ResultPlacement{};
    fw::Font m_DisplayFont;
    std::unique_ptr<fw::Dialog> m_MeasureDialog; // g_pMeasureDlg points into it
    std::unique_ptr<fw::Dialog> m_ResultDialog;  // g_pResultDlg points into it

  protected:
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

  private:
    void OnEraseBackground(HDC dc);
    void OnPaint();
    void OnExit();
};
