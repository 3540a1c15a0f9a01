// Dialogs built from resource templates, modal (DialogBoxParamA) or modeless
// (CreateDialogParamA), sharing one dialog procedure with a few typed hooks.
#pragma once

#include <windows.h>

#include <string>

namespace fw {

class Dialog {
  public:
    explicit Dialog(int templateId) : templateId_(templateId) {}
    virtual ~Dialog();
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    // Runs the dialog modally; returns the EndDialog result (-1 when it cannot be created).
    INT_PTR RunModal(HWND parent);
    // Creates the window; the message loop gives it keyboard navigation (Tab, Escape).
    bool CreateModeless(HWND parent);
    void Destroy();

    HWND hwnd() const { return hwnd_; }
    bool IsModal() const { return modal_; }
    HWND Item(int id) const { return GetDlgItem(hwnd_, id); }

    // Control helpers.
    std::string ItemText(int id, int maxChars = 255) const;
    void SetItemText(int id, const char* text) const;
    bool IsChecked(int id) const;
    void SetChecked(int id, bool checked) const;
    void EndDialog(INT_PTR result);

  protected:
    // Hooks. OnInitDialog returns TRUE to let the system set the focus.
    virtual BOOL OnInitDialog() { return TRUE; }
    // Defaults: a modal dialog ends with IDOK / IDCANCEL, a modeless one is destroyed.
    virtual void OnOK();
    virtual void OnCancel();
    // True when handled.
    virtual bool OnCommand(int /*id*/, int /*code*/, HWND /*control*/) { return false; }
    virtual bool OnNotify(const NMHDR& /*header*/, LRESULT& /*result*/) { return false; }
    virtual void OnTimer(UINT_PTR /*id*/) {}
    virtual void OnSize(UINT /*type*/, int /*cx*/, int /*cy*/) {}
    // The whole procedure, for messages the hooks do not cover. Returns what a dialog
    // procedure returns (TRUE when handled).
    virtual INT_PTR DialogProc(UINT msg, WPARAM wParam, LPARAM lParam);

  private:
    static INT_PTR CALLBACK StaticProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    int templateId_;
    HWND hwnd_ = nullptr;
    bool modal_ = false;
};

} // namespace fw
