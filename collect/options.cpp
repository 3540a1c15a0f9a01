#include "collect/options.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>

const char kUsage[] =
    "usage: quelma-collect --db CONNINFO [--station NAME=DIR[,tz=ZONE][,codepage=N]]...\n"
    "                      [--rename OLD=NEW]... [--watch SECONDS] [--deadline SECONDS] [--quiet]\n"
    "       quelma-collect --db CONNINFO [--station ...] --import-file STATION PATH\n"
    "       quelma-collect --db CONNINFO --init\n"
    "Gathers the results, members and photos of Quelma stations (their install folders)\n"
    "into PostgreSQL. CONNINFO is a libpq connection string or URI.\n"
    "  --station NAME=DIR  a station and its install folder (repeatable); tz= is the\n"
    "                      station's time zone (default: the collector's), codepage= its\n"
    "                      Windows code page (default 1252)\n"
    "  --rename OLD=NEW    the station registered as OLD is now called NEW\n"
    "  --import-file STATION PATH  imports a moved or backed-up data file of STATION\n"
    "  --watch SECONDS     import again every SECONDS until stopped (SIGTERM stops cleanly)\n"
    "  --deadline SECONDS  how long a run waits for one station (default 600)\n"
    "  --quiet             print only stations with a problem\n"
    "  --init              create or migrate the database schema\n"
    "  --config FILE       takes options from FILE, one \"name = value\" line each (a flag:\n"
    "                      \"name = true\"); options on the command line win\n"
    "Exit codes: 0 all stations imported, 1 some station failed or had a damaged or\n"
    "replaced file or alerts that wait, 2 bad arguments or no database.\n";

namespace {

// A whole number from 1 to 86400 (a day's seconds; also every Windows code page).
bool ParseNumber(const std::string& text, int& number) {
    if (text.empty() || !std::all_of(text.begin(), text.end(),
                                     [](unsigned char c) { return std::isdigit(c) != 0; }))
        return false;
    errno = 0;
    const long value = std::strtol(text.c_str(), nullptr, 10);
    if (errno || value < 1 || value > 86400)
        return false;
    number = static_cast<int>(value);
    return true;
}

} // namespace

// NAME=DIR, then ",tz=ZONE" and ",codepage=N" in any order.
bool ParseStation(const std::string& v, Station& s, std::string& error) {
    const size_t eq = v.find('=');
    if (eq == std::string::npos || eq == 0 || eq + 1 == v.size()) {
        error = "--station needs NAME=DIR, not \"" + v + "\"";
        return false;
    }
    s.name = v.substr(0, eq);
    std::string rest = v.substr(eq + 1);
    int codePage = 1252;
    std::string zone;
    // Settings follow the folder after its last comma that starts one.
    for (size_t comma; (comma = rest.rfind(',')) != std::string::npos;) {
        const std::string setting = rest.substr(comma + 1);
        if (setting.rfind("tz=", 0) == 0) {
            zone = setting.substr(3);
        } else if (setting.rfind("codepage=", 0) == 0) {
            if (!ParseNumber(setting.substr(9), codePage)) {
                error =
                    "codepage= needs a Windows code page number, not \"" + setting.substr(9) + "\"";
                return false;
            }
        } else {
            break;
        }
        rest.erase(comma);
    }
    s.dir = rest;
    s.timeZone = zone;
    if (s.dir.empty()) {
        error = "--station needs NAME=DIR, not \"" + v + "\"";
        return false;
    }
    if (!s.text.Set(codePage, zone, error)) {
        error = "station " + s.name + ": " + error;
        return false;
    }
    return true;
}

bool ParseOptions(const std::vector<std::string>& args, Options& o, std::string& error) {
    bool sawDb = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (const Taken taken = ParseNotifyOption(args, i, o.notify, error); taken != Taken::No) {
            if (taken == Taken::Bad)
                return false;
            continue;
        }
        if (a == "--help" || a == "-h") {
            o.help = true;
            return true;
        }
        if (a == "--quiet") {
            o.quiet = true;
        } else if (a == "--init") {
            o.init = true;
        } else if (a == "--import-file") {
            if (i + 2 >= args.size()) {
                error = "--import-file needs STATION and PATH";
                return false;
            }
            o.importStation = args[++i];
            o.importPath = args[++i];
        } else if (a == "--db" || a == "--station" || a == "--watch" || a == "--rename" ||
                   a == "--deadline") {
            if (!hasValue) {
                error = a + " needs a value";
                return false;
            }
            const std::string& v = args[++i];
            if (a == "--db") {
                o.conninfo = v;
                sawDb = true;
            } else if (a == "--watch") {
                if (!ParseNumber(v, o.watchSeconds)) {
                    error = "--watch needs a whole number of seconds from 1 to 86400";
                    return false;
                }
            } else if (a == "--deadline") {
                if (!ParseNumber(v, o.deadlineSeconds)) {
                    error = "--deadline needs a whole number of seconds from 1 to 86400";
                    return false;
                }
            } else if (a == "--rename") {
                const size_t eq = v.find('=');
                if (eq == std::string::npos || eq == 0 || eq + 1 == v.size()) {
                    error = "--rename needs OLD=NEW, not \"" + v + "\"";
                    return false;
                }
                o.renames.emplace_back(v.substr(0, eq), v.substr(eq + 1));
            } else {
                Station s;
                if (!ParseStation(v, s, error))
                    return false;
                for (const Station& other : o.stations)
                    if (other.name == s.name) {
                        error = "station " + s.name + " is given twice";
                        return false;
                    }
                o.stations.push_back(std::move(s));
            }
        } else {
            error = "unknown argument \"" + a + "\"";
            return false;
        }
    }
    if (!sawDb)
        error = "--db CONNINFO is required";
    else if (o.init && (!o.stations.empty() || o.watchSeconds || !o.importPath.empty()))
        error = "--init takes no --station, --watch or --import-file";
    else if (!o.importPath.empty() && o.watchSeconds)
        error = "--import-file takes no --watch";
    else if (!o.init && o.stations.empty() && o.importPath.empty())
        error = "no --station given";
    return error.empty() && CheckNotifyOptions(o.notify, error);
}
