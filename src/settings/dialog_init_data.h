// A dialog's initialisation data (resource type 240): the items its combo and list boxes
// are filled with when the dialog is created. Each record is a 16-bit control id, a 16-bit
// message, a 32-bit byte count and that many bytes (a zero-terminated text); a zero control
// id ends the list.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr int kDialogInitResourceType = 240;
// The message codes the records carry (the 16-bit numbering of the add-string messages).
constexpr int kDialogInitListAddString = 0x0401;
constexpr int kDialogInitComboAddString = 0x0403;

struct DialogInitItem {
    int controlId = 0;
    int message = 0;
    std::string text;
};

// False when a record runs past the end of the data; the items before it are kept.
bool ParseDialogInitData(const uint8_t* data, size_t size, std::vector<DialogInitItem>& items);
