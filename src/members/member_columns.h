// The columns of the two member lists, Registration and Select: "NO", "ID" and "Name", each
// a multiple of the dialog's column unit.
#pragma once

#include "controls/gls_list_ctrl.h"

void InsertMemberColumns(CGLSListCtrl& list, float columnUnit);
