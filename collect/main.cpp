// quelma-collect: gathers the results of several Quelma stations into one PostgreSQL
// database. Station folders are only read; each file's batch is one transaction.
#include "collect/config_file.h"
#include "collect/options.h"
#include "collect/schema.h"
#include "collect/station.h"

#include <chrono>
#include <cstdio>
#include <map>
#include <thread>

namespace {

constexpr int kExitOk = 0;
constexpr int kExitStationFailed = 1;
constexpr int kExitUsage = 2;

int Fatal(const std::string& message) {
    std::fprintf(stderr, "quelma-collect: %s\n", message.c_str());
    return kExitUsage;
}

// One pass over every station. In watch mode a station's line is printed again only when
// something came in or its line changed.
int RunOnce(pg::Connection& db, pg::Connection& photoDb, const Options& o,
            std::map<std::string, std::string>& shown) {
    Progress progress(!o.quiet);
    int status = kExitOk;
    for (const Station& station : o.stations) {
        StationReport report;
        if (!db.Ok() && !db.Reset())
            report.failure = "no database connection: " + db.Error();
        else if (!photoDb.Ok() && !photoDb.Reset())
            report.failure = "no database connection: " + photoDb.Error();
        else
            report = ImportStation(db, photoDb, station, progress);
        if (db.Ok() && !StoreReport(db, station.name, report) && report.failure.empty())
            report.failure = "database refused the station's report: " + db.Error();
        if (report.Troubled())
            status = kExitStationFailed;
        const std::string text = report.Text(station.name);
        const bool changed = shown[station.name] != text;
        shown[station.name] = text;
        if (o.quiet ? report.Troubled() && changed : changed || report.Imported()) {
            std::printf("%s\n", text.c_str());
            std::fflush(stdout);
        }
    }
    return status;
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    std::string error;
    std::vector<std::string> args;
    if (!config_file::Arguments(argc, argv, args, error))
        return Fatal(error);
    if (!ParseOptions(args, o, error)) {
        std::fprintf(stderr, "quelma-collect: %s\n%s", error.c_str(), kUsage);
        return kExitUsage;
    }
    if (o.help) {
        std::printf("%s", kUsage);
        return kExitOk;
    }
    pg::Connection db(o.conninfo);
    if (!db.Ok())
        return Fatal("cannot connect to the database: " + db.Error());
    if (o.init) {
        if (!schema::Init(db, error))
            return Fatal("cannot create the schema: " + error);
        if (!o.quiet)
            std::printf("schema quelma is at version %d\n", schema::Latest());
        return kExitOk;
    }
    if (!schema::CheckCurrent(db, error))
        return Fatal(error);

    pg::Connection photoDb(o.conninfo);
    if (!photoDb.Ok())
        return Fatal("cannot connect to the database: " + photoDb.Error());

    std::map<std::string, std::string> shown;
    int status = RunOnce(db, photoDb, o, shown);
    while (o.watchSeconds > 0) {
        std::this_thread::sleep_for(std::chrono::seconds(o.watchSeconds));
        status = RunOnce(db, photoDb, o, shown);
    }
    return status;
}
