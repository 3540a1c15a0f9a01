// The Measure dialog's record list (control 1000): an owner-data report list whose cells
// are formatted from the record table when the list draws them.
#pragma once

#include "controls/gls_list_ctrl.h"
#include "measure/measure_rows.h"

#include <windows.h>

class CMeasureList : public CGLSListCtrl {
  public:
    CMeasureList();

    // Ten columns, widths from the dialog's column unit, and the list's extended styles.
    void InitRecordColumns(float columnUnit);
    // One row per record of the table, newest at the top.
    void FillRows();
    // The newest record of the table as a new top row.
    void InsertRecordRow();
    // Renumbers and reformats every row.
    void RefreshRecordRows();

    // LVN_GETDISPINFO of this list; true when it was one.
    bool OnNotify(const NMHDR& header);

    const MeasureRows& Rows() const { return rows_; }

  private:
    void SyncCount();

    MeasureRows rows_;
};
