// The Result dialog's record list (control 1000): an owner-data report list. It keeps only
// the row order; cells are formatted from the shown record set when the list draws them.
#pragma once

#include "controls/gls_list_ctrl.h"
#include "results/result_rows.h"

#include <windows.h>

#include <string>

class CResultList : public CGLSListCtrl {
  public:
    CResultList();

    // Ten columns, widths from the dialog's column unit, and the list's extended styles.
    void InitRecordColumns(float columnUnit);
    // Drops every item (and with them selection and focus), then shows RowCount rows.
    void ResetItems();
    // The row count changed at the end: rows are added without disturbing the others.
    void SyncCount();
    // Every visible cell is formatted again.
    void Redraw();

    int ItemCount() const;
    // Cell text as the list gives it to anyone who asks (at most 255 characters).
    std::string ItemText(int row, int column) const;

    // LVN_GETDISPINFO of this list; true when it was one.
    bool OnNotify(const NMHDR& header);

    ResultRows& Rows() { return rows_; }
    const ResultRows& Rows() const { return rows_; }

  private:
    ResultRows rows_;
};
