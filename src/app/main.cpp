#include "app/quelma_app.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    CQuelmaApp app;
    return app.Run();
}
