#include "virtual_card.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace {

constexpr int kMaxSectors = 40;
constexpr size_t kMaxSerial = 10;

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return "";
    const size_t last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

bool ParseIndex(const std::string& text, int& value) {
    if (text.empty() || text.size() > 4)
        return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    return true;
}

template <size_t N> bool FixedHex(const std::string& text, std::array<uint8_t, N>& out) {
    std::vector<uint8_t> bytes;
    if (!FromHex(text, bytes) || bytes.size() != N)
        return false;
    std::copy(bytes.begin(), bytes.end(), out.begin());
    return true;
}

} // namespace

std::string ToHex(const uint8_t* data, size_t length) {
    std::string text;
    char digits[3];
    for (size_t i = 0; i < length; ++i) {
        std::snprintf(digits, sizeof digits, "%02X", data[i]);
        text += digits;
    }
    return text;
}

bool FromHex(const std::string& text, std::vector<uint8_t>& bytes) {
    bytes.clear();
    std::string digits;
    for (char c : text)
        if (c != ' ' && c != ':')
            digits += c;
    if (digits.size() % 2)
        return false;
    for (size_t i = 0; i < digits.size(); i += 2) {
        const int high = HexDigit(digits[i]);
        const int low = HexDigit(digits[i + 1]);
        if (high < 0 || low < 0)
            return false;
        bytes.push_back(static_cast<uint8_t>(high * 16 + low));
    }
    return true;
}

bool LoadVirtualCard(const std::string& path, VirtualCard& card) {
    std::ifstream in(path);
    if (!in)
        return false;
    struct Pending {
        int index;
        std::string value;
    };
    std::vector<Pending> keys, blocks;
    int sectors = 16;
    card = VirtualCard{};
    std::string line;
    while (std::getline(in, line)) {
        line = Trim(line);
        const size_t eq = line.find('=');
        if (line.empty() || line[0] == '#' || eq == std::string::npos)
            continue;
        const std::string name = Trim(line.substr(0, eq));
        const std::string value = Trim(line.substr(eq + 1));
        int index = 0;
        if (name == "type") {
            if (!ParseIndex(value, card.type) || card.type > 255)
                return false;
        } else if (name == "serial") {
            if (!FromHex(value, card.serial) || card.serial.empty() ||
                card.serial.size() > kMaxSerial)
                return false;
        } else if (name == "sectors") {
            if (!ParseIndex(value, sectors) || sectors < 1 || sectors > kMaxSectors)
                return false;
        } else if (name.rfind("key", 0) == 0 && ParseIndex(name.substr(3), index)) {
            keys.push_back({index, value});
        } else if (name.rfind("block", 0) == 0 && ParseIndex(name.substr(5), index)) {
            blocks.push_back({index, value});
        }
    }
    if (card.serial.empty())
        return false;
    card.keys.assign(static_cast<size_t>(sectors), VirtualCard::Key{});
    for (auto& key : card.keys)
        key.fill(0xFF);
    card.blocks.assign(static_cast<size_t>(sectors) * 4, VirtualCard::Block{});
    for (const auto& key : keys)
        if (key.index >= sectors || !FixedHex(key.value, card.keys[key.index]))
            return false;
    for (const auto& block : blocks)
        if (block.index >= sectors * 4 || !FixedHex(block.value, card.blocks[block.index]))
            return false;
    return true;
}

bool SaveVirtualCard(const std::string& path, const VirtualCard& card) {
    std::ostringstream out;
    out << "# Virtual contactless card\n";
    out << "type=" << card.type << "\n";
    out << "serial=" << ToHex(card.serial.data(), card.serial.size()) << "\n";
    out << "sectors=" << card.Sectors() << "\n";
    for (int s = 0; s < card.Sectors(); ++s)
        out << "key" << s << "=" << ToHex(card.keys[s].data(), 6) << "\n";
    for (size_t b = 0; b < card.blocks.size(); ++b) {
        const auto& block = card.blocks[b];
        bool zero = true;
        for (uint8_t byte : block)
            zero = zero && byte == 0;
        if (!zero)
            out << "block" << b << "=" << ToHex(block.data(), block.size()) << "\n";
    }
    // Write a sibling and move it over, so a reader of the file never sees half a card.
    const std::string temp = path + ".tmp";
    {
        std::ofstream file(temp, std::ios::trunc);
        file << out.str();
        if (!file.flush())
            return false;
    }
    std::remove(path.c_str());
    return std::rename(temp.c_str(), path.c_str()) == 0;
}
