#include "framework/window.h"

#include "framework/control.h"

namespace fw {

bool ReflectDrawItem(LPARAM lParam) {
    auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
    if (!dis || !dis->hwndItem)
        return false;
    Control* control = Control::FromHandle(dis->hwndItem);
    if (!control)
        return false;
    control->DrawItem(*dis);
    return true;
}

Window::~Window() { Destroy(); }

bool Window::Create(const char* className, const char* title, DWORD style, DWORD exStyle, int x,
                    int y, int w, int h, HWND parent, HMENU menuOrId, HBRUSH background,
                    HICON icon) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSEXA wc{};
    if (!GetClassInfoExA(instance, className, &wc)) {
        wc = WNDCLASSEXA{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = StaticProc;
        wc.hInstance = instance;
        wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
        wc.hbrBackground = background;
        wc.hIcon = icon;
        wc.hIconSm = icon;
        wc.lpszClassName = className;
        if (!RegisterClassExA(&wc))
            return false;
    }
    return CreateWindowExA(exStyle, className, title, style, x, y, w, h, parent, menuOrId,
                           instance, this) != nullptr;
}

void Window::Destroy() {
    if (hwnd_)
        DestroyWindow(hwnd_);
}

Window* Window::FromHandle(HWND hwnd) {
    return reinterpret_cast<Window*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
}

LRESULT Window::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_DRAWITEM && ReflectDrawItem(lParam))
        return TRUE;
    return Default(msg, wParam, lParam);
}

LRESULT CALLBACK Window::StaticProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Window* self;
    if (msg == WM_NCCREATE) {
        self = static_cast<Window*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = FromHandle(hwnd);
    }
    if (!self)
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    LRESULT result = self->WndProc(msg, wParam, lParam);
    if (msg == WM_NCDESTROY) {
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
        self->OnDestroyed();
    }
    return result;
}

} // namespace fw
