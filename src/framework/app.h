// The application object: start-up and exit steps around the message loop.
#pragma once

#include <windows.h>

namespace fw {

class App {
  public:
    App();
    virtual ~App();
    App(const App&) = delete;
    App& operator=(const App&) = delete;

    // InitInstance, the message loop while it succeeded, then ExitInstance.
    int Run();

    static App* Current();
    HWND MainWindow() const { return mainWindow_; }
    void SetMainWindow(HWND hwnd) { mainWindow_ = hwnd; }

  protected:
    virtual bool InitInstance() = 0;
    // Returns the process exit code.
    virtual int ExitInstance(int loopResult) { return loopResult; }

  private:
    HWND mainWindow_ = nullptr;
};

// Pumps messages until WM_QUIT; returns its code. Modeless dialogs get IsDialogMessage.
int RunMessageLoop();

// Modeless dialogs registered here get keyboard navigation from the message loop.
void RegisterModeless(HWND dialog);
void UnregisterModeless(HWND dialog);

// String table text (empty when missing).
const char* LoadStringResource(UINT id);

} // namespace fw
