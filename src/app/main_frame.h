// The main window: maximised frame without menu bar, toolbar, status bar and the view.
#pragma once

#include "framework/frame_window.h"

#include <memory>

class CQuelmaView;

class CMainFrame : public fw::FrameWindow {
  public:
    static constexpr const char* kClassName = "QuelmaMainFrame";

    CMainFrame();
    ~CMainFrame() override;

    bool CreateMainFrame();
    // The view's first update (opens the devices), once the frame exists.
    void InitialUpdate();
    CQuelmaView* View() const { return view_.get(); }

  protected:
    bool IsCommandEnabled(int id) const override;
    void OnCommand(int id) override;
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

  private:
    bool OnCreate();
    std::unique_ptr<CQuelmaView> view_;
};
