#include "framework/control.h"

#include "framework/window.h"

#include <commctrl.h>

namespace fw {

namespace {
constexpr UINT_PTR kSubclassId = 0x51E1;
// The object behind a subclassed window (GetWindowSubclass is not in every import library).
constexpr const char* kObjectProperty = "fw.Control";
} // namespace

Control::~Control() { Detach(); }

bool Control::Attach(HWND parent, int id) { return AttachWindow(GetDlgItem(parent, id)); }

bool Control::AttachWindow(HWND hwnd) {
    if (!hwnd || hwnd_)
        return false;
    if (!SetWindowSubclass(hwnd, StaticProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this)))
        return false;
    hwnd_ = hwnd;
    SetPropA(hwnd, kObjectProperty, this);
    OnAttached();
    return true;
}

void Control::Detach() {
    if (!hwnd_)
        return;
    RemovePropA(hwnd_, kObjectProperty);
    RemoveWindowSubclass(hwnd_, StaticProc, kSubclassId);
    hwnd_ = nullptr;
}

Control* Control::FromHandle(HWND hwnd) {
    return hwnd ? static_cast<Control*>(GetPropA(hwnd, kObjectProperty)) : nullptr;
}

LRESULT Control::SubclassProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_DRAWITEM && ReflectDrawItem(lParam))
        return TRUE;
    return Default(msg, wParam, lParam);
}

LRESULT Control::Default(UINT msg, WPARAM wParam, LPARAM lParam) {
    return DefSubclassProc(hwnd_, msg, wParam, lParam);
}

LRESULT CALLBACK Control::StaticProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                     DWORD_PTR refData) {
    auto* self = reinterpret_cast<Control*>(refData);
    if (msg == WM_NCDESTROY) {
        RemovePropA(hwnd, kObjectProperty);
        RemoveWindowSubclass(hwnd, StaticProc, kSubclassId);
        self->hwnd_ = nullptr;
        return DefSubclassProc(hwnd, msg, wParam, lParam);
    }
    return self->SubclassProc(msg, wParam, lParam);
}

} // namespace fw
