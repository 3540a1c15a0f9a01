// The member picker: the registered members in a three-column list; one click on a row
// picks that member and closes the dialog. Escape or the close box cancels.
#pragma once

#include "controls/gls_list_ctrl.h"
#include "framework/dialog.h"
#include "storage/records.h"

#include <windows.h>
#include <commctrl.h>

class CSelect : public fw::Dialog {
  public:
    CSelect();

    // After RunModal: the picked row, or -1 when the dialog was cancelled.
    int SelectedIndex = -1;
    MemberEntry SelectedMember{};

  protected:
    BOOL OnInitDialog() override;
    bool OnNotify(const NMHDR& header, LRESULT& result) override;

  private:
    void InsertColumns();
    void FillRows();
    void OnColumnClick(int column);
    void OnItemChanged(const NMLISTVIEW& change);
    void SetRowTexts(int row, const MemberEntry& member);

    float ColumnUnit = 0.0f;
    int Filling = 1; // item changes are not picks while rows are being written
    bool m_bPicked = false;
    CGLSListCtrl m_List;
};
