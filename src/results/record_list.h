// The owner-data record list of the Measure and Result dialogs: the ten record columns, and
// each cell's text given when the list draws it, from the rows of the dialog's own kind.
#pragma once

#include "controls/gls_list_ctrl.h"

#include <windows.h>

#include <cstddef>

class CRecordList : public CGLSListCtrl {
  public:
    // Ten columns, widths from the dialog's column unit, and the list's extended styles.
    void InitRecordColumns(float columnUnit);
    // LVN_GETDISPINFO of this list; true when it was one.
    bool OnNotify(const NMHDR& header);

  protected:
    // Text of a cell, cut to size - 1 characters and terminated.
    virtual size_t CellText(int row, int column, char* out, size_t size) const = 0;
};
