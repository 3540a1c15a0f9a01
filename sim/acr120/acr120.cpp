// Stand-in for the contactless reader's library. It plays the reader with virtual cards kept
// in files (virtual_card.h), takes what lies on the reader and the faults to play from
// reader.txt at every call (reader_control.h), and logs every call to calls.log and every
// user-port value to userport.log in the card folder.
//
// Behaviour the program may rely on: every entry returns a 16-bit signed status, negative on
// failure; the handle is passed as 16 bits. Stricter than a forgiving reader on purpose:
// block access needs a select of the card still lying on the reader and a login to the
// block's sector since; sector trailers and block 0 are never written.
#include "reader_control.h"
#include "virtual_card.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>

namespace {

constexpr int16_t kOk = 0;
constexpr int16_t kNotOpen = -1;
constexpr int16_t kNoCard = -2;
constexpr int16_t kLoginFailed = -3;
constexpr int16_t kReadFailed = -4;
constexpr int16_t kWriteFailed = -5;
constexpr int16_t kBadArgument = -6;
constexpr uint8_t kKeyTypeA = 0xAA;

struct Reader {
    bool open = false;
    int16_t handle = 0;
    std::string selected; // card name selected last; empty when none
    int loggedSector = -1;
};

Reader g_reader;

std::string Format(const char* format, int a = 0, int b = 0, int c = 0, int d = 0) {
    char text[128];
    std::snprintf(text, sizeof text, format, a, b, c, d);
    return text;
}

// Every call goes to the log with its arguments and the status it got.
int16_t Logged(const std::string& folder, const std::string& call, int16_t status,
               const std::string& detail = "") {
    AppendLine(folder + "calls.log",
               call + " = " + std::to_string(status) + (detail.empty() ? "" : " " + detail));
    return status;
}

bool ValidCardName(const std::string& name) {
    return !name.empty() && name.find_first_of("\\/:") == std::string::npos;
}

std::string CardPath(const std::string& folder, const std::string& name) {
    return folder + name + ".card";
}

// The card selected before, if it still lies on the reader.
bool SelectedCard(const std::string& folder, const ReaderControl& control, VirtualCard& card) {
    if (g_reader.selected.empty() || control.noCard || control.card != g_reader.selected ||
        !LoadVirtualCard(CardPath(folder, g_reader.selected), card)) {
        g_reader.selected.clear();
        g_reader.loggedSector = -1;
        return false;
    }
    return true;
}

bool HandleOpen(int16_t handle) {
    return g_reader.open && handle == g_reader.handle;
}

// Common checks of a block access; kOk when the block may be read or written.
int16_t CheckBlockAccess(const std::string& folder, const ReaderControl& control, int16_t handle,
                         int block, VirtualCard& card) {
    if (!HandleOpen(handle))
        return kNotOpen;
    if (!SelectedCard(folder, control, card))
        return kNoCard;
    if (block >= card.Sectors() * 4)
        return kBadArgument;
    if (g_reader.loggedSector != block / 4)
        return kLoginFailed;
    return kOk;
}

} // namespace

extern "C" {

int16_t __stdcall ACR120_Open(int16_t port) {
    const std::string folder = CardFolder();
    const ReaderControl control = ReadReaderControl(folder);
    const std::string call = Format("Open(%d)", port);
    if (control.failOpen || port != 0 || control.handle < 0 || control.handle > 0x7FFF)
        return Logged(folder, call, kNotOpen);
    g_reader = Reader{};
    g_reader.open = true;
    g_reader.handle = static_cast<int16_t>(control.handle);
    return Logged(folder, call, g_reader.handle);
}

int16_t __stdcall ACR120_Select(int16_t handle, uint8_t* type, uint8_t* serialLength,
                                uint8_t* serial) {
    const std::string folder = CardFolder();
    const ReaderControl control = ReadReaderControl(folder);
    const std::string call = Format("Select(%d)", handle);
    g_reader.selected.clear();
    g_reader.loggedSector = -1;
    if (!HandleOpen(handle))
        return Logged(folder, call, kNotOpen);
    if (!type || !serialLength || !serial)
        return Logged(folder, call, kBadArgument);
    VirtualCard card;
    if (control.noCard || !ValidCardName(control.card) ||
        !LoadVirtualCard(CardPath(folder, control.card), card))
        return Logged(folder, call, kNoCard);
    std::vector<uint8_t> number = card.serial;
    if (control.serial7)
        number.resize(7, 0x5A);
    *type = static_cast<uint8_t>(control.forcedType >= 0 ? control.forcedType : card.type);
    *serialLength = static_cast<uint8_t>(number.size());
    for (size_t i = 0; i < number.size(); ++i)
        serial[i] = number[i];
    g_reader.selected = control.card;
    return Logged(folder, call, kOk,
                  Format("type=%d", *type) + " serial=" + ToHex(number.data(), number.size()));
}

int16_t __stdcall ACR120_Login(int16_t handle, uint8_t sector, uint8_t keyType, uint8_t storedKey,
                               uint8_t* key) {
    const std::string folder = CardFolder();
    const ReaderControl control = ReadReaderControl(folder);
    const std::string call = Format("Login(%d,%d,0x%02X,%d,", handle, sector, keyType, storedKey) +
                             (key ? ToHex(key, 6) : std::string("null")) + ")";
    VirtualCard card;
    if (!HandleOpen(handle))
        return Logged(folder, call, kNotOpen);
    if (!SelectedCard(folder, control, card))
        return Logged(folder, call, kNoCard);
    g_reader.loggedSector = -1;
    if (!key || keyType != kKeyTypeA || sector >= card.Sectors())
        return Logged(folder, call, kBadArgument);
    if (control.Has(control.failLogins, sector) ||
        !std::equal(card.keys[sector].begin(), card.keys[sector].end(), key))
        return Logged(folder, call, kLoginFailed);
    g_reader.loggedSector = sector;
    return Logged(folder, call, kOk);
}

int16_t __stdcall ACR120_Read(int16_t handle, uint8_t block, uint8_t* data) {
    const std::string folder = CardFolder();
    const ReaderControl control = ReadReaderControl(folder);
    const std::string call = Format("Read(%d,%d)", handle, block);
    VirtualCard card;
    int16_t status = CheckBlockAccess(folder, control, handle, block, card);
    if (status == kOk && !data)
        status = kBadArgument;
    if (status == kOk && control.Has(control.failReads, block))
        status = kReadFailed;
    if (status != kOk)
        return Logged(folder, call, status);
    std::copy(card.blocks[block].begin(), card.blocks[block].end(), data);
    return Logged(folder, call, kOk, ToHex(data, 16));
}

int16_t __stdcall ACR120_Write(int16_t handle, uint8_t block, uint8_t* data) {
    const std::string folder = CardFolder();
    const ReaderControl control = ReadReaderControl(folder);
    const std::string call = Format("Write(%d,%d,", handle, block) +
                             (data ? ToHex(data, 16) : std::string("null")) + ")";
    VirtualCard card;
    int16_t status = CheckBlockAccess(folder, control, handle, block, card);
    if (status == kOk && (!data || block == 0 || block % 4 == 3))
        status = kBadArgument;
    if (status == kOk && control.Has(control.failWrites, block))
        status = kWriteFailed;
    if (status != kOk)
        return Logged(folder, call, status);
    std::copy(data, data + 16, card.blocks[block].begin());
    if (!SaveVirtualCard(CardPath(folder, g_reader.selected), card))
        return Logged(folder, call, kWriteFailed);
    return Logged(folder, call, kOk);
}

int16_t __stdcall ACR120_WriteUserPort(int16_t handle, uint8_t value) {
    const std::string folder = CardFolder();
    AppendLine(folder + "userport.log", Format("%d 0x%02X", handle, value));
    const int16_t status = HandleOpen(handle) ? kOk : kNotOpen;
    return Logged(folder, Format("WriteUserPort(%d,0x%02X)", handle, value), status);
}

} // extern "C"
