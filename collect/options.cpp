#include "collect/options.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>

const char kUsage[] =
    "usage: quelma-collect --db CONNINFO [--station NAME=DIR]... [--watch SECONDS] [--quiet]\n"
    "       quelma-collect --db CONNINFO --init\n"
    "Gathers the results, members and photos of Quelma stations (their install folders)\n"
    "into PostgreSQL. CONNINFO is a libpq connection string or URI.\n"
    "  --station NAME=DIR  a station and its install folder (repeatable)\n"
    "  --watch SECONDS     import again every SECONDS until stopped\n"
    "  --quiet             print only stations with a problem\n"
    "  --init              create or migrate the database schema\n"
    "Exit codes: 0 all stations imported, 1 some station failed or had a damaged or\n"
    "replaced file or alerts that wait, 2 bad arguments or no database.\n";

namespace {

bool ParseSeconds(const std::string& text, int& seconds) {
    if (text.empty() || !std::all_of(text.begin(), text.end(),
                                     [](unsigned char c) { return std::isdigit(c) != 0; }))
        return false;
    errno = 0;
    const long value = std::strtol(text.c_str(), nullptr, 10);
    if (errno || value < 1 || value > 86400)
        return false;
    seconds = static_cast<int>(value);
    return true;
}

} // namespace

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
        } else if (a == "--db" || a == "--station" || a == "--watch") {
            if (!hasValue) {
                error = a + " needs a value";
                return false;
            }
            const std::string& v = args[++i];
            if (a == "--db") {
                o.conninfo = v;
                sawDb = true;
            } else if (a == "--watch") {
                if (!ParseSeconds(v, o.watchSeconds)) {
                    error = "--watch needs a whole number of seconds from 1 to 86400";
                    return false;
                }
            } else {
                const size_t eq = v.find('=');
                if (eq == std::string::npos || eq == 0 || eq + 1 == v.size()) {
                    error = "--station needs NAME=DIR, not \"" + v + "\"";
                    return false;
                }
                Station s{v.substr(0, eq), v.substr(eq + 1)};
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
    else if (o.init && (!o.stations.empty() || o.watchSeconds))
        error = "--init takes no --station or --watch";
    else if (!o.init && o.stations.empty())
        error = "no --station given";
    return error.empty() && CheckNotifyOptions(o.notify, error);
}
