// The main view's Registration command (32773).
#include "app/commands.h"
#include "app/quelma_view.h"
#include "measure/measure_command.h"
#include "members/registration_dialog.h"

void RunRegistrationCommand(CQuelmaView& view) {
    // Only one window polls the card reader at a time; a hidden Measure dialog stays hidden.
    HideMeasureDialog(view);
    CRegistration dialog;
    // Owned by the main window, which stays disabled while the dialog runs.
    dialog.RunModal(GetAncestor(view.hwnd(), GA_ROOT));
}
