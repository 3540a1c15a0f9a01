// Text helpers of the pages: escaping for HTML, URLs and CSV, and checks of what a request
// brings.
#pragma once

#include <string>
#include <string_view>

namespace html {

std::string Escape(std::string_view text);
std::string UrlEncode(std::string_view text);
// One CSV cell, quoted; a cell a spreadsheet would take for a formula gets a leading
// apostrophe.
std::string CsvCell(std::string_view text);
bool ValidUtf8(std::string_view text);
std::string Hex(const void* bytes, size_t size);

// The page around `body`: title, navigation for a signed-in user (empty `user`: none) and
// the sign-out form carrying the session's CSRF token.
std::string Page(const std::string& title, const std::string& user, const std::string& csrf,
                 const std::string& body);

} // namespace html
