// Fills a dialog's combo and list boxes from the initialisation data stored with its
// template in the program's resources.
#pragma once

#include <windows.h>

// Adds the items of resource `templateId` (type 240) to the controls of `dialog`. False
// when there is no such resource or it is damaged (the whole records before the damage
// are still added).
bool LoadDialogInitData(HWND dialog, int templateId);
