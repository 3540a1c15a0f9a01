// A window that owns its HWND, with one virtual message procedure.
#pragma once

#include <windows.h>

namespace fw {

// Sends WM_DRAWITEM on to the Control that owns the item's window (found through
// DRAWITEMSTRUCT::hwndItem, since owner-drawn buttons can share control ids). True when a
// control drew it.
bool ReflectDrawItem(LPARAM lParam);

class Window {
  public:
    Window() = default;
    virtual ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    HWND hwnd() const { return hwnd_; }

    // Registers `className` once (with this class's procedure) and creates the window.
    bool Create(const char* className, const char* title, DWORD style, DWORD exStyle, int x,
                int y, int w, int h, HWND parent, HMENU menuOrId, HBRUSH background = nullptr,
                HICON icon = nullptr);
    void Destroy();

    static Window* FromHandle(HWND hwnd);

  protected:
    // The default sends owner-draw requests to their controls, then DefWindowProcA.
    virtual LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT Default(UINT msg, WPARAM wParam, LPARAM lParam) {
        return DefWindowProcA(hwnd_, msg, wParam, lParam);
    }
    // Called after WM_NCDESTROY, when the HWND is gone.
    virtual void OnDestroyed() {}

  private:
    static LRESULT CALLBACK StaticProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    HWND hwnd_ = nullptr;
};

} // namespace fw
