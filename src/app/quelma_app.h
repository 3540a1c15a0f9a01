// The application object: start-up steps, the main window, and the exit step.
#pragma once

#include "framework/app.h"

#include <memory>

class CMainFrame;
class SingleInstance;

class CQuelmaApp : public fw::App {
  public:
    CQuelmaApp();
    ~CQuelmaApp() override;

  protected:
    bool InitInstance() override;
    int ExitInstance(int loopResult) override;

  private:
    bool Fail(const char* message);

    std::unique_ptr<SingleInstance> instance_;
    std::unique_ptr<CMainFrame> frame_;
    int exitCode_ = 0;
    bool socketsUp_ = false;
    bool oleUp_ = false;
};
