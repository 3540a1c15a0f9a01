#include "web/html.h"

#include "results/record_cells.h"

namespace html {

std::string Escape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text)
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += c;
        }
    return out;
}

std::string UrlEncode(std::string_view text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
            c == '-' || c == '_' || c == '.' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

std::string CsvCell(std::string_view text) {
    std::string out = "\"";
    for (char c : SpreadsheetText(std::string(text))) {
        if (c == '"')
            out += '"';
        out += c;
    }
    return out + '"';
}

bool ValidUtf8(std::string_view text) {
    size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        int more = 0;
        unsigned min = 0, cp = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            more = 1, min = 0x80, cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            more = 2, min = 0x800, cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            more = 3, min = 0x10000, cp = c & 0x07;
        } else {
            return false;
        }
        for (int k = 1; k <= more; ++k) {
            if (i + static_cast<size_t>(k) >= text.size())
                return false;
            const auto d = static_cast<unsigned char>(text[i + static_cast<size_t>(k)]);
            if ((d & 0xC0) != 0x80)
                return false;
            cp = cp << 6 | (d & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += static_cast<size_t>(more) + 1;
    }
    return true;
}

std::string Hex(const void* bytes, size_t size) {
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < size; ++i) {
        const auto b = static_cast<const unsigned char*>(bytes)[i];
        out += kHex[b >> 4];
        out += kHex[b & 15];
    }
    return out;
}

std::string Page(const std::string& title, const std::string& user, const std::string& csrf,
                 const std::string& body) {
    std::string nav;
    if (!user.empty())
        nav = "<nav><a href=\"/\">Overview</a><a href=\"/measurements\">Measurements</a>"
              "<a href=\"/positives\">Positives</a>"
              "<span class=\"who\">" +
              Escape(user) +
              "</span><form method=\"post\" action=\"/logout\"><input type=\"hidden\" "
              "name=\"csrf\" value=\"" +
              Escape(csrf) + "\"><button type=\"submit\">Sign out</button></form></nav>";
    return "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><meta "
           "name=\"viewport\" content=\"width=device-width, initial-scale=1\"><title>" +
           Escape(title) +
           " - Quelma</title><link rel=\"stylesheet\" href=\"/style.css\"><script "
           "src=\"/app.js\" defer></script></head><body><header><span "
           "class=\"brand\">Quelma</span>" +
           nav + "</header><main><h1>" + Escape(title) + "</h1>" + body + "</main></body></html>\n";
}

} // namespace html
