#include "settings/dialog_init.h"

#include "settings/dialog_init_data.h"

#include <vector>

bool LoadDialogInitData(HWND dialog, int templateId) {
    HMODULE module = GetModuleHandleA(nullptr);
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(templateId),
                                MAKEINTRESOURCEA(kDialogInitResourceType));
    if (!found)
        return false;
    HGLOBAL loaded = LoadResource(module, found);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data)
        return false;
    std::vector<DialogInitItem> items;
    const bool whole = ParseDialogInitData(static_cast<const uint8_t*>(data),
                                           SizeofResource(module, found), items);
    for (const DialogInitItem& item : items) {
        UINT message = 0;
        if (item.message == kDialogInitComboAddString)
            message = CB_ADDSTRING;
        else if (item.message == kDialogInitListAddString)
            message = LB_ADDSTRING;
        else
            continue;
        SendDlgItemMessageA(dialog, item.controlId, message, 0,
                            reinterpret_cast<LPARAM>(item.text.c_str()));
    }
    return whole;
}
