// A virtual contactless card kept in a text file that shell scripts can write:
//   type=1                 card type code reported by the select
//   serial=1A2B3C4D        serial number, 1 to 10 bytes in hex (a real card has 4 or 7)
//   sectors=16             sectors of four 16-byte blocks (default 16)
//   key1=3A7C51E2089D      key A of a sector (default FFFFFFFFFFFF)
//   block4=00112233...     a block's 16 bytes in hex (default all zero)
// Lines starting with '#' and unknown names are ignored.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct VirtualCard {
    using Block = std::array<uint8_t, 16>;
    using Key = std::array<uint8_t, 6>;

    int type = 1;
    std::vector<uint8_t> serial;
    std::vector<Key> keys;     // one per sector
    std::vector<Block> blocks; // four per sector

    int Sectors() const { return static_cast<int>(keys.size()); }
};

// False when the file is missing or damaged (bad hex, block or key out of range).
bool LoadVirtualCard(const std::string& path, VirtualCard& card);
bool SaveVirtualCard(const std::string& path, const VirtualCard& card);

// Hex helpers shared with the logs.
std::string ToHex(const uint8_t* data, size_t length);
bool FromHex(const std::string& text, std::vector<uint8_t>& bytes);
