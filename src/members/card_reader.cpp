#include "members/card_reader.h"

#include "members/card_record.h"

#include <windows.h>

#include <cstring>
#include <memory>

int g_hCardReader = -1;

namespace {

std::unique_ptr<CNCIDCard> g_pCardReader;

constexpr uint8_t kRefusedTypes[] = {4, 5};
constexpr int kCardSerialLength = 4;

int16_t Handle16(int handle) {
    return static_cast<int16_t>(handle);
}

// Logs in to the sector that record block n lies in, when n is its first record block.
bool EnterSector(const CardLibrary& library, int16_t handle, int n, const CardKey& key) {
    if (n % kCardBlocksPerSector != 0)
        return true;
    uint8_t loginKey[6];
    std::memcpy(loginKey, key.data(), sizeof loginKey);
    const auto sector = static_cast<uint8_t>(kCardFirstSector + n / kCardBlocksPerSector);
    return library.Login(handle, sector, kCardKeyTypeA, kCardStoredKeyNumber, loginKey) >= 0;
}

} // namespace

int CNCIDCard::Open() {
    return library_.Open(0);
}

bool CNCIDCard::SelectCard(const CardIdentityRef& identity, int handle) const {
    uint8_t type = 0;
    uint8_t serialLength = 0;
    uint8_t serial[CardLibrary::kSerialRoom] = {};
    if (library_.Select(Handle16(handle), type, serialLength, serial) < 0)
        return false;
    for (uint8_t refused : kRefusedTypes)
        if (type == refused)
            return false;
    if (serialLength != kCardSerialLength)
        return false;
    std::memcpy(identity.CardSerial, serial, kCardSerialLength);
    return true;
}

bool CNCIDCard::ReadCard(const CardIdentityRef& identity, int handle) const {
    const CardKey key = CardSectorKey();
    CardArea area{};
    for (int n = 0; n < kCardAreaBlocks; ++n) {
        if (!EnterSector(library_, Handle16(handle), n, key))
            return false;
        uint8_t block[kCardBlockSize];
        if (library_.Read(Handle16(handle), static_cast<uint8_t>(CardAreaBlock(n)), block) < 0)
            return false;
        std::memcpy(area.data() + n * kCardBlockSize, block, kCardBlockSize);
    }
    return ParseCardArea(area, identity);
}

bool CNCIDCard::WriteCard(const CardIdentityView& identity, int handle) const {
    const CardKey key = CardSectorKey();
    const CardArea area = BuildCardArea(identity);
    for (int n = 0; n < kCardAreaBlocks; ++n) {
        if (!EnterSector(library_, Handle16(handle), n, key))
            return false;
        uint8_t block[kCardBlockSize];
        std::memcpy(block, area.data() + n * kCardBlockSize, kCardBlockSize);
        if (library_.Write(Handle16(handle), static_cast<uint8_t>(CardAreaBlock(n)), block) < 0)
            return false;
    }
    return true;
}

bool CNCIDCard::PollCard(const CardIdentityRef& identity) const {
    if (g_hCardReader < 0)
        return false;
    return SelectCard(identity, g_hCardReader) && ReadCard(identity, g_hCardReader);
}

void CNCIDCard::WriteUserPort(int handle, uint8_t value) const {
    library_.WriteUserPort(Handle16(handle), value);
}

void CNCIDCard::Acknowledge(int handle) const {
    WriteUserPort(handle, kUserPortCardRead);
    Sleep(10);
    WriteUserPort(handle, kUserPortIdle);
}

CNCIDCard* CardReader() {
    return g_pCardReader.get();
}

void CreateCardReader() {
    if (!g_pCardReader)
        g_pCardReader = std::make_unique<CNCIDCard>();
}

void DeleteCardReader() {
    g_pCardReader.reset();
}

int OpenCardReader() {
    return g_pCardReader ? g_pCardReader->Open() : CardLibrary::kMissing;
}

void WriteUserPort(int handle, int value) {
    if (g_pCardReader)
        g_pCardReader->WriteUserPort(handle, static_cast<uint8_t>(value));
}
