#include "sim_commands.h"

#include <cstdlib>
#include <sstream>

namespace {

bool ToInt(const std::string& text, long& out) {
    if (text.empty())
        return false;
    char* end = nullptr;
    out = std::strtol(text.c_str(), &end, 10);
    return *end == 0;
}

std::vector<std::string> SplitList(const std::string& text) {
    std::vector<std::string> out;
    std::stringstream in(text);
    std::string item;
    while (std::getline(in, item, ','))
        if (!item.empty())
            out.push_back(item);
    return out;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

std::string Unescape(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char c = text[++i];
        if (c == 'r')
            out += '\r';
        else if (c == 'n')
            out += '\n';
        else if (c == 't')
            out += '\t';
        else if (c == '0')
            out += '\0';
        else if (c == 'x' && i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 &&
                 HexDigit(text[i + 2]) >= 0) {
            out += static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
            i += 2;
        } else
            out += c;
    }
    return out;
}

std::string Escape(const std::string& bytes) {
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\\')
            out += "\\\\";
        else if (c < 0x20 || c >= 0x7F) {
            out += "\\x";
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else
            out += static_cast<char>(c);
    }
    return out;
}

bool ApplyCommand(const std::string& raw, SimSettings& s, SimAction& action, std::string& error) {
    action = SimAction{};
    std::string line = raw;
    while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
        line.pop_back();
    const size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line[start] == '#')
        return true;
    line = line.substr(start);
    const size_t space = line.find(' ');
    const std::string word = line.substr(0, space);
    const std::string arg = space == std::string::npos ? "" : line.substr(space + 1);
    long n = 0;

    if (word == "unit" && (arg == "B" || arg == "M" || arg == "G")) {
        s.unit = arg[0];
    } else if (word == "total" && ToInt(arg, n) && n >= 0) {
        s.total = n;
    } else if (word == "value" && !SplitList(arg).empty()) {
        s.values = SplitList(arg);
        s.nextValue = 0;
    } else if (word == "error") {
        s.error = arg == "none" ? "" : arg;
    } else if (word == "ini") {
        s.ini = arg == "none" ? "" : arg;
    } else if (word == "pause" && ToInt(arg, n) && n >= 0) {
        s.pauseMs = static_cast<int>(n);
    } else if (word == "noise" && ToInt(arg, n) && n >= 0) {
        s.noise = static_cast<int>(n);
    } else if (word == "split") {
        std::stringstream in(arg);
        long pieces = 0, gap = s.splitGapMs;
        if (!(in >> pieces) || pieces < 0) {
            error = "split needs a piece size";
            return false;
        }
        in >> gap;
        s.split = static_cast<int>(pieces);
        s.splitGapMs = static_cast<int>(gap < 0 ? 0 : gap);
    } else if (word == "split-gap" && ToInt(arg, n) && n >= 0) {
        s.splitGapMs = static_cast<int>(n);
    } else if (word == "send") {
        action.kind = SimAction::Send;
        action.text = arg;
    } else if (word == "raw") {
        action.kind = SimAction::Raw;
        action.text = Unescape(arg);
    } else if (word == "stamp") {
        std::stringstream in(arg);
        long count = 0, gap = 0;
        if (!(in >> count >> gap) || count < 0 || gap < 0) {
            error = "stamp needs a count and a gap in ms";
            return false;
        }
        action.kind = SimAction::Stamp;
        action.count = static_cast<int>(count);
        action.ms = static_cast<int>(gap);
    } else if (word == "unplug" && ToInt(arg, n) && n >= 0) {
        action.kind = SimAction::Unplug;
        action.ms = static_cast<int>(n);
    } else if (word == "wait" && ToInt(arg, n) && n >= 0) {
        action.kind = SimAction::Wait;
        action.ms = static_cast<int>(n);
    } else if (word == "quit") {
        action.kind = SimAction::Quit;
    } else {
        error = "not understood: " + line;
        return false;
    }
    return true;
}
