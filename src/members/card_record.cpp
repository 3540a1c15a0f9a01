#include "members/card_record.h"

#include <cstring>

namespace {

constexpr std::array<uint16_t, 256> MakeCrcTable() {
    std::array<uint16_t, 256> table{};
    for (int i = 0; i < 256; ++i) {
        uint16_t crc = static_cast<uint16_t>(i << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = static_cast<uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
        table[i] = crc;
    }
    return table;
}

constexpr std::array<uint16_t, 256> kCrcTable = MakeCrcTable();

// The key is not kept as one literal in the program image; its two halves are combined when
// a card is opened.
constexpr CardKey kKeyMask = {0xA5, 0x3C, 0x96, 0x5A, 0xC3, 0x69};
constexpr CardKey kKeyMasked = {0x9F, 0x40, 0xC7, 0xB8, 0xCB, 0xF4};

template <size_t N> void PutText(uint8_t* out, const char (&field)[N]) {
    size_t i = 0;
    for (; i + 1 < N && field[i]; ++i)
        out[i] = static_cast<uint8_t>(field[i]);
    for (; i < N; ++i)
        out[i] = 0;
}

template <size_t N> void TakeText(char (&field)[N], const uint8_t* in) {
    std::memcpy(field, in, N);
    field[N - 1] = 0;
}

} // namespace

uint16_t Crc16Xmodem(const uint8_t* data, size_t length, uint16_t crc) {
    for (size_t i = 0; i < length; ++i)
        crc = static_cast<uint16_t>((crc << 8) ^ kCrcTable[((crc >> 8) ^ data[i]) & 0xFF]);
    return crc;
}

CardKey CardSectorKey() {
    CardKey key{};
    for (size_t i = 0; i < key.size(); ++i)
        key[i] = static_cast<uint8_t>(kKeyMasked[i] ^ kKeyMask[i]);
    return key;
}

CardArea BuildCardArea(const CardIdentityView& identity) {
    CardArea area;
    area.fill(kCardFiller);
    PutText(area.data(), identity.ID);
    PutText(area.data() + 10, identity.Name);
    const uint16_t crc = Crc16Xmodem(area.data(), 30);
    area[30] = static_cast<uint8_t>(crc >> 8);
    area[31] = static_cast<uint8_t>(crc & 0xFF);
    return area;
}

bool ParseCardArea(const CardArea& area, const CardIdentityRef& identity) {
    TakeText(identity.ID, area.data());
    TakeText(identity.Name, area.data() + 10);
    return Crc16Xmodem(area.data(), kCardRecordSize) == 0;
}
