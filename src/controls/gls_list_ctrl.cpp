#include "controls/gls_list_ctrl.h"

void CGLSListCtrl::OnAttached() {
    // The list view creates its header as the child with identifier 0.
    header_.Attach(hwnd(), 0);
}
