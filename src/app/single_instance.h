// One running copy per install folder: two copies would each append at their own record
// count and write over each other's records.
#pragma once

#include "framework/handles.h"

#include <string>

class SingleInstance {
  public:
    // Claims the folder (g_szInstallDir) for this process until it ends.
    explicit SingleInstance(const char* installDir);

    bool IsFirst() const { return first_; }
    // Brings the running copy's main window, or the window it shows on top of it, to the
    // front.
    static void ActivateRunning();

  private:
    fw::UniqueHandle mutex_;
    bool first_ = true;
};
