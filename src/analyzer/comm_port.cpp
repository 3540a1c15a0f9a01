#include "analyzer/comm_port.h"

CCommPort* g_pCommPort = nullptr;

int CCommPort::Open(int, HWND) { return 4; }
int CCommPort::Close() { return 0; }
