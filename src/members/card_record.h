// The member record kept on a contactless card: blocks 0..2 of sectors 1 and 2, 96 bytes.
//   0..9   ID text, zero-padded        10..29  Name text, zero-padded
//   30, 31 CRC-16/XMODEM of 0..29, high byte first
//   32..95 filler, ignored on reading
#pragma once

#include "members/card_identity.h"

#include <array>
#include <cstddef>
#include <cstdint>

constexpr int kCardBlockSize = 16;
constexpr int kCardAreaSize = 96;
constexpr int kCardRecordSize = 32; // ID, Name and CRC: the part the CRC protects
constexpr int kCardFirstSector = 1;
constexpr int kCardSectorCount = 2;
constexpr int kCardBlocksPerSector = 3; // the sector trailer (index 3) is never touched
constexpr int kCardAreaBlocks = kCardSectorCount * kCardBlocksPerSector;
constexpr uint8_t kCardKeyTypeA = 0xAA;
constexpr uint8_t kCardStoredKeyNumber = 0;
constexpr uint8_t kCardFiller = 0xFF;

using CardArea = std::array<uint8_t, kCardAreaSize>;
using CardKey = std::array<uint8_t, 6>;

// CRC-16/XMODEM: polynomial 0x1021, initial value 0, not reflected, no final XOR.
uint16_t Crc16Xmodem(const uint8_t* data, size_t length, uint16_t crc = 0);

// Absolute block number of the n-th of the six record blocks (n = 0..5).
constexpr int CardAreaBlock(int n) {
    return (kCardFirstSector + n / kCardBlocksPerSector) * 4 + n % kCardBlocksPerSector;
}

// The key of sectors 1 and 2, for reading and writing alike.
CardKey CardSectorKey();

// The area to write for an identity. Texts longer than their field allows are cut so that
// each keeps a terminating zero on the card (9 and 19 characters).
CardArea BuildCardArea(const CardIdentityView& identity);

// Copies the card's ID and Name into the identity (always, as the callers expect) and tells
// whether the record's CRC holds. A field that fills its width without a zero byte is cut
// to 9 or 19 characters, so no caller ever sees an unterminated text.
bool ParseCardArea(const CardArea& area, const CardIdentityRef& identity);
