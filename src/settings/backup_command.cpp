// Placeholder until the window of this command lands.
#include "app/commands.h"

void RunBackupCommand(CQuelmaView&) {}
