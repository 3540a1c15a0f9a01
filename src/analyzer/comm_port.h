// Placeholder until the serial channel lands: no port ever opens.
#pragma once

#include <windows.h>

class CCommPort {
  public:
    static int Open(int portIndex, HWND owner);
    static int Close();
};

extern CCommPort* g_pCommPort;
