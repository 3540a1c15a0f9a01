// The Result dialog's record list (control 1000): an owner-data report list. It keeps only
// the row order; cells are formatted from the shown record set when the list draws them.
#pragma once

#include "results/record_list.h"
#include "results/result_rows.h"

#include <windows.h>

#include <string>

class CResultList : public CRecordList {
  public:
    CResultList();

    // Drops every item (and with them selection and focus), then shows RowCount rows.
    void ResetItems();
    // The row count changed at the end: rows are added without disturbing the others.
    void SyncCount();
    // Every visible cell is formatted again.
    void Redraw();

    int ItemCount() const;
    // Cell text as the list gives it to anyone who asks (at most 255 characters).
    std::string ItemText(int row, int column) const;

    ResultRows& Rows() { return rows_; }
    const ResultRows& Rows() const { return rows_; }

  protected:
    size_t CellText(int row, int column, char* out, size_t size) const override;

  private:
    ResultRows rows_;
};
