// The texts of an alert: a mail and a JSON document. They carry no photo: personal data
// stays on the site's server, and the link leads there. Pure functions.
#pragma once

#include <string>

struct AlertFacts {
    std::string station;
    int year = 0, generation = 0, number = 0;
    std::string time;    // as people read it, "2026-03-01 01:00:00 UTC"; "" when unknown
    std::string isoTime; // for machines; "" when unknown
    std::string memberId, memberName, result;
    std::string dueFrom, dueUntil;       // as people read them; "" when unknown
    std::string isoDueFrom, isoDueUntil; // for machines
    std::string link;                    // "" without a site address
};

// The link to the case on quelma-web, below `siteUrl`.
std::string CaseLink(const std::string& siteUrl, const AlertFacts& facts);

// A whole mail (headers, blank line, body) with CRLF line ends.
std::string AlertMail(const AlertFacts& facts, const std::string& from, const std::string& to,
                      const std::string& date, const std::string& messageId);

std::string AlertJson(const AlertFacts& facts);
