// The Measure dialog's record list (control 1000): an owner-data report list whose cells
// are formatted from the record table when the list draws them.
#pragma once

#include "results/record_list.h"
#include "measure/measure_rows.h"

#include <windows.h>

class CMeasureList : public CRecordList {
  public:
    CMeasureList();

    // One row per record of the table, newest at the top.
    void FillRows();
    // The newest record of the table as a new top row.
    void InsertRecordRow();
    // Renumbers and reformats every row.
    void RefreshRecordRows();

    const MeasureRows& Rows() const { return rows_; }

  protected:
    size_t CellText(int row, int column, char* out, size_t size) const override;

  private:
    void SyncCount();

    MeasureRows rows_;
};
