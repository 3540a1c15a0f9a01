// The command line of quelma-collect.
#pragma once

#include "collect/notify_options.h"
#include "collect/station.h"

#include <string>
#include <vector>

struct Options {
    std::string conninfo;
    std::vector<Station> stations;
    int watchSeconds = 0; // 0: one run
    bool quiet = false;
    bool init = false;
    bool help = false;
    NotifyOptions notify;
};

extern const char kUsage[];

// False with `error` set when the arguments make no sense together.
bool ParseOptions(const std::vector<std::string>& args, Options& options, std::string& error);
