// A top-level frame: toolbar on top, status bar at the bottom, one view in between.
// Toolbar buttons come from a toolbar resource (RT_TOOLBAR: version, image width and
// height, item count, command ids with 0 for a separator); their prompts and tooltips come
// from the string table ("prompt\ntooltip" under the command id).
#pragma once

#include "framework/window.h"

#include <string>
#include <vector>

namespace fw {

class FrameWindow : public Window {
  public:
    bool CreateFrame(const char* className, const char* appTitle, DWORD style, HICON icon);
    // Buttons and the 16-colour picture strip of the toolbar resource.
    bool CreateToolBar(int toolbarId, int bitmapId, DWORD extraStyle);
    // A message pane followed by the caps-lock, num-lock and scroll-lock indicators.
    bool CreateStatusBar();
    void SetView(Window* view);

    HWND ToolBar() const { return toolBar_; }
    HWND StatusBar() const { return statusBar_; }
    void SetMessageText(const char* text);
    // Caption "<title> - <application title>".
    void SetDocumentTitle(const char* title);
    // Enables each toolbar button whose command the frame handles.
    void UpdateCommandStates();
    void RecalcLayout();

  protected:
    virtual bool IsCommandEnabled(int /*id*/) const { return false; }
    virtual void OnCommand(int /*id*/) {}
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

  private:
    void UpdateIndicators();
    std::string PromptText(int id, bool tooltip) const;

    HWND toolBar_ = nullptr;
    HWND statusBar_ = nullptr;
    Window* view_ = nullptr;
    std::string appTitle_;
    std::vector<int> commands_;
};

} // namespace fw
