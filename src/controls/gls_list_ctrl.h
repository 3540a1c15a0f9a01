// The report-view list of every dialog: a list view whose column header is a
// CSMHeaderCtrl. The list does not sort; its owner sorts its rows on the column-click
// notification and then calls Header().SetSortImage. Works alike with owner-data
// (LVS_OWNERDATA) lists.
#pragma once

#include "controls/sm_header_ctrl.h"
#include "framework/control.h"

#include <vector>

struct ReportColumn {
    const char* heading;
    int width; // pixels
};

class CGLSListCtrl : public fw::Control {
  public:
    CSMHeaderCtrl& Header() { return header_; }
    const CSMHeaderCtrl& Header() const { return header_; }

    // Left-aligned columns, then what every list here shows: grid lines, full-row
    // selection, flat scroll bars, and the selection mark on the first row.
    void InsertColumns(const std::vector<ReportColumn>& columns);

    // Notes the dialog's and the list's sizes as laid out; FollowDialogSize then keeps the
    // list's right and bottom edges that far from the dialog's.
    void RememberLayout();
    void FollowDialogSize();

  protected:
    // Attaches the list's header child (identifier 0) once the list itself is attached.
    void OnAttached() override;

  private:
    CSMHeaderCtrl header_;
    int dialogHeight0_ = 0;
    int listHeight0_ = 0;
    int dialogWidth0_ = 0;
    int listWidth0_ = 0;
};
