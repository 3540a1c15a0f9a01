// The command line of quelma-collect. Every option is a long one, so that a configuration
// file's lines can be given as options too.
#pragma once

#include "collect/notify_options.h"
#include "collect/station.h"

#include <string>
#include <utility>
#include <vector>

struct Options {
    std::string conninfo;
    std::vector<Station> stations;
    std::vector<std::pair<std::string, std::string>> renames; // old name, new name
    std::string importStation, importPath;                    // --import-file
    int watchSeconds = 0;                                     // 0: one run
    int deadlineSeconds = 600;                                // per station and run
    bool quiet = false;
    bool init = false;
    bool help = false;
    NotifyOptions notify;
};

extern const char kUsage[];

// False with `error` set when the arguments make no sense together.
bool ParseOptions(const std::vector<std::string>& args, Options& options, std::string& error);
