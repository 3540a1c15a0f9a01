// A child control of a dialog or window, subclassed with SetWindowSubclass so this object
// sees its messages, and so the parent can hand owner-draw requests back to it.
#pragma once

#include <windows.h>

namespace fw {

class Control {
  public:
    Control() = default;
    virtual ~Control();
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    // Subclasses the dialog item `id` of `parent`.
    bool Attach(HWND parent, int id);
    bool AttachWindow(HWND hwnd);
    void Detach();
    HWND hwnd() const { return hwnd_; }

    // Owner-draw request reflected by the parent (see ReflectDrawItem).
    virtual void DrawItem(const DRAWITEMSTRUCT&) {}

    static Control* FromHandle(HWND hwnd);

  protected:
    // Called after the window is attached (for example to attach child windows).
    virtual void OnAttached() {}
    // The default sends WM_DRAWITEM of child windows (a list's header) to their controls.
    virtual LRESULT SubclassProc(UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT Default(UINT msg, WPARAM wParam, LPARAM lParam);

  private:
    static LRESULT CALLBACK StaticProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                       UINT_PTR id, DWORD_PTR refData);
    HWND hwnd_ = nullptr;
};

} // namespace fw
