#include "collect/alert_message.h"

#include <cctype>
#include <cstdint>
#include <cstdio>

namespace {

std::string Base64(const std::string& bytes) {
    static const char kDigits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        uint32_t n = static_cast<uint32_t>(static_cast<unsigned char>(bytes[i])) << 16;
        if (i + 1 < bytes.size())
            n |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8;
        if (i + 2 < bytes.size())
            n |= static_cast<unsigned char>(bytes[i + 2]);
        out += kDigits[(n >> 18) & 63];
        out += kDigits[(n >> 12) & 63];
        out += i + 1 < bytes.size() ? kDigits[(n >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? kDigits[n & 63] : '=';
    }
    return out;
}

// Names come from the stations in any characters; a header carries them encoded.
std::string EncodedWord(const std::string& text) {
    return "=?UTF-8?B?" + Base64(text) + "?=";
}

std::string PercentEncoded(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
            out += static_cast<char>(c);
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", c);
            out += hex;
        }
    }
    return out;
}

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\u%04x", c);
            out += hex;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string JsonOrNull(const std::string& text) {
    return text.empty() ? "null" : JsonString(text);
}

// A station's text stays on its own line of the body (libcurl escapes a lone dot itself).
std::string BodyLine(const std::string& label, const std::string& value) {
    std::string line = label + value;
    for (char& c : line)
        if (c == '\r' || c == '\n')
            c = ' ';
    return line + "\r\n";
}

} // namespace

std::string CaseLink(const std::string& siteUrl, const AlertFacts& f) {
    if (siteUrl.empty())
        return "";
    std::string base = siteUrl;
    while (!base.empty() && base.back() == '/')
        base.pop_back();
    return base + "/positives#case-" + PercentEncoded(f.station) + "-" + std::to_string(f.year) +
           "-" + std::to_string(f.generation) + "-" + std::to_string(f.number);
}

std::string AlertMail(const AlertFacts& f, const std::string& from, const std::string& to,
                      const std::string& date, const std::string& messageId) {
    const std::string due = f.dueFrom.empty() ? "unknown (the measurement has no time)"
                                              : "from " + f.dueFrom + " to " + f.dueUntil;
    std::string mail = "From: " + from + "\r\nTo: " + to + "\r\nDate: " + date +
                       "\r\nMessage-ID: " + messageId + "\r\nSubject: " +
                       EncodedWord("Quelma: positive result at station " + f.station + ", " +
                                   f.memberId + " " + f.memberName) +
                       "\r\nMIME-Version: 1.0\r\nContent-Type: text/plain; charset=UTF-8\r\n"
                       "Content-Transfer-Encoding: 8bit\r\n\r\n";
    mail += BodyLine("A screening test was positive.", "");
    mail += "\r\n";
    mail += BodyLine("Station: ", f.station);
    mail += BodyLine("Time: ", f.time.empty() ? "unknown" : f.time);
    mail += BodyLine("Member ID: ", f.memberId.empty() ? "(none)" : f.memberId);
    mail += BodyLine("Name: ", f.memberName);
    mail += BodyLine("Result: ", f.result);
    mail += BodyLine("Confirmation test due: ", due);
    if (!f.link.empty())
        mail += BodyLine("Details: ", f.link);
    return mail;
}

std::string AlertJson(const AlertFacts& f) {
    return "{\"event\":\"positive screening\",\"station\":" + JsonString(f.station) +
           ",\"year\":" + std::to_string(f.year) +
           ",\"generation\":" + std::to_string(f.generation) +
           ",\"number\":" + std::to_string(f.number) + ",\"time\":" + JsonOrNull(f.isoTime) +
           ",\"member_id\":" + JsonString(f.memberId) +
           ",\"member_name\":" + JsonString(f.memberName) + ",\"result\":" + JsonString(f.result) +
           ",\"confirmation_due_from\":" + JsonOrNull(f.isoDueFrom) +
           ",\"confirmation_due_until\":" + JsonOrNull(f.isoDueUntil) +
           ",\"link\":" + JsonOrNull(f.link) + "}";
}
