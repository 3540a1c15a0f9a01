// The routes of quelma-web: sign-in and sign-out, the Overview, Measurements (with CSV and
// photos) and Member pages, the style sheet and the script.
#pragma once

#include <httplib.h>

#include <string>

namespace web {

struct Config {
    std::string conninfo;
    int idleMinutes = 30;
    bool tls = false;
    // Requests from this machine carry the browser's address in X-Real-IP.
    bool behindProxy = false;
};

void AddRoutes(httplib::Server& server, const Config& config);

} // namespace web
