// The report-view list of every dialog: a list view whose column header is a
// CSMHeaderCtrl. The list does not sort; its owner sorts its rows on the column-click
// notification and then calls Header().SetSortImage. Works alike with owner-data
// (LVS_OWNERDATA) lists.
#pragma once

#include "controls/sm_header_ctrl.h"
#include "framework/control.h"

class CGLSListCtrl : public fw::Control {
  public:
    CSMHeaderCtrl& Header() { return header_; }
    const CSMHeaderCtrl& Header() const { return header_; }

  protected:
    // Attaches the list's header child (identifier 0) once the list itself is attached.
    void OnAttached() override;

  private:
    CSMHeaderCtrl header_;
};
