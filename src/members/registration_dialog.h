// The member registration dialog: the registered members in a three-column list, ID and
// Name edits, Register and Delete. It works directly on the program-wide MemberTable and
// g_Settings.MemberCount; with the card system on, Register writes the member onto the card
// on the reader and Delete blanks that card. A card laid on the reader fills the edits.
// Leaving it (Exit, Escape or the close box) saves the member list; when QUELMA.CFG cannot
// be written the operator may still leave, without the changes.
#pragma once

#include "controls/gls_list_ctrl.h"
#include "controls/image_button.h"
#include "framework/dialog.h"
#include "members/member_rows.h"
#include "storage/records.h"

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

class CRegistration : public fw::Dialog {
  public:
    CRegistration();

    static constexpr UINT_PTR kCardTimer = 2;
    static constexpr UINT kCardPollMs = 250;

  protected:
    BOOL OnInitDialog() override;
    void OnOK() override;     // Exit
    void OnCancel() override; // Escape and the close box
    bool OnCommand(int id, int code, HWND control) override;
    bool OnNotify(const NMHDR& header, LRESULT& result) override;
    void OnTimer(UINT_PTR id) override;

  private:
    void InitMemberColumns();
    void InsertMemberRow(const MemberEntry& entry, int row);
    void SetRowTexts(int row, const MemberEntry& entry);
    void FillRows();
    std::vector<MemberRowText> RowTexts() const;

    void OnColumnClick(int column);
    void OnItemChanged(const NMLISTVIEW& change);
    void OnRegister();
    void OnDelete();
    bool AddMember(const MemberEntry& entry);
    void RemoveMember(const MemberEntry& entry);
    // Writes the blank record onto the card on the reader, with every message it needs.
    void BlankCard();
    void SaveAndClose(INT_PTR result);

    HICON m_hIcon = nullptr; // shared resource icon, not destroyed
    float ColumnUnit = 0.0f;
    int Filling = 0;
    int CardRead = 0;
    MemberEntry ScratchEntry{};
    CGLSListCtrl m_List;
    CImageButton m_RegisterButton;
    CImageButton m_DeleteButton;
    CImageButton m_ExitButton;
    // The members as the dialog found them, which leaving without a save brings back.
    std::vector<MemberEntry> m_OpenedSlots;
    int m_OpenedCount = 0;
};
