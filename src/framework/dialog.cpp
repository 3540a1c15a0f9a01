#include "framework/dialog.h"

#include "framework/app.h"
#include "framework/window.h"

#include <vector>

namespace fw {

Dialog::~Dialog() {
    if (hwnd_) {
        // No virtual call may reach a half-destroyed object.
        SetWindowLongPtrA(hwnd_, DWLP_USER, 0);
        HWND h = hwnd_;
        hwnd_ = nullptr;
        UnregisterModeless(h);
        DestroyWindow(h);
    }
}

INT_PTR Dialog::RunModal(HWND parent) {
    modal_ = true;
    return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(templateId_), parent,
                           StaticProc, reinterpret_cast<LPARAM>(this));
}

bool Dialog::CreateModeless(HWND parent) {
    modal_ = false;
    HWND h = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(templateId_), parent,
                                StaticProc, reinterpret_cast<LPARAM>(this));
    if (!h)
        return false;
    RegisterModeless(h);
    return true;
}

void Dialog::Destroy() {
    if (hwnd_)
        DestroyWindow(hwnd_);
}

std::string Dialog::ItemText(int id, int maxChars) const {
    std::vector<char> buffer(static_cast<size_t>(maxChars) + 1, 0);
    GetDlgItemTextA(hwnd_, id, buffer.data(), maxChars + 1);
    return buffer.data();
}

void Dialog::SetItemText(int id, const char* text) const { SetDlgItemTextA(hwnd_, id, text); }

bool Dialog::IsChecked(int id) const { return IsDlgButtonChecked(hwnd_, id) == BST_CHECKED; }

void Dialog::SetChecked(int id, bool checked) const {
    CheckDlgButton(hwnd_, id, checked ? BST_CHECKED : BST_UNCHECKED);
}

void Dialog::EndDialog(INT_PTR result) {
    if (modal_)
        ::EndDialog(hwnd_, result);
    else
        Destroy();
}

void Dialog::OnOK() { EndDialog(IDOK); }

void Dialog::OnCancel() { EndDialog(IDCANCEL); }

INT_PTR Dialog::DialogProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_INITDIALOG:
        return OnInitDialog();
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        if (lParam == 0 || HIWORD(wParam) == BN_CLICKED) {
            if (id == IDOK) {
                OnOK();
                return TRUE;
            }
            if (id == IDCANCEL) {
                OnCancel();
                return TRUE;
            }
        }
        return OnCommand(id, HIWORD(wParam), reinterpret_cast<HWND>(lParam));
    }
    case WM_NOTIFY: {
        LRESULT result = 0;
        if (!OnNotify(*reinterpret_cast<NMHDR*>(lParam), result))
            return FALSE;
        SetWindowLongPtrA(hwnd_, DWLP_MSGRESULT, result);
        return TRUE;
    }
    case WM_TIMER:
        OnTimer(wParam);
        return TRUE;
    case WM_SIZE:
        OnSize(static_cast<UINT>(wParam), LOWORD(lParam), HIWORD(lParam));
        return FALSE;
    case WM_DRAWITEM:
        return ReflectDrawItem(lParam);
    }
    return FALSE;
}

INT_PTR CALLBACK Dialog::StaticProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Dialog* self;
    if (msg == WM_INITDIALOG) {
        self = reinterpret_cast<Dialog*>(lParam);
        self->hwnd_ = hwnd;
        SetWindowLongPtrA(hwnd, DWLP_USER, lParam);
    } else {
        self = reinterpret_cast<Dialog*>(GetWindowLongPtrA(hwnd, DWLP_USER));
    }
    if (!self)
        return FALSE;
    INT_PTR result = self->DialogProc(msg, wParam, lParam);
    if (msg == WM_NCDESTROY) {
        SetWindowLongPtrA(hwnd, DWLP_USER, 0);
        UnregisterModeless(hwnd);
        self->hwnd_ = nullptr;
    }
    return result;
}

} // namespace fw
