// The main view's Backup command (32777).
#include "app/commands.h"
#include "app/quelma_view.h"
#include "settings/backup_dialog.h"

void RunBackupCommand(CQuelmaView& view) {
    HWND main = GetAncestor(view.hwnd(), GA_ROOT);
    CBackup dialog(main);
    dialog.RunModal(main);
}
